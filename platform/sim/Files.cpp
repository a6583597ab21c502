// The simulated file system: Windows paths on drive C mapped onto a host directory, with
// Windows' case-insensitive names, read-only attribute and reparse points (host symlinks).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Files.h"
#include "platform/Serial.h"
#include "platform/sim/Handles.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimFileSecurity.h"
#include "platform/sim/Trace.h"

namespace tr = sim::trace;

namespace fs = std::filesystem;
using sim::detail::Lower;
using sim::detail::M;

namespace {

constexpr sys::Dword kErrorFileExists = 80;
constexpr sys::Dword kErrorDirectory = 267;
constexpr sys::Dword kAttrArchive = 0x20;
constexpr sys::Dword kErrorFilenameExcedRange = 206;
constexpr sys::Dword kErrorInvalidName = 123;
constexpr sys::Dword kErrorSharingViolation = 32;
constexpr size_t kMaxPath = 260;

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char ch : path) {
        if (ch == '\\' || ch == '/') {
            if (!cur.empty()) {
                parts.push_back(cur);
            }
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!cur.empty()) {
        parts.push_back(cur);
    }
    return parts;
}

bool IsDriveC(const std::string& part) {
    return part.size() == 2 && part[1] == ':' && (part[0] == 'c' || part[0] == 'C');
}

// The components of the full path below C:\ with "." and ".." applied; none when the path is
// not on drive C.
std::optional<std::vector<std::string>> FullPath(const std::string& windowsPath) {
    std::string current;
    {
        std::lock_guard lock(M().mu);
        current = M().currentDirectory;
    }
    std::string path = windowsPath;
    const bool absolute = path.size() >= 2 && path[1] == ':';
    if (!absolute) {
        path = (path.size() > 0 && (path[0] == '\\' || path[0] == '/')) ? "C:" + path
                                                                        : current + "\\" + path;
    }
    auto parts = SplitComponents(path);
    if (parts.empty() || !IsDriveC(parts[0])) {
        return std::nullopt;
    }
    // The last name loses its trailing dots and blanks ("X." and "X " name X), unless the path
    // ends in a separator.
    std::string& last = parts.back();
    if (parts.size() > 1 && path.back() != '\\' && path.back() != '/' && last != "." &&
        last != "..") {
        last.erase(last.find_last_not_of(". ") + 1);
        if (last.empty()) {
            parts.pop_back();
        }
    }
    std::vector<std::string> names;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == ".") {
            continue;
        }
        if (parts[i] == "..") {
            if (!names.empty()) {
                names.pop_back();
            }
            continue;
        }
        names.push_back(parts[i]);
    }
    return names;
}

// True (and the last error set) for a path too long for the ANSI file calls. The calls convert
// their path into a buffer of MAX_PATH characters first: a longer string fails there with 206
// (ERROR_FILENAME_EXCED_RANGE), whatever it names. CopyFileA's target is converted without that
// limit (`converted` false). A full path of MAX_PATH or more fails with 3 (ERROR_PATH_NOT_FOUND).
bool TooLong(const std::string& windowsPath, bool converted = true) {
    if (converted && windowsPath.size() > kMaxPath) {
        sys::SetLastError(kErrorFilenameExcedRange);
        return true;
    }
    size_t length = 2;  // "C:"
    for (const auto& name : FullPath(windowsPath).value_or(std::vector<std::string>{})) {
        length += 1 + name.size();
    }
    if (length >= kMaxPath) {
        sys::SetLastError(sys::err::PathNotFound);
        return true;
    }
    return false;
}

// True (and 123, ERROR_INVALID_NAME, set) for a wildcard in a path that names one file.
bool Wildcard(const std::string& windowsPath) {
    if (windowsPath.find_first_of("*?") == std::string::npos) {
        return false;
    }
    sys::SetLastError(kErrorInvalidName);
    return true;
}

// Resolves a Windows path to a host path; empty when it is not on drive C.
std::string Resolve(const std::string& windowsPath) {
    const auto names = FullPath(windowsPath);
    if (!names) {
        return {};
    }
    fs::path host = sim::Root();
    for (const auto& name : *names) {
        std::string match = name;
        std::error_code ec;
        if (fs::is_directory(host, ec)) {
            for (auto& entry : fs::directory_iterator(host, ec)) {
                std::string candidate = entry.path().filename().string();
                if (Lower(candidate) == Lower(name)) {
                    match = candidate;
                    break;
                }
            }
        }
        host /= match;
    }
    return host.string();
}

