// Registers a language monitor DLL with the spooler through AddMonitorA level 2, then removes it.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kMonitorName[] = "Pass-Through Check Monitor";

#ifdef _WIN64
char kEnvironment[] = "Windows x64";
#else
char kEnvironment[] = "Windows NT x86";
#endif

int Fail(const char* what) {
    std::fprintf(stderr, "monitor_check: %s (error %lu)\n", what, GetLastError());
    return 1;
}

bool Listed() {
    DWORD needed = 0, count = 0;
    EnumMonitorsA(nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 || !EnumMonitorsA(nullptr, 1, buffer.data(), needed, &needed, &count)) {
        return false;
    }
    const auto* info = reinterpret_cast<const MONITOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (std::strcmp(info[i].pName, kMonitorName) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Usage: monitor_check <dll>. The DLL is copied into the system directory, as the installer does.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: monitor_check <monitor.dll>\n");
        return 2;
    }
    const char* slash = std::strrchr(argv[1], '\\');
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    std::string dest = std::string(system) + "\\" + (slash ? slash + 1 : argv[1]);
    if (!CopyFileA(argv[1], dest.c_str(), FALSE)) {
        return Fail("copy into the system directory failed");
    }
    std::string name = kMonitorName;
    DeleteMonitorA(nullptr, kEnvironment, name.data());
    MONITOR_INFO_2A info{name.data(), kEnvironment, dest.data()};
    if (!AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info))) {
        return Fail("AddMonitorA refused the DLL");
    }
    // The installer counts this answer as success on a second run.
    if (AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)) ||
        GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
        return Fail("second AddMonitorA did not report the monitor as installed");
    }
    if (!Listed()) {
        return Fail("EnumMonitorsA does not list the monitor");
    }
    if (!DeleteMonitorA(nullptr, kEnvironment, name.data())) {
        return Fail("DeleteMonitorA failed");
    }
    std::printf("monitor_check: %s accepted\n", dest.c_str());
    return 0;
}
