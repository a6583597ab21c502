// Host command that unpacks an archive with our archiver's core, as 7-zip32.dll would:
//   unpack ARCHIVE DIR   prints the archiver's summary and exits with its result (0: all well).
#include <cstdio>
#include <string>

#include "tools/sevenzip/Extractor.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: unpack ARCHIVE DIR\n");
        return 64;
    }
    const std::string line = std::string("x -y \"") + argv[1] + "\" -o\"" + argv[2] + "\" -hide";
    const sevenzip::Outcome outcome = sevenzip::RunCommandLine(line, {});
    std::fputs(outcome.summary.c_str(), stdout);
    return outcome.result;
}
