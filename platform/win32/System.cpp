// The Win32 back end of the plain system calls: errors, files, clock, profile files, threads,
// version record and DLL loading.
#include <windows.h>

#include <vector>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/Profile.h"
#include "platform/SystemInfo.h"
#include "platform/Thread.h"

static_assert(sys::attr::Directory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(sys::attr::ReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(sys::attr::ReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(sys::attr::Invalid == INVALID_FILE_ATTRIBUTES);
static_assert(sys::err::UnknownPort == ERROR_UNKNOWN_PORT);
static_assert(sys::err::NoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(sys::err::PrintMonitorAlreadyInstalled == ERROR_PRINT_MONITOR_ALREADY_INSTALLED);

namespace sys {

Dword GetLastError() {
    return ::GetLastError();
}
void SetLastError(Dword code) {
    ::SetLastError(code);
}

void Sleep(Dword milliseconds) {
    ::Sleep(milliseconds);
}
Dword GetTickCount() {
    return ::GetTickCount();
}

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
bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) {
    return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

std::string GetCurrentDirectoryA() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
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

Dword GetPrivateProfileSectionNamesA(char* buffer, Dword size, const char* fileName) {
    return ::GetPrivateProfileSectionNamesA(buffer, size, fileName);
}

Dword GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, Dword size, const char* fileName) {
    return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

struct Thread::Impl {
    HANDLE handle = nullptr;
    std::function<void()> body;
};

Thread::Thread() = default;

Thread::~Thread() {
    if (impl_ && impl_->handle != nullptr) {
        ::WaitForSingleObject(impl_->handle, INFINITE);
        ::CloseHandle(impl_->handle);
    }
}

namespace {
DWORD WINAPI ThreadMain(LPVOID parameter) {
    static_cast<Thread::Impl*>(parameter)->body();
    return 0;
}
}  // namespace

bool Thread::Start(std::function<void()> body) {
    if (impl_) {
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->body = std::move(body);
    impl->handle = ::CreateThread(nullptr, 0, &ThreadMain, impl.get(), 0, nullptr);
    if (impl->handle == nullptr) {
        return false;
    }
    impl_ = std::move(impl);
    return true;
}

bool Thread::Running() const {
    return impl_ && ::WaitForSingleObject(impl_->handle, 0) == WAIT_TIMEOUT;
}

bool Thread::Wait(Dword milliseconds) {
    return !impl_ || ::WaitForSingleObject(impl_->handle, milliseconds) == WAIT_OBJECT_0;
}

bool GetVersionExA(VersionInfo& info) {
    OSVERSIONINFOEXA record{};
    if (info.size != sizeof(OSVERSIONINFOEXA) && info.size != sizeof(OSVERSIONINFOA)) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    record.dwOSVersionInfoSize = info.size;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) {
        return false;
    }
#pragma GCC diagnostic pop
    info.majorVersion = record.dwMajorVersion;
    info.minorVersion = record.dwMinorVersion;
    info.buildNumber = record.dwBuildNumber;
    info.platformId = record.dwPlatformId;
    return true;
}

static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148);

void* GetCurrentProcess() {
    return ::GetCurrentProcess();
}

ModuleHandle LoadLibraryA(const std::string& name) {
    return ::LoadLibraryA(name.c_str());
}

ProcAddress GetProcAddress(ModuleHandle module, const char* name) {
    return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool FreeLibrary(ModuleHandle module) {
    return ::FreeLibrary(static_cast<HMODULE>(module)) != 0;
}

ModuleHandle GetModuleHandleA(const std::string& name) {
    return ::GetModuleHandleA(name.c_str());
}

}  // namespace sys
