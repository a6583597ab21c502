// Which Windows this is and whether the process runs under WOW64.
#pragma once

#include <string>
#include <string_view>

namespace catalog {

int VersionCode();                  // 1..10 by the version table, -1 for anything else
std::string_view OsName(int code);  // with its trailing blank; empty for -1
bool IsWow64();                     // false when the system has no IsWow64Process
bool Is64BitWindows();              // a 64-bit process, or a 32-bit one under WOW64
std::string SystemStatusText(int versionCode, bool wow64);

}  // namespace catalog
