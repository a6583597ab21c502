// spoolq: lists what the print spooler holds, one tab-separated line per object, for the tests.
#include <windows.h>
// windows.h first: winspool.h needs its types.
#include <fcntl.h>
#include <io.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/Escaped.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr const char* kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// Spooler strings may be null.
std::string escaped(const char* s) {
    return e2e::Escaped(s != nullptr ? s : "");
}

// The NUL-separated, double-NUL-ended list as names joined by commas.
std::string multiString(const char* s) {
    std::string out;
    for (; s != nullptr && *s != '\0'; s += std::string_view(s).size() + 1) {
        if (!out.empty()) {
            out += ',';
        }
        out += escaped(s);
    }
    return out;
}

void emit(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& f : fields) {
        if (!line.empty()) {
            line += '\t';
        }
        line += f;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void report(const char* call, DWORD error) {
    std::fprintf(stderr, "spoolq: %s failed with %lu\n", call, static_cast<unsigned long>(error));
}

// Runs an Enum call twice, size query then fetch; false (error reported) when the fetch fails.
template <typename Call>
bool enumerate(const char* name, std::vector<BYTE>* buffer, DWORD* count, Call call) {
    DWORD needed = 0;
    *count = 0;
    // 122 (ERROR_INSUFFICIENT_BUFFER) is the size query's normal outcome.
    if (!call(nullptr, 0, &needed, count) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        report(name, GetLastError());
        return false;
    }
    buffer->assign(needed + 1, 0);
    if (needed != 0 && !call(buffer->data(), needed, &needed, count)) {
        report(name, GetLastError());
        return false;
    }
    return true;
}

int drivers(const char* environment) {
    std::vector<BYTE> buf;
    DWORD n = 0;
    if (!enumerate("EnumPrinterDriversA", &buf, &n,
                   [&](BYTE* b, DWORD size, DWORD* need, DWORD* c) {
                       return EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 3, b,
                                                  size, need, c);
                   })) {
        return kFailed;
    }
    const auto* info = reinterpret_cast<const DRIVER_INFO_3A*>(buf.data());
    for (DWORD i = 0; i < n; ++i) {
        const DRIVER_INFO_3A& d = info[i];
        emit({"driver", escaped(d.pName), escaped(d.pEnvironment), std::to_string(d.cVersion),
              escaped(d.pDriverPath), escaped(d.pDataFile), escaped(d.pConfigFile),
              escaped(d.pHelpFile), multiString(d.pDependentFiles), escaped(d.pMonitorName),
              escaped(d.pDefaultDataType)});
    }
    return kOk;
}

int printers() {
    std::vector<BYTE> buf;
    DWORD n = 0;
    if (!enumerate("EnumPrintersA", &buf, &n, [](BYTE* b, DWORD size, DWORD* need, DWORD* c) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, size, need, c);
        })) {
        return kFailed;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buf.data());
    for (DWORD i = 0; i < n; ++i) {
        const PRINTER_INFO_2A& p = info[i];
        char attributes[16];
        std::snprintf(attributes, sizeof attributes, "0x%08lX",
                      static_cast<unsigned long>(p.Attributes));
        emit({"printer", escaped(p.pPrinterName), escaped(p.pPortName), escaped(p.pDriverName),
              escaped(p.pPrintProcessor), escaped(p.pDatatype), attributes});
    }
    return kOk;
}

int ports() {
    std::vector<BYTE> buf;
    DWORD n = 0;
    if (!enumerate("EnumPortsA", &buf, &n, [](BYTE* b, DWORD size, DWORD* need, DWORD* c) {
            return EnumPortsA(nullptr, 2, b, size, need, c);
        })) {
        return kFailed;
    }
    const auto* info = reinterpret_cast<const PORT_INFO_2A*>(buf.data());
    for (DWORD i = 0; i < n; ++i) {
        const PORT_INFO_2A& p = info[i];
        emit({"port", escaped(p.pPortName), escaped(p.pMonitorName), escaped(p.pDescription),
              std::to_string(p.fPortType)});
    }
    return kOk;
}

int monitors() {
    std::vector<BYTE> buf;
    DWORD n = 0;
    if (!enumerate("EnumMonitorsA", &buf, &n, [](BYTE* b, DWORD size, DWORD* need, DWORD* c) {
            return EnumMonitorsA(nullptr, 2, b, size, need, c);
        })) {
        return kFailed;
    }
    const auto* info = reinterpret_cast<const MONITOR_INFO_2A*>(buf.data());
    for (DWORD i = 0; i < n; ++i) {
        const MONITOR_INFO_2A& m = info[i];
        emit({"monitor", escaped(m.pName), escaped(m.pEnvironment), escaped(m.pDLLName)});
    }
    return kOk;
}

// The default printer as the shell keeps it: "device<TAB><value>", or "device-missing" when the
// value does not exist (an empty value still gives a "device" line).
int device() {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, kWindowsKey, 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        emit({"device-missing"});
        return kOk;
    }
    if (rc != ERROR_SUCCESS) {
        report("RegOpenKeyExA", rc);
        return kFailed;
    }
    DWORD type = 0;
    DWORD size = 0;
    rc = RegQueryValueExA(key, "Device", nullptr, &type, nullptr, &size);
    std::vector<char> value(size + 1, '\0');
    if (rc == ERROR_SUCCESS) {
        rc = RegQueryValueExA(key, "Device", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                              &size);
    }
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        emit({"device-missing"});
        return kOk;
    }
    if (rc != ERROR_SUCCESS) {
        report("RegQueryValueExA", rc);
        return kFailed;
    }
    if (type != REG_SZ) {
        std::fprintf(stderr, "spoolq: Device has type %lu, not REG_SZ\n",
                     static_cast<unsigned long>(type));
        return kFailed;
    }
    emit({"device", escaped(value.data())});
    return kOk;
}

int usage() {
    std::fputs(
        "usage: spoolq [what...]   what: drivers[=<environment>] printers ports monitors device\n"
        "       (default: all of them; drivers defaults to \"Windows NT x86\")\n"
        "lines: driver<TAB>name<TAB>environment<TAB>version<TAB>driver path<TAB>data file<TAB>"
        "config file<TAB>help file<TAB>dependent files (comma-separated)<TAB>monitor<TAB>datatype\n"
        "       printer<TAB>name<TAB>port<TAB>driver<TAB>print processor<TAB>datatype<TAB>"
        "attributes\n"
        "       port<TAB>name<TAB>monitor<TAB>description<TAB>type\n"
        "       monitor<TAB>name<TAB>environment<TAB>dll\n"
        "       device<TAB>value  |  device-missing\n",
        stderr);
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Raw bytes out: no CRLF translation, no code-page conversion.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> what(argv + 1, argv + argc);
    if (what.empty()) {
        what = {"drivers", "printers", "ports", "monitors", "device"};
    }
    int rc = kOk;
    for (const std::string& w : what) {
        int one = kUsage;
        if (w == "drivers") {
            one = drivers("Windows NT x86");
        } else if (w.rfind("drivers=", 0) == 0) {
            one = drivers(w.c_str() + 8);
        } else if (w == "printers") {
            one = printers();
        } else if (w == "ports") {
            one = ports();
        } else if (w == "monitors") {
            one = monitors();
        } else if (w == "device") {
            one = device();
        }
        if (one == kUsage) {
            return usage();
        }
        rc = rc == kOk ? one : rc;
    }
    std::fflush(stdout);
    return rc;
}
