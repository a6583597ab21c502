// File system calls the logic makes, in the shape of their Win32 ANSI forms.
#pragma once

#include <memory>
#include <string>

#include "platform/Types.h"

namespace sys {

namespace attr {
constexpr Dword ReadOnly = 0x1;
constexpr Dword Hidden = 0x2;
constexpr Dword Directory = 0x10;
constexpr Dword Normal = 0x80;
constexpr Dword ReparsePoint = 0x400;
constexpr Dword Invalid = 0xFFFFFFFF;
}  // namespace attr

struct FindData {
    std::string name;  // file name only, as cFileName
    Dword attributes = 0;
};

// A directory search (FindFirstFileA / FindNextFileA / FindClose); closes itself.
class FileSearch {
  public:
    FileSearch();
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    bool First(const std::string& pattern, FindData& out);  // false: nothing found or no such path
    bool Next(FindData& out);                               // false at the end
    void Close();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

Dword GetFileAttributesA(const std::string& path);  // attr::Invalid when missing
bool SetFileAttributesA(const std::string& path, Dword attributes);
bool DeleteFileA(const std::string& path);
bool RemoveDirectoryA(const std::string& path);
bool CreateDirectoryA(const std::string& path);
bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists);
// Renames a file or a directory (with everything below it) on the same drive; fails with 183
// when anything exists at `to`.
bool MoveFileA(const std::string& from, const std::string& to);
// Appends `bytes` to the file at `path`, creating it when missing, and closes it again
// (CreateFileA with FILE_APPEND_DATA and OPEN_ALWAYS, sharing read and write; WriteFile;
// CloseHandle): what returned true is on disk even if the process is killed next.
bool AppendFileA(const std::string& path, const std::string& bytes);
// The user's directory for temporary files, with its trailing backslash; empty on failure.
std::string GetTempPathA();
std::string GetCurrentDirectoryA();
std::string GetSystemDirectoryA();
std::string GetWindowsDirectoryA();

}  // namespace sys
