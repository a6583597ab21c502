// What the fuzz targets share: a failed oracle stops the run, and a private scratch folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz {

// Prints what went wrong and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool condition, const std::string& what) {
    if (!condition) {
        Fail(what);
    }
}

// A directory of this process under $FUZZ_SCRATCH, else /dev/shm, else the temporary
// directory; made once and removed at a normal exit (a crash leaves it to the caller).
const std::filesystem::path& Scratch();

// Removes everything below `dir` without following links, and makes it afresh.
void Renew(const std::filesystem::path& dir);

}  // namespace fuzz