bool Exists(const std::string& host, struct stat& st) {
    return lstat(host.c_str(), &st) == 0;
}

bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0;
}

sys::Dword AttributesOf(const std::string& host, const struct stat& st) {
    sys::Dword attributes = 0;
    if (S_ISLNK(st.st_mode)) {
        attributes |= sys::attr::ReparsePoint;
        struct stat target {};
        if (stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            attributes |= sys::attr::Directory;
        }
        return attributes;
    }
    if (S_ISDIR(st.st_mode)) {
        attributes |= sys::attr::Directory;
    } else {
        attributes |= kAttrArchive;
    }
    if (IsReadOnly(st)) {
        attributes |= sys::attr::ReadOnly;
    }
    return attributes;
}

// The error Windows gives for a missing path: 3 when a directory on the way is missing.
bool FailMissing(const std::string& host) {
    struct stat st {};
    sys::SetLastError(lstat(fs::path(host).parent_path().c_str(), &st) == 0
                          ? sys::err::FileNotFound
                          : sys::err::PathNotFound);
    return false;
}

struct Entry {
    std::string host;
    struct stat st {};
    sys::Dword attributes = 0;
};

// The common start of a call on an existing path: counted, failed on request, resolved.
std::optional<Entry> Enter(const char* call, const std::string& path) {
    sim::CountCall(call);
    if (sim::ShouldFail(call) || TooLong(path)) {
        return std::nullopt;
    }

    if (Wildcard(path)) {
        return std::nullopt;
    }
    Entry entry;
    entry.host = Resolve(path);
    if (entry.host.empty() || !Exists(entry.host, entry.st)) {
        FailMissing(entry.host);
        return std::nullopt;
    }
    entry.attributes = AttributesOf(entry.host, entry.st);
    return entry;
}

// Sets the last error and gives the failed call's result.
bool Fail(sys::Dword error) {
    sys::SetLastError(error);
    return false;
}

bool WildcardMatch(const char* pattern, const char* name) {
    if (*pattern == '\0') {
        return *name == '\0';
    }
    if (*pattern == '*') {
        // "*.*" matches names without a dot too, as on Windows.
        if (pattern[1] == '.' && pattern[2] == '*' && pattern[3] == '\0') {
            return true;
        }
        for (const char* n = name;; ++n) {
            if (WildcardMatch(pattern + 1, n)) {
                return true;
            }
            if (*n == '\0') {
                return false;
            }
        }
    }
    if (*name == '\0') {
        return false;
    }
    if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                               std::tolower(static_cast<unsigned char>(*name))) {
        return WildcardMatch(pattern + 1, name + 1);
    }
    return false;
}

}  // namespace

namespace sim {
std::string HostPath(const std::string& windowsPath) {
    return Resolve(windowsPath);
}
}  // namespace sim

namespace {

// DELETE, FILE_SHARE_DELETE, FILE_FLAG_BACKUP_SEMANTICS, FILE_FLAG_OPEN_REPARSE_POINT,
// FILE_READ_ATTRIBUTES.
enum : sys::Dword {
    kDeleteAccess = 0x10000,
    kShareDelete = 0x4,
    kFlagBackupSemantics = 0x02000000,
    kFlagOpenReparsePoint = 0x00200000,
    kReadAttributes = 0x80
};

// A file, folder or link held open through CreateFileA.
struct Held {
    std::string host;
    sys::Dword access = 0;
    sys::Dword share = 0;
};
std::mutex heldMutex;
std::map<void*, Held> held;

// A handle with no more than attribute access takes no part in the sharing check.
bool Shares(const Held& entry) {
    return (entry.access & ~kReadAttributes) != 0;
}

// The common start of a call on a held entry: counted, failed on request, looked up, still there
// (an entry deleted through its handle stays delete-pending until the close: 5).
std::optional<Held> EnterHeld(const char* call, void* handle, struct stat& st) {
    sim::CountCall(call);
    if (sim::ShouldFail(call)) {
        return std::nullopt;
    }
    std::optional<Held> entry;
    {
        std::lock_guard lock(heldMutex);
        auto it = held.find(handle);
        if (it != held.end()) {
            entry = it->second;
        }
    }
    if (!entry) {
        sys::SetLastError(sys::err::InvalidHandle);
    } else if (!Exists(entry->host, st)) {
        sys::SetLastError(sys::err::AccessDenied);
        entry.reset();
    }
    return entry;
}

}  // namespace

