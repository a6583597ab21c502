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

// A service handle closed when it goes out of scope.
class Service {
  public:
    explicit Service(SC_HANDLE h) : h_(h) {}
    ~Service() {
        if (h_ != nullptr) {
            CloseServiceHandle(h_);
        }
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;
    SC_HANDLE get() const { return h_; }

  private:
    SC_HANDLE h_;
};

// "service<TAB>name<TAB>current state<TAB>start type", the numbers as the SCM gives them
// (state 1 stopped, 4 running; start type 3 on demand, 4 disabled).
int service(const char* name) {
    Service manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.get() == nullptr) {
        report("OpenSCManagerA", GetLastError());
        return kFailed;
    }
    Service svc(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (svc.get() == nullptr) {
        report("OpenServiceA", GetLastError());
        return kFailed;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(svc.get(), &status)) {
        report("QueryServiceStatus", GetLastError());
        return kFailed;
    }
    DWORD needed = 0;
    // 122 (ERROR_INSUFFICIENT_BUFFER) is the size query's normal outcome.
    QueryServiceConfigA(svc.get(), nullptr, 0, &needed);
    std::vector<BYTE> buf(needed + sizeof(QUERY_SERVICE_CONFIGA), 0);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data());
    if (!QueryServiceConfigA(svc.get(), config, static_cast<DWORD>(buf.size()), &needed)) {
        report("QueryServiceConfigA", GetLastError());
        return kFailed;
    }
    emit({"service", escaped(name), std::to_string(status.dwCurrentState),
          std::to_string(config->dwStartType)});
    return kOk;
}

int usage() {
    std::fputs(
        "usage: spoolq [what...]   what: drivers[=<environment>] printers ports monitors device\n"
        "                          service[=<name>]\n"
        "       (default: all but service; drivers defaults to \"Windows NT x86\", service to "
        "Spooler)\n"
        "lines: driver<TAB>name<TAB>environment<TAB>version<TAB>driver path<TAB>data file<TAB>"
        "config file<TAB>help file<TAB>dependent files (comma-separated)<TAB>monitor<TAB>datatype\n"
        "       printer<TAB>name<TAB>port<TAB>driver<TAB>print processor<TAB>datatype<TAB>"
        "attributes\n"
        "       port<TAB>name<TAB>monitor<TAB>description<TAB>type\n"
        "       monitor<TAB>name<TAB>environment<TAB>dll\n"
        "       device<TAB>value  |  device-missing\n"
        "       service<TAB>name<TAB>state<TAB>start type\n",
        stderr);
    return kUsage;
}

// One query by its name on the command line; kUsage for an unknown name (nothing is run then).
int query(const std::string& w, bool run) {
    auto param = [&](const char* prefix) {
        const size_t n = std::string_view(prefix).size();
        return w.compare(0, n, prefix) == 0 && w.size() > n ? w.c_str() + n : nullptr;
    };
    const char* arg = nullptr;
    if (w == "drivers" || (arg = param("drivers=")) != nullptr) {
        return run ? drivers(arg != nullptr ? arg : "Windows NT x86") : kOk;
    }
    if (w == "service" || (arg = param("service=")) != nullptr) {
        return run ? service(arg != nullptr ? arg : "Spooler") : kOk;
    }
    if (w == "printers") {
        return run ? printers() : kOk;
    }
    if (w == "ports") {
        return run ? ports() : kOk;
    }
    if (w == "monitors") {
        return run ? monitors() : kOk;
    }
    if (w == "device") {
        return run ? device() : kOk;
    }
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
    for (const std::string& w : what) {
        if (query(w, false) == kUsage) {
            return usage();
        }
    }
    int rc = kOk;
    for (const std::string& w : what) {
        const int one = query(w, true);
        rc = rc == kOk ? one : rc;
    }
    std::fflush(stdout);
    return rc;
}
