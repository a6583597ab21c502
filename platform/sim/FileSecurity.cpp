// The simulated drive's access lists, reduced to the one question that matters here: may a
// standard user change this entry? Kept in the host mode bits: S_IWOTH marks an entry users may
// write, S_ISGID one only administrators may write; an entry without either inherits.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/Machine.h"
#include "platform/sim/SimFileSecurity.h"

namespace fs = std::filesystem;
using sim::detail::M;

namespace sim::detail {

bool UsersMayWriteHost(const std::string& host) {
    const fs::path root = sim::Root();
    for (fs::path p = host; p != root && p.has_parent_path() && p != p.parent_path();
         p = p.parent_path()) {
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0) {
            continue;
        }
        if ((st.st_mode & S_ISGID) != 0) {
            return false;
        }
        if ((st.st_mode & S_IWOTH) != 0) {
            return true;
        }
    }
    return true;
}

namespace {
void SetMark(const std::string& host, bool usersMayWrite) {
    struct stat st {};
    if (lstat(host.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return;
    }
    mode_t mode = st.st_mode & 07777 & ~(S_ISGID | S_IWOTH);
    chmod(host.c_str(), mode | (usersMayWrite ? S_IWOTH : S_ISGID));
}
}  // namespace

void MarkProtected(const std::string& host) {
    SetMark(host, false);
}

void KeepMark(const std::string& host) {
    SetMark(host, UsersMayWriteHost(host));
}

}  // namespace sim::detail

namespace sim {
namespace {

// May a user make or replace the entry at host: theirs to change, or free in a folder they may
// add to (the root of C: lets anyone add).
bool MayReplace(const fs::path& host) {
    std::error_code ec;
    const bool exists = fs::exists(fs::symlink_status(host, ec));
    const fs::path parent = host.parent_path();
    const bool parentOpen = parent == fs::path(Root()) || detail::UsersMayWriteHost(parent);
    return exists ? detail::UsersMayWriteHost(host.string()) : parentOpen;
}

}  // namespace

bool UserMayWrite(const std::string& windowsPath) {
    const std::string host = HostPath(windowsPath);
    return !host.empty() && MayReplace(host);
}

bool UserWriteFile(const std::string& windowsPath, const std::string& content) {
    const fs::path host = HostPath(windowsPath);
    if (host.empty() || !MayReplace(host)) {
        return false;
    }
    std::ofstream(host, std::ios::binary | std::ios::trunc) << content;
    chmod(host.c_str(), 0644 | S_IWOTH);
    return true;
}

bool UserMakeDirectory(const std::string& windowsPath) {
    const fs::path host = HostPath(windowsPath);
    std::error_code ec;
    if (host.empty() || !MayReplace(host) || !fs::create_directory(host, ec)) {
        return false;
    }
    chmod(host.c_str(), 0755 | S_IWOTH);
    return true;
}

bool UserMakeLink(const std::string& windowsPath, const std::string& target) {
    const fs::path host = HostPath(windowsPath);
    // Held open by the installer: Windows refuses the rename or delete the swap needs (32).
    if (host.empty() || !MayReplace(host) || detail::HeldAtOrBelow(host.string())) {
        return false;
    }
    std::error_code ec;
    fs::remove_all(host, ec);
    fs::create_directory_symlink(HostPath(target), host, ec);
    return !ec;
}

void BeforeCall(const std::string& call, int nth, std::function<void()> action) {
    std::lock_guard lock(M().mu);
    M().hooks[call] = {nth, std::move(action)};
}

}  // namespace sim