namespace sim::detail {

bool HeldAtOrBelow(const std::string& host) {
    std::lock_guard lock(heldMutex);
    for (const auto& [handle, entry] : held) {
        const bool within = entry.host == host || entry.host.rfind(host + "/", 0) == 0;
        if (within && Shares(entry) && (entry.share & kShareDelete) == 0) {
            return true;
        }
    }
    return false;
}

void* OpenFileEntry(const char* name, sys::Dword access, sys::Dword share, sys::Dword flags) {
    void* const invalid = sys::InvalidHandleValue();
    if (TooLong(name) || Wildcard(name)) {
        return invalid;
    }
    Held entry{Resolve(name), access, share};
    struct stat st {};
    if (entry.host.empty() || !Exists(entry.host, st)) {
        FailMissing(entry.host);
        return invalid;
    }
    if (S_ISLNK(st.st_mode) && (flags & kFlagOpenReparsePoint) == 0) {
        std::error_code ec;
        entry.host = fs::canonical(entry.host, ec).string();
        if (ec || stat(entry.host.c_str(), &st) != 0) {
            FailMissing(entry.host);
            return invalid;
        }
    }
    if (S_ISDIR(st.st_mode) && (flags & kFlagBackupSemantics) == 0) {
        sys::SetLastError(sys::err::AccessDenied);
        return invalid;
    }
    {
        std::lock_guard lock(heldMutex);
        for (const auto& [handle, other] : held) {
            if (other.host == entry.host &&
                (((access & kDeleteAccess) != 0 && (other.share & kShareDelete) == 0) ||
                 ((other.access & kDeleteAccess) != 0 && (share & kShareDelete) == 0))) {
                sys::SetLastError(kErrorSharingViolation);
                return invalid;
            }
        }
    }
    void* handle = NewHandle(HandleKind::File, [](void* closed) {
        std::lock_guard lock(heldMutex);
        held.erase(closed);
    });
    tr::Name(tr::Kind::Kernel, handle, [&] { return tr::Q(name); });
    std::lock_guard lock(heldMutex);
    held[handle] = entry;
    return handle;
}

}  // namespace sim::detail

namespace sys {

struct FileSearch::Impl {
    std::vector<FindData> entries;
    size_t next = 0;
};

FileSearch::FileSearch() = default;
FileSearch::~FileSearch() {
    Close();
}

bool FileSearch::First(const std::string& pattern, FindData& out) {
    tr::Call trace("FindFirstFileA", [&] { return tr::Q(pattern); });
    sim::CountCall("FindFirstFileA");
    Close();
    if (sim::ShouldFail("FindFirstFileA") || TooLong(pattern)) {
        return false;
    }
    auto cut = pattern.find_last_of("\\/");
    std::string dir = cut == std::string::npos ? "." : pattern.substr(0, cut + 1);
    std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    std::string host = Resolve(dir);
    struct stat st {};
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(err::PathNotFound);
        return false;
    }
    auto impl = std::make_unique<Impl>();
    if (host != sim::Root()) {
        for (const char* dot : {".", ".."}) {
            if (WildcardMatch(mask.c_str(), dot)) {
                impl->entries.push_back(FindData{dot, attr::Directory});
            }
        }
    }
    std::error_code ec;
    for (auto& entry : fs::directory_iterator(host, ec)) {
        std::string name = entry.path().filename().string();
        struct stat est {};
        if (WildcardMatch(mask.c_str(), name.c_str()) && Exists(entry.path().string(), est)) {
            impl->entries.push_back(FindData{name, AttributesOf(entry.path().string(), est)});
        }
    }
    // NTFS lists a directory in the order of its upper-cased names, whatever the host's order.
    std::stable_sort(impl->entries.begin(), impl->entries.end(), [](const auto& a, const auto& b) {
        const auto upper = [](std::string s) {
            for (auto& c : s) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            return s;
        };
        return upper(a.name) < upper(b.name);
    });
    if (impl->entries.empty()) {
        SetLastError(err::FileNotFound);
        return false;
    }
    out = impl->entries[0];
    impl->next = 1;
    impl_ = std::move(impl);
    return true;
}

