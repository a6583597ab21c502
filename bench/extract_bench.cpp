// Times our extraction against the 7z command on the same archives: a synthetic package of about
// 200 MB in a few thousand files, and optionally a real package given on the command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/sevenzip/Extractor.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 4;

struct Options {
    std::string sample;
    fs::path cache;
    int megabytes = 200;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: extract_bench [--sample <archive>] [--cache <dir>] [--megabytes <n>]\n"
                 "  --cache defaults to $BENCH_CACHE or /var/tmp/thermal-setup-bench\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    const char* env = std::getenv("BENCH_CACHE");
    options.cache = env ? env : "/var/tmp/thermal-setup-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        if (arg == "--sample") {
            options.sample = argv[++i];
        } else if (arg == "--cache") {
            options.cache = argv[++i];
        } else if (arg == "--megabytes") {
            options.megabytes = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return options.megabytes > 0;
}

// Text-like data that compresses well, or noise that does not.
std::string Content(std::mt19937_64& random, std::size_t size, bool compressible) {
    static const char* const kWords[] = {"*Feature", "PaperSize", "Resolution", "Option",
                                         "Cmd",      "Name",      "=",          "0x1B",
                                         "\r\n",     "Order",     "DocSetup",   "{ }"};
    std::string data;
    data.reserve(size);
    while (data.size() < size) {
        if (compressible) {
            data += kWords[random() % std::size(kWords)];
            data += ' ';
        } else {
            const std::uint64_t word = random();
            data.append(reinterpret_cast<const char*>(&word), sizeof word);
        }
    }
    data.resize(size);
    return data;
}

// Mostly small files with a few large ones, as in a driver package: about 80 KB on average,
// so 200 MB make some 2500 files.
std::size_t FileSize(std::mt19937_64& random) {
    const unsigned roll = random() % 100;
    if (roll < 75) {
        return 1024 + random() % (31 * 1024);
    }
    if (roll < 97) {
        return 32 * 1024 + random() % (224 * 1024);
    }
    return 256 * 1024 + random() % (1792 * 1024);
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

fs::path SyntheticArchive(const Options& options) {
    const fs::path archive =
        options.cache / ("synthetic-" + std::to_string(options.megabytes) + "mb-v2.7z");
    if (fs::exists(archive)) {
        return archive;
    }
    std::printf("generating %s (once)...\n", archive.c_str());
    std::fflush(stdout);
    const fs::path source = options.cache / "synthetic-source";
    fs::remove_all(source);
    std::mt19937_64 random(20240601);
    const std::uint64_t target = static_cast<std::uint64_t>(options.megabytes) << 20;
    std::uint64_t total = 0;
    for (int n = 0; total < target; ++n) {
        const fs::path dir =
            source / ("dir" + std::to_string(n % 40)) / ("sub" + std::to_string(n % 7));
        fs::create_directories(dir);
        const std::string data = Content(random, FileSize(random), n % 2 == 0);
        std::ofstream(dir / ("file" + std::to_string(n) + ".bin"), std::ios::binary) << data;
        total += data.size();
    }
    const fs::path partial = archive.string() + ".partial";
    fs::remove(partial);
    if (Shell("cd '" + source.string() + "' && 7z a -t7z -bd -y '" + partial.string() +
              "' . >/dev/null") != 0) {
        std::fprintf(stderr, "7z a failed\n");
        std::exit(1);
    }
    fs::rename(partial, archive);
    fs::remove_all(source);
    return archive;
}

double Seconds(const std::chrono::steady_clock::duration& d) {
    return std::chrono::duration<double>(d).count();
}

// Leaves no dirty pages of an earlier run for the next one to pay for.
void Settle(const fs::path& out) {
    fs::remove_all(out);
    sync();
}

double TimeOurs(const fs::path& archive, const fs::path& out) {
    Settle(out);
    const auto start = std::chrono::steady_clock::now();
    const sevenzip::Outcome outcome = sevenzip::RunCommandLine(
        "x -y \"" + archive.string() + "\" -o\"" + out.string() + "\" -hide", {});
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (outcome.result != sevenzip::Ok) {
        std::fprintf(stderr, "our extraction failed:\n%s\n", outcome.summary.c_str());
        std::exit(1);
    }
    return seconds;
}

double TimeSevenZip(const fs::path& archive, const fs::path& out) {
    Settle(out);
    const auto start = std::chrono::steady_clock::now();
    const int status =
        Shell("7z x -y -bd '-o" + out.string() + "' '" + archive.string() + "' >/dev/null");
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (status != 0) {
        std::fprintf(stderr, "7z x failed\n");
        std::exit(1);
    }
    return seconds;
}

// Best of several rounds in alternating order, so that neither side always runs second.
void Compare(const char* label, const fs::path& archive, const fs::path& scratch) {
    double ours = 1e300;
    double theirs = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) {
            theirs = std::min(theirs, TimeSevenZip(archive, scratch / "7z"));
            ours = std::min(ours, TimeOurs(archive, scratch / "ours"));
        } else {
            ours = std::min(ours, TimeOurs(archive, scratch / "ours"));
            theirs = std::min(theirs, TimeSevenZip(archive, scratch / "7z"));
        }
    }
    fs::remove_all(scratch);
    std::printf("%-10s %8.1f MB archive  ours %7.3f s  7z %7.3f s  ratio %.2f (target <= 1.20)\n",
                label, static_cast<double>(fs::file_size(archive)) / (1 << 20), ours, theirs,
                ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
    std::printf(
        "note: built without optimisation or with sanitizers; times are not meaningful "
        "(configure with -DCMAKE_BUILD_TYPE=Release -DWITH_SANITIZERS=OFF)\n");
#endif
    fs::create_directories(options.cache);
    const fs::path scratch = options.cache / "scratch";
    if (!options.sample.empty()) {
        Compare("sample", options.sample, scratch);
    }
    Compare("synthetic", SyntheticArchive(options), scratch);
    return 0;
}
