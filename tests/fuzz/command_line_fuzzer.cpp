// The archiver's command line through its exported entry point: the summary never goes past
// the output buffer and always ends within it, and a parsed command line reads back the same.
// Every path is mapped into a scratch folder, so no command can touch the rest of the disk.
// Input: two bytes of buffer size (0 to 511), then the command line.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "tools/sevenzip/CommandLine.h"
#include "tools/sevenzip/Extractor.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace fs = std::filesystem;
using fuzz::Check;

namespace {

std::string Jailed(const std::string& path) {
    std::string flat = path;
    for (char& c : flat) {
        if (c == '/' || c == '\\' || c == '\0') {
            c = '_';
        }
    }
    return (fuzz::Scratch() / "jail" / ("p" + flat.substr(0, 200))).string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool jailed = [] {
        sevenzip::SetPathResolver(Jailed);
        return true;
    }();
    (void)jailed;
    if (size < 2) {
        return 0;
    }
    const std::size_t bufferSize = (data[0] | (data[1] << 8)) & 0x1FF;
    const std::string line(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (line.find('\0') != std::string::npos) {
        return 0;  // a C string ends there
    }
    fuzz::Renew(fuzz::Scratch() / "jail");

    sevenzip::Command command;
    std::string error;
    if (sevenzip::ParseCommandLine(line, command, error)) {
        Check(!command.archive.empty() && !command.destination.empty(), "empty path parsed");
        const std::string again = "x" + std::string(command.assumeYes ? " -y" : "") + " \"" +
                                  command.archive + "\" -o\"" + command.destination + "\"" +
                                  (command.hide ? " -hide" : "");
        sevenzip::Command reread;
        Check(sevenzip::ParseCommandLine(again, reread, error) &&
                  reread.archive == command.archive && reread.destination == command.destination &&
                  reread.assumeYes == command.assumeYes && reread.hide == command.hide,
              "command line does not read back: " + line);
    } else {
        Check(!error.empty(), "refused without a reason: " + line);
    }

    // Exactly the given size on the heap: one byte more written is an ASan report.
    std::unique_ptr<char[]> output;
    if (bufferSize) {
        output = std::make_unique<char[]>(bufferSize);
        std::memset(output.get(), 0x5A, bufferSize);
    }
    const int result =
        ::SevenZip(nullptr, line.c_str(), output.get(), static_cast<sys::Dword>(bufferSize));
    Check(result >= sevenzip::Ok && result <= sevenzip::InternalError, "unknown result");
    if (bufferSize) {
        Check(std::memchr(output.get(), '\0', bufferSize) != nullptr, "summary not terminated");
    }
    return 0;
}