bool FileSearch::Next(FindData& out) {
    tr::Call trace("FindNextFileA");
    if (sim::ShouldFail("FindNextFileA")) {
        return false;
    }
    if (!impl_ || impl_->next >= impl_->entries.size()) {
        SetLastError(18);  // ERROR_NO_MORE_FILES
        return false;
    }
    out = impl_->entries[impl_->next++];
    return true;
}

void FileSearch::Close() {
    impl_.reset();
}

Dword GetFileAttributesA(const std::string& path) {
    tr::Call trace("GetFileAttributesA", [&] { return tr::Q(path); });
    auto entry = Enter("GetFileAttributesA", path);
    return entry ? entry->attributes : attr::Invalid;
}

bool SetFileAttributesA(const std::string& path, Dword attributes) {
    tr::Call trace("SetFileAttributesA",
                   [&] { return tr::Args(tr::Q(path), tr::Hex(attributes)); });
    auto entry = Enter("SetFileAttributesA", path);
    if (!entry) {
        return false;
    }
    mode_t mode = entry->st.st_mode & 07777;
    mode = (attributes & attr::ReadOnly) != 0 ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH))
                                              : (mode | S_IWUSR);
    return chmod(entry->host.c_str(), mode) == 0;
}

bool DeleteFileA(const std::string& path) {
    tr::Call trace("DeleteFileA", [&] { return tr::Q(path); });
    auto entry = Enter("DeleteFileA", path);
    if (!entry) {
        return false;
    }
    if (sim::detail::HeldAtOrBelow(entry->host)) {
        return Fail(kErrorSharingViolation);
    }
    // Directories, links to directories and read-only files are refused.
    if ((entry->attributes & (attr::Directory | attr::ReadOnly)) != 0 ||
        unlink(entry->host.c_str()) != 0) {
        return Fail(err::AccessDenied);
    }
    return true;
}

bool RemoveDirectoryA(const std::string& path) {
    tr::Call trace("RemoveDirectoryA", [&] { return tr::Q(path); });
    auto entry = Enter("RemoveDirectoryA", path);
    if (!entry) {
        return false;
    }
    if ((entry->attributes & attr::Directory) == 0) {
        return Fail(kErrorDirectory);
    }
    if (sim::detail::HeldAtOrBelow(entry->host)) {
        return Fail(kErrorSharingViolation);
    }
    if ((entry->attributes & attr::ReparsePoint) != 0) {
        // A directory link or junction: the link goes, its target stays.
        return unlink(entry->host.c_str()) == 0 || Fail(err::AccessDenied);
    }
    if ((entry->attributes & attr::ReadOnly) != 0) {
        return Fail(err::AccessDenied);
    }
    if (rmdir(entry->host.c_str()) != 0) {
        return Fail(errno == ENOTEMPTY || errno == EEXIST ? err::DirNotEmpty : err::AccessDenied);
    }
    return true;
}

namespace {
bool MakeDirectory(const std::string& path, bool protect) {
    sim::CountCall("CreateDirectoryA");
    if (sim::ShouldFail("CreateDirectoryA") || TooLong(path)) {
        return false;
    }

    if (Wildcard(path)) {
        return false;
    }
    std::string host = Resolve(path);
    struct stat st {};
    if (host.empty()) {
        return Fail(err::PathNotFound);
    }
    if (Exists(host, st)) {
        return Fail(err::AlreadyExists);
    }
    if (mkdir(host.c_str(), 0755) != 0) {
        return Fail(err::PathNotFound);
    }
    if (protect) {
        sim::detail::MarkProtected(host);
    }
    return true;
}
}  // namespace

bool CreateDirectoryA(const std::string& path) {
    tr::Call trace("CreateDirectoryA", [&] { return tr::Q(path); });
    return MakeDirectory(path, false);
}

bool CreateProtectedDirectoryA(const std::string& path) {
    tr::Call trace("CreateDirectoryA",
                   [&] { return tr::Args(tr::Q(path), tr::Q(kAdminsOnlySddl)); });
    return MakeDirectory(path, true);
}

