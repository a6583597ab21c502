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

#include "catalog/CatalogFile.h"
#include "platform/sim/Sim.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 5;
constexpr std::size_t kListBytes = 2998;  // what the reader scans of its 3000-byte buffer

// One-character section names, repeating once the distinct ones are used up (about 1,500).
std::vector<std::string> ShortestNames() {
    const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*+,-.<>?@^_{|}~";
    std::vector<std::string> names;
    for (std::size_t bytes = 1; bytes + 2 <= kListBytes; bytes += 2) {
        names.emplace_back(1, alphabet[names.size() % alphabet.size()]);
    }
    return names;
}

// Distinct one- and two-character names (about 1,000).
std::vector<std::string> DistinctNames() {
    const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::vector<std::string> names;
    for (std::size_t i = 0, bytes = 1;; ++i) {
        std::string name = i < digits.size() ? std::string(1, digits[i])
                                             : std::string{digits[(i / digits.size()) - 1],
                                                           digits[i % digits.size()]};
        if (bytes + name.size() + 1 > kListBytes) {
            return names;
        }
        bytes += name.size() + 1;
        names.push_back(name);
    }
}

std::string Catalogue(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += "[" + name + "]\r\n";
        for (int k = 1; k <= 50; ++k) {
            text += "PrintName" + std::to_string(k) + "=Receipt model " + name + " variant " +
                    std::to_string(k) + "\r\n";
        }
    }
    return text;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void Run(const char* label, const std::vector<std::string>& names) {
    sim::Reset();
    const std::string text = Catalogue(names);
    const fs::path file = sim::HostPath(catalog::kCatalogPath);
    std::ofstream(file, std::ios::binary) << text;
    // As a package unpacked a while ago; a file younger than a second is parsed on every call.
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(1));

    std::size_t count = 0;
    auto start = std::chrono::steady_clock::now();
    count = catalog::ReadCatalog().size();
    const double first = Seconds(std::chrono::steady_clock::now() - start);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        count = catalog::ReadCatalog().size();
    }
    const double again = Seconds(std::chrono::steady_clock::now() - start) / kRounds;
    std::printf(
        "%-32s %5zu sections, %6zu names, %8zu bytes: first read %.3f s, later reads "
        "%.3f s, %d parse(s), %d profile calls per read\n",
        label, names.size(), count, text.size(), first, again, sim::CallCount("sim:ParseProfile"),
        sim::CallCount("GetPrivateProfileStringA") / (kRounds + 1));
}

}  // namespace

int main() {
    Run("one-character sections", ShortestNames());
    Run("distinct sections", DistinctNames());
    return 0;
}
