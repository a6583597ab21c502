// The few file-system questions the extractor asks, answered without following links.
#pragma once

#include <cstdint>
#include <string>

namespace sevenzip {

enum class DiskKind { Missing, File, Directory, Link };

// Does not follow a final symbolic link (or, on Windows, a reparse point).
DiskKind Probe(const std::string& path);
// Creates the directory and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
std::uint64_t FileSize(const std::string& path);
// Deletes a file (or a link itself); true when nothing is left at the path.
bool RemoveFile(const std::string& path);
// The path with links resolved where the platform can do it cheaply; else the path itself.
std::string Canonical(const std::string& path);

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

}  // namespace sevenzip