bool GetFileSecurityA(const std::string& path, ObjectSecurity& security) {
    tr::Call trace("GetFileSecurityA", [&] { return tr::Q(path); });
    auto entry = Enter("GetFileSecurityA", path);
    if (!entry) {
        return false;
    }
    constexpr Dword kFullAccess = 0x1F01FF;  // FILE_ALL_ACCESS
    constexpr Dword kModify = 0x1301BF;      // what the root of C: lets users do below it
    constexpr Dword kReadAndRun = 0x1200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
    const char* const kAuthenticatedUsers = "S-1-5-11";
    // The drive keeps only whether users may change an entry: one they may is taken as made by
    // a signed-in user, one they may not as made by an elevated administrator.
    if (sim::detail::UsersMayWriteHost(entry->host)) {
        security = {"S-1-5-21-1004336348-1177238915-682003330-1001",
                    false,
                    {{sid::System, kFullAccess},
                     {sid::Administrators, kFullAccess},
                     {kAuthenticatedUsers, kModify}}};
    } else {
        security = {sid::Administrators,
                    false,
                    {{sid::System, kFullAccess},
                     {sid::Administrators, kFullAccess},
                     {sid::Users, kReadAndRun}}};
    }
    trace.Out([&security] { return "owner=" + security.owner; });
    return true;
}

bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) {
    tr::Call trace("CopyFileA",
                   [&] { return tr::Args(tr::Q(from), tr::Q(to), failIfExists ? "1" : "0"); });
    sim::CountCall("CopyFileA");
    if (sim::ShouldFail("CopyFileA") || TooLong(from) || TooLong(to, false)) {
        return false;
    }

    if (Wildcard(from) || Wildcard(to)) {
        return false;
    }
    std::string src = Resolve(from);
    std::string dst = Resolve(to);
    struct stat sst {};
    struct stat dst_st {};
    if (src.empty() || stat(src.c_str(), &sst) != 0) {
        return FailMissing(src);
    }
    if (S_ISDIR(sst.st_mode)) {
        return Fail(err::AccessDenied);
    }
    if (dst.empty()) {
        return Fail(err::PathNotFound);
    }
    if (stat(dst.c_str(), &dst_st) == 0) {
        if (dst_st.st_ino == sst.st_ino && dst_st.st_dev == sst.st_dev) {
            return Fail(kErrorSharingViolation);  // onto itself: the source is open
        }
        if (failIfExists) {
            return Fail(kErrorFileExists);
        }
        if (S_ISDIR(dst_st.st_mode) || IsReadOnly(dst_st)) {
            return Fail(err::AccessDenied);
        }
    }
    std::error_code ec;
    if (!fs::is_directory(fs::path(dst).parent_path(), ec)) {
        return Fail(err::PathNotFound);
    }
    fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        return Fail(err::AccessDenied);
    }
    return true;
}

bool MoveFileA(const std::string& from, const std::string& to) {
    tr::Call trace("MoveFileA", [&] { return tr::Args(tr::Q(from), tr::Q(to)); });
    auto entry = Enter("MoveFileA", from);
    if (!entry) {
        return false;
    }
    const std::string dst = Resolve(to);
    struct stat st {};
    if (Wildcard(to)) {
        return false;
    }
    if (dst.empty()) {
        return Fail(err::PathNotFound);
    }
    if (const auto names = FullPath(to); Lower(dst) == Lower(entry->host) && !names->empty()) {
        // Onto itself: nothing to do, or only the case of the name changes.
        const std::string renamed = (fs::path(dst).parent_path() / names->back()).string();
        return rename(entry->host.c_str(), renamed.c_str()) == 0 || Fail(err::AccessDenied);
    }
    if (Exists(dst, st)) {
        return Fail(err::AlreadyExists);
    }
    if (!Exists(fs::path(dst).parent_path().string(), st) || !S_ISDIR(st.st_mode)) {
        return Fail(err::PathNotFound);
    }
    // Into its own subtree: Windows refuses with 32 (ERROR_SHARING_VIOLATION).
    const std::string prefix = entry->host + "/";
    if (dst.compare(0, prefix.size(), prefix) == 0) {
        return Fail(kErrorSharingViolation);
    }
    // An entry held open, or one below it, cannot move: 32 (ERROR_SHARING_VIOLATION).
    if (sim::detail::HeldAtOrBelow(entry->host)) {
        return Fail(kErrorSharingViolation);
    }
    sim::detail::KeepMark(entry->host);
    return rename(entry->host.c_str(), dst.c_str()) == 0 || Fail(err::AccessDenied);
}

