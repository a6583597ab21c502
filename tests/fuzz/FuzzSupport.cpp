// Scratch space and the oracle's stop for the fuzz targets.
#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace fs = std::filesystem;

void Fail(const std::string& what) {
    std::fprintf(stderr, "ORACLE: %s\n", what.c_str());
    std::abort();
}

namespace {

fs::path MakeScratch() {
    std::error_code ec;
    const char* given = std::getenv("FUZZ_SCRATCH");
    const fs::path base = given != nullptr                   ? fs::path(given)
                          : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                             : fs::temp_directory_path();
    std::string pattern = (base / "thermal-fuzz-XXXXXX").string();
    Check(mkdtemp(pattern.data()) != nullptr, "cannot make a scratch directory");
    return pattern;
}

struct ScratchDir {
    fs::path path = MakeScratch();
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

const fs::path& Scratch() {
    static ScratchDir scratch;
    return scratch.path;
}

void Renew(const fs::path& dir) {
    std::error_code ec;
    // Entries may have been left read-only or without search permission.
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    Check(!ec, "cannot make " + dir.string());
}

}  // namespace fuzz
