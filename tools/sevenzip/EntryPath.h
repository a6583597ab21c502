// Checks on entry names and link targets, made before the destination is prefixed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sevenzip {

using PathParts = std::vector<std::string>;

// Splits an entry name at '/' and '\' (both, on every platform, since archives made on Windows
// use either) and drops "." and empty components. Returns an empty string when the name stays
// inside the destination, else the reason it is refused.
std::string CheckEntryName(std::string_view name, PathParts& parts);

// A symbolic link stored at `link` (its checked parts) may point only down, or up by no more
// than its own depth before descending: ".." after a name could climb out through another link.
std::string CheckSymlinkTarget(const PathParts& link, std::string_view target);

std::string JoinParts(const PathParts& parts, std::size_t count, char separator);

}  // namespace sevenzip
