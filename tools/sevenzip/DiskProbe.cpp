// Windows calls in the DLL, POSIX calls on the host; both with the caller's single-byte paths.
#include "tools/sevenzip/DiskProbe.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#endif

namespace sevenzip {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool CreateOne(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
#else
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
#endif
}

}  // namespace

DiskKind Probe(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return DiskKind::Missing;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return DiskKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? DiskKind::Directory : DiskKind::File;
#else
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        return DiskKind::Missing;
    }
    if (S_ISLNK(st.st_mode)) {
        return DiskKind::Link;
    }
    return S_ISDIR(st.st_mode) ? DiskKind::Directory : DiskKind::File;
#endif
}

bool MakeDirectories(const std::string& path) {
    // Each prefix ending before a separator, then the whole path; a prefix such as "C:" or ""
    // simply fails to be created and is looked at no further.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && !IsSeparator(path[i - 1])) {
            CreateOne(path.substr(0, i));
        }
    }
    CreateOne(path);
    return Probe(path) == DiskKind::Directory || Probe(Canonical(path)) == DiskKind::Directory;
}

std::uint64_t FileSize(const std::string& path) {
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
#else
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
#endif
}

bool RemoveFile(const std::string& path) {
#ifdef _WIN32
    DeleteFileA(path.c_str());
#else
    unlink(path.c_str());
#endif
    return Probe(path) == DiskKind::Missing;
}

std::string Canonical(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : path;
#endif
}

}  // namespace sevenzip
