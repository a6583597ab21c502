// Win32 back end of the file calls.
#include <windows.h>
// windows.h first: sddl.h builds on it.
#include <sddl.h>

#include <vector>

#include "platform/Files.h"
#include "platform/win32/SecurityDescriptor.h"

static_assert(sys::attr::Directory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(sys::attr::ReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(sys::attr::ReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(sys::attr::Invalid == INVALID_FILE_ATTRIBUTES);
static_assert(sys::hold::Access == (FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES));
static_assert(sys::hold::DeleteAccess == (DELETE | FILE_READ_ATTRIBUTES));
static_assert(sys::hold::Share == (FILE_SHARE_READ | FILE_SHARE_WRITE));
static_assert(sys::hold::OpenExisting == OPEN_EXISTING);
static_assert(sys::hold::Flags == (FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));

namespace sys {

struct FileSearch::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {
FindData FromWin32(const WIN32_FIND_DATAA& data) {
    return FindData{data.cFileName, data.dwFileAttributes};
}
}  // namespace

FileSearch::FileSearch() = default;
FileSearch::~FileSearch() {
    Close();
}

bool FileSearch::First(const std::string& pattern, FindData& out) {
    Close();
    WIN32_FIND_DATAA data{};
    HANDLE handle = ::FindFirstFileA(pattern.c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    impl_ = std::make_unique<Impl>();
    impl_->handle = handle;
    out = FromWin32(data);
    return true;
}

bool FileSearch::Next(FindData& out) {
    if (!impl_) {
        return false;
    }
    WIN32_FIND_DATAA data{};
    if (!::FindNextFileA(impl_->handle, &data)) {
        return false;
    }
    out = FromWin32(data);
    return true;
}

void FileSearch::Close() {
    if (impl_ && impl_->handle != INVALID_HANDLE_VALUE) {
        ::FindClose(impl_->handle);
    }
    impl_.reset();
}

Dword GetFileAttributesA(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}
bool SetFileAttributesA(const std::string& path, Dword attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}
bool DeleteFileA(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != 0;
}
bool RemoveDirectoryA(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) != 0;
}
bool CreateDirectoryA(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}
bool CreateProtectedDirectoryA(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminsOnlySddl, SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const BOOL made = ::CreateDirectoryA(path.c_str(), &attributes);
    const DWORD error = ::GetLastError();
    ::LocalFree(descriptor);
    ::SetLastError(error);
    return made != 0;
}

bool GetFileSecurityA(const std::string& path, ObjectSecurity& security) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    // 122 (ERROR_INSUFFICIENT_BUFFER) with the size needed; anything else is the answer.
    if (::GetFileSecurityA(path.c_str(), wanted, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        if (::GetLastError() == ERROR_SUCCESS) {
            ::SetLastError(ERROR_INVALID_DATA);
        }
        return false;
    }
    std::vector<BYTE> buffer(size);
    if (!::GetFileSecurityA(path.c_str(), wanted, buffer.data(), size, &size)) {
        return false;
    }
    const Dword error = detail::ReadSecurityDescriptor(buffer.data(), security);
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
    }
    return error == ERROR_SUCCESS;
}

bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) {
    return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool MoveFileA(const std::string& from, const std::string& to) {
    return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool AppendFileA(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
        written == bytes.size();
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    ::SetLastError(error);
    return ok;
}

std::string GetTempPathA() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

bool GetFileInformationByHandle(void* file, Dword* attributes) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file, &information)) {
        return false;
    }
    *attributes = information.dwFileAttributes;
    return true;
}

bool SetFileDispositionByHandle(void* file, bool deleteFile) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleteFile ? TRUE : FALSE)};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

std::string GetCurrentDirectoryA() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

std::string GetProgramDirectoryA() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    // n == MAX_PATH: cut short (122 on Vista and later; XP does not say so).
    if (n == 0 || n >= MAX_PATH) {
        return {};
    }
    const std::string path(buffer, n);
    const auto cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string GetSystemDirectoryA() {
    char buffer[MAX_PATH + 1] = {};
    UINT n = ::GetSystemDirectoryA(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

std::string GetWindowsDirectoryA() {
    char buffer[MAX_PATH + 1] = {};
    UINT n = ::GetWindowsDirectoryA(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

}  // namespace sys
