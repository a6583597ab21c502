// Times the catalogue reader on the simulated platform over the largest catalogue files the
// 3000-byte section list allows, each section with 50 display names. Meaningful in a build
// without sanitizers:
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DWITH_SANITIZERS=OFF
//   cmake --build build/bench --target catalog_bench && build/bench/bench/catalog_bench
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/CatalogueFiles.h"
#include "catalog/CatalogFile.h"
#include "platform/sim/Sim.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 5;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void Run(const char* label, const std::vector<std::string>& names) {
    sim::Reset();
    const std::string text = bench::Catalogue(names);
    const fs::path file = sim::HostPath(catalog::kCatalogPath);
    std::ofstream(file, std::ios::binary) << text;
    // As a package unpacked a while ago; a file younger than a second is parsed on every call.
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(1));

    // Wall time, and processor time, which a busy machine disturbs less.
    std::size_t count = 0;
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    count = catalog::ReadCatalog().size();
    const double first = Seconds(std::chrono::steady_clock::now() - start);
    const double firstCpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    start = std::chrono::steady_clock::now();
    cpu = std::clock();
    for (int i = 0; i < kRounds; ++i) {
        count = catalog::ReadCatalog().size();
    }
    const double again = Seconds(std::chrono::steady_clock::now() - start) / kRounds;
    const double againCpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / kRounds;
    std::printf(
        "%s: %zu sections, %zu names, %zu bytes\n  first read %.3f s (cpu %.3f s), "
        "later reads %.3f s (cpu %.3f s); %d parse(s) in all, %d profile calls per read\n",
        label, names.size(), count, text.size(), first, firstCpu, again, againCpu,
        sim::CallCount("sim:ParseProfile"),
        sim::CallCount("GetPrivateProfileStringA") / (kRounds + 1));
}

}  // namespace

int main() {
    Run("one-character sections", bench::ShortestNames());
    Run("distinct sections", bench::DistinctNames());
    return 0;
}
