// Parsing of the command line the caller passes to SevenZip().
#pragma once

#include <string>
#include <string_view>

namespace sevenzip {

struct Command {
    std::string archive;
    std::string destination;
    bool assumeYes = false;
    bool hide = false;
};

// Parses `x [-y] "<archive>" -o"<dir>" [-hide]`, switches anywhere. On failure returns false and
// says why in `error`.
bool ParseCommandLine(std::string_view line, Command& command, std::string& error);

}  // namespace sevenzip
