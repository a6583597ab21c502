// Maps the version record to the installer's version code and builds the system status text.
#include "catalog/SystemDetect.h"

#include <array>

#include "platform/Library.h"
#include "platform/SystemInfo.h"

namespace catalog {
namespace {

constexpr sys::Dword kPlatformWindows9x = 1;
constexpr sys::Dword kPlatformNt = 2;
constexpr sys::Dword kExtendedRecordSize = 156;
constexpr sys::Dword kPlainRecordSize = 148;

constexpr std::array<std::string_view, 10> kNames = {
    "Microsoft Windows 95 ",   "Microsoft Windows 98 ",    "Microsoft Windows Me ",
    "Microsoft Windows NT ",   "Microsoft Windows 2000 ",  "Microsoft Windows XP ",
    "Microsoft Windows 2003 ", "Microsoft Windows vista ", "Microsoft Windows 7 ",
    "Microsoft Windows 8 ",
};

int CodeFor(const sys::VersionInfo& v) {
    if (v.platformId == kPlatformWindows9x && v.majorVersion == 4) {
        switch (v.minorVersion) {
            case 0:
                return 1;
            case 10:
                return 2;
            case 90:
                return 3;
            default:
                return -1;
        }
    }
    if (v.platformId != kPlatformNt) {
        return -1;
    }
    if (v.majorVersion <= 4) {
        return 4;
    }
    if (v.majorVersion == 5 && v.minorVersion <= 2) {
        return 5 + static_cast<int>(v.minorVersion);
    }
    if (v.majorVersion == 6 && v.minorVersion <= 2) {
        return 8 + static_cast<int>(v.minorVersion);
    }
    return -1;
}

}  // namespace

int VersionCode() {
    sys::VersionInfo info;
    info.size = kExtendedRecordSize;
    if (!sys::GetVersionExA(info)) {
        info = sys::VersionInfo{};
        info.size = kPlainRecordSize;
        if (!sys::GetVersionExA(info)) {
            return -1;
        }
    }
    return CodeFor(info);
}

std::string_view OsName(int code) {
    if (code < 1 || code > static_cast<int>(kNames.size())) {
        return {};
    }
    return kNames[static_cast<size_t>(code - 1)];
}

bool IsWow64() {
    sys::ModuleHandle kernel = sys::GetModuleHandleA("kernel32");
    if (kernel == nullptr) {
        return false;
    }
    auto isWow64Process =
        reinterpret_cast<sys::IsWow64ProcessFn>(sys::GetProcAddress(kernel, "IsWow64Process"));
    if (isWow64Process == nullptr) {
        return false;
    }
    int wow64 = 0;
    return isWow64Process(sys::GetCurrentProcess(), &wow64) != 0 && wow64 != 0;
}

bool Is64BitWindows() {
    return sys::Is64BitProcess() || IsWow64();
}

std::string SystemStatusText(int versionCode, bool wow64) {
    // "bit" in code page 936 follows the word size.
    const std::string wordSize = std::string(wow64 ? "64" : "32") + "\xCE\xBB";
    return "Current Systems is " + std::string(OsName(versionCode)) + " " + wordSize;
}

}  // namespace catalog
