// File system calls the logic makes, in the shape of their Win32 ANSI forms.
#pragma once

#include <memory>
#include <string>

#include "platform/ObjectSecurity.h"
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
// The access list of everything the installer creates: SYSTEM and Administrators full control,
// Users read and run; protected, so nothing is inherited from the parent (the root of C: lets
// every signed-in user modify what is made in it). What is created inside inherits it.
constexpr const char* kAdminsOnlySddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// CreateDirectoryA with that access list; fails with 183 when anything is at path.
bool CreateProtectedDirectoryA(const std::string& path);
// Rights that change a file or a folder or what it holds: FILE_WRITE_DATA (add a file),
// FILE_APPEND_DATA (add a folder), FILE_WRITE_EA, FILE_DELETE_CHILD, FILE_WRITE_ATTRIBUTES,
// DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE.
constexpr Dword kFileChangeRights =
    0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
// GetFileSecurityA for the owner and the access list of the entry at path; false with the last
// error set (2 or 3 when it is missing).
bool GetFileSecurityA(const std::string& path, ObjectSecurity& security);
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
// The form of CreateFileA (platform/Serial.h) that holds a file, folder or link by its own name:
// a link is opened itself, never followed, and as delete access is shared with nobody, neither
// the entry nor any folder above it can be renamed or deleted by anyone else while it is open.
// A hold with delete access is only for the deletion: a folder held so cannot be listed under
// Wine (32), whose FindFirstFileA does not share delete.
namespace hold {
// Reading too: a handle with attribute access alone takes no part in the sharing check.
constexpr Dword Access = 0x81;           // FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES
constexpr Dword DeleteAccess = 0x10080;  // DELETE | FILE_READ_ATTRIBUTES
constexpr Dword Share = 0x3;         // FILE_SHARE_READ | FILE_SHARE_WRITE, not FILE_SHARE_DELETE
constexpr Dword OpenExisting = 3;    // OPEN_EXISTING
constexpr Dword Flags = 0x02200000;  // FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT
}  // namespace hold
// GetFileInformationByHandle, of which only the attributes are used.
bool GetFileInformationByHandle(void* file, Dword* attributes);
// SetFileInformationByHandle with FileDispositionInfo: the entry goes when its handle closes.
// Fails with 5 for a read-only file, 145 (ERROR_DIR_NOT_EMPTY) for a folder that is not empty.
bool SetFileDispositionByHandle(void* file, bool deleteFile);
std::string GetCurrentDirectoryA();
// The folder of the running program (GetModuleFileNameA of the program, without its name); empty
// on failure, or when the path does not fit MAX_PATH.
std::string GetProgramDirectoryA();
std::string GetSystemDirectoryA();
std::string GetWindowsDirectoryA();

}  // namespace sys
