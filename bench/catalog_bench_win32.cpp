// The catalogue reader over the largest catalogue files with the real profile calls: a Windows
// console program, run under Wine by bench/catalog-bench-wine.sh. Writes C:\DriverName.cfg.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/CatalogueFiles.h"
#include "catalog/CatalogFile.h"

namespace {

void Run(const char* label, const std::vector<std::string>& names) {
    const std::string text = bench::Catalogue(names);
    std::ofstream(catalog::kCatalogPath, std::ios::binary | std::ios::trunc) << text;
    const auto start = std::chrono::steady_clock::now();
    const std::size_t count = catalog::ReadCatalog().size();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu sections, %zu names, %zu bytes\n  one read %.3f s\n", label, names.size(),
                count, text.size(), seconds);
    DeleteFileA(catalog::kCatalogPath);
}

}  // namespace

int main() {
    Run("one-character sections", bench::ShortestNames());
    Run("distinct sections", bench::DistinctNames());
    return 0;
}
