// Whole-archive extraction into a temporary destination: nothing is created outside it, the
// file beside it is untouched, and no file is larger than the data the archive delivered (or,
// for a sparse entry, than its declared size).
#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "tools/sevenzip/EntryPath.h"
#include "tools/sevenzip/Extractor.h"

namespace fs = std::filesystem;
using fuzz::Check;

namespace {

std::uint64_t DeliveredBytes(const std::string& summary) {
    const std::size_t at = summary.find("bytes: ");
    return at == std::string::npos ? 0 : std::stoull(summary.substr(at + 7));
}

// The names in `dir`, sorted and blank-separated.
std::string Listing(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        names.insert(entry.path().filename().string());
    }
    std::string out;
    for (const std::string& name : names) {
        out += (out.empty() ? "" : " ") + name;
    }
    return out;
}

// Sparse entries by their path below the destination, with their declared sizes: their holes
// are no missing data, so such a file may be as large as its entry says.
std::map<std::string, std::uint64_t> SparseEntries(const fs::path& archivePath) {
    std::map<std::string, std::uint64_t> out;
    std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(),
                                                                  &archive_read_free);
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    if (archive_read_open_filename(reader.get(), archivePath.c_str(), 1 << 16) != ARCHIVE_OK) {
        return out;
    }
    archive_entry* entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) >= ARCHIVE_WARN) {
        sevenzip::PathParts parts;
        const char* name = archive_entry_pathname(entry);
        if (name != nullptr && archive_entry_sparse_count(entry) > 0 &&
            sevenzip::CheckEntryName(name, parts).empty()) {
            auto& size = out[sevenzip::JoinParts(parts, parts.size(), '/')];
            size = std::max<std::uint64_t>(size, archive_entry_size(entry));
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // <scratch>/run/{pkg.Drv, outside/secret, deep/er/dest}: the destination lies two levels
    // down, so that climbing one or two levels still lands inside the watched folder.
    const fs::path run = fuzz::Scratch() / "run";
    fuzz::Renew(run);
    const fs::path archive = run / "pkg.Drv";
    const fs::path dest = run / "deep" / "er" / "dest";
    fs::create_directories(dest);
    fs::create_directories(run / "outside");
    std::ofstream(run / "outside" / "secret", std::ios::binary) << "precious";
    std::ofstream(archive, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    const sevenzip::Outcome outcome = sevenzip::RunCommandLine(
        "x -y \"" + archive.string() + "\" -o\"" + dest.string() + "\" -hide", {});

    Check(Listing(run) == "deep outside pkg.Drv", "created beside: " + Listing(run));
    Check(Listing(run / "deep") == "er", "created above: " + Listing(run / "deep"));
    Check(Listing(run / "deep" / "er") == "dest", "created above: " + Listing(run / "deep" / "er"));
    Check(Listing(run / "outside") == "secret", "outside folder changed");
    std::ifstream secret(run / "outside" / "secret", std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(secret)), std::istreambuf_iterator<char>());
    Check(content == "precious", "file outside overwritten");

    const std::uint64_t delivered = DeliveredBytes(outcome.summary);
    const auto sparse = SparseEntries(archive);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dest, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (lstat(it->path().c_str(), &st) != 0) {
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            const auto hole = sparse.find(it->path().lexically_relative(dest).generic_string());
            const std::uint64_t allowed =
                std::max(delivered, hole == sparse.end() ? 0 : hole->second);
            Check(static_cast<std::uint64_t>(st.st_size) <= allowed,
                  it->path().string() + " has " + std::to_string(st.st_size) +
                      " bytes, the archive allows " + std::to_string(allowed));
        }
        if (S_ISLNK(st.st_mode)) {
            // A link that stays inside resolves below the destination, or nowhere yet.
            const fs::path target = fs::weakly_canonical(it->path(), ec);
            const std::string root = fs::weakly_canonical(dest, ec).string() + "/";
            Check(ec || target.string().rfind(root, 0) == 0 || target.string() + "/" == root,
                  "link " + it->path().string() + " points to " + target.string());
            it.disable_recursion_pending();
        }
    }
    return 0;
}