bool AppendFileA(const std::string& path, const std::string& bytes) {
    tr::Call trace("AppendFileA",
                   [&] { return tr::Args(tr::Q(path), std::to_string(bytes.size())); });
    sim::CountCall("AppendFileA");
    if (sim::ShouldFail("AppendFileA") || TooLong(path) || Wildcard(path)) {
        return false;
    }
    const std::string host = Resolve(path);
    if (host.empty()) {
        return Fail(err::PathNotFound);
    }
    struct stat st {};
    if (Exists(host, st)) {
        const Dword attributes = AttributesOf(host, st);
        // CreateFileA of a directory or a read-only file for writing: 5 (ERROR_ACCESS_DENIED).
        if ((attributes & (attr::Directory | attr::ReadOnly)) != 0) {
            return Fail(err::AccessDenied);
        }
    } else if (!fs::is_directory(fs::path(host).parent_path())) {
        return Fail(err::PathNotFound);
    }
    std::ofstream out(host, std::ios::binary | std::ios::app);
    out << bytes;
    out.flush();
    return out.good() || Fail(err::AccessDenied);
}

std::string GetTempPathA() {
    tr::Call trace("GetTempPathA");
    sim::CountCall("GetTempPathA");
    return sim::ShouldFail("GetTempPathA") ? std::string() : "C:\\Windows\\Temp\\";
}

bool GetFileInformationByHandle(void* file, Dword* attributes) {
    tr::Call trace("GetFileInformationByHandle", [&] { return tr::H(tr::Kind::Kernel, file); });
    struct stat st {};
    const auto entry = EnterHeld("GetFileInformationByHandle", file, st);
    if (!entry) {
        return false;
    }
    *attributes = AttributesOf(entry->host, st);
    return true;
}

bool SetFileDispositionByHandle(void* file, bool deleteFile) {
    tr::Call trace("SetFileInformationByHandle", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, file), "FileDispositionInfo",
                        deleteFile ? "1" : "0");
    });
    struct stat st {};
    const auto entry = EnterHeld("SetFileInformationByHandle", file, st);
    if (!entry) {
        return false;
    }
    if ((entry->access & kDeleteAccess) == 0) {
        return Fail(err::AccessDenied);
    }
    if (!deleteFile) {
        return true;
    }
    // Deleted at once rather than at the close: nobody else can open it meanwhile anyway.
    if (S_ISLNK(st.st_mode)) {
        return unlink(entry->host.c_str()) == 0 || Fail(err::AccessDenied);
    }
    if (IsReadOnly(st)) {
        return Fail(err::AccessDenied);
    }
    if (S_ISDIR(st.st_mode)) {
        return rmdir(entry->host.c_str()) == 0 ||
               Fail(errno == ENOTEMPTY || errno == EEXIST ? err::DirNotEmpty : err::AccessDenied);
    }
    return unlink(entry->host.c_str()) == 0 || Fail(err::AccessDenied);
}

std::string GetCurrentDirectoryA() {
    tr::Call trace("GetCurrentDirectoryA");
    sim::CountCall("GetCurrentDirectoryA");
    if (sim::ShouldFail("GetCurrentDirectoryA")) {
        return {};
    }
    std::lock_guard lock(M().mu);
    return M().currentDirectory;
}

std::string GetProgramDirectoryA() {
    tr::Call trace("GetProgramDirectoryA");
    sim::CountCall("GetProgramDirectoryA");
    if (sim::ShouldFail("GetProgramDirectoryA")) {
        return {};
    }
    std::lock_guard lock(M().mu);
    std::string folder = M().programDirectory.empty() ? M().currentDirectory : M().programDirectory;
    // The program's path without its name: never with a backslash at the end, even at a root.
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

// Both fail as the real calls do, with an empty result.
std::string GetSystemDirectoryA() {
    tr::Call trace("GetSystemDirectoryA");
    sim::CountCall("GetSystemDirectoryA");
    return sim::ShouldFail("GetSystemDirectoryA") ? std::string() : "C:\\Windows\\system32";
}

std::string GetWindowsDirectoryA() {
    tr::Call trace("GetWindowsDirectoryA");
    sim::CountCall("GetWindowsDirectoryA");
    return sim::ShouldFail("GetWindowsDirectoryA") ? std::string() : "C:\\Windows";
}

}  // namespace sys
