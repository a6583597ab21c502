// service_wait_bench: CPU time of a service restart's waiting, the installer's against busy
// polling.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "install/RestartService.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// The busy loop of the measurement must end even when the service never gets there.
constexpr DWORD kBusyBoundMs = 30000;
constexpr DWORD kServeStepMs = 100;

// A service or manager handle closed when it goes out of scope.
class ScHandle {
  public:
    explicit ScHandle(SC_HANDLE h) : h_(h) {}
    ~ScHandle() {
        if (h_ != nullptr) {
            CloseServiceHandle(h_);
        }
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return h_; }

  private:
    SC_HANDLE h_;
};

double ms(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 10000.0;
}

struct Sample {
    double wall = 0;
    double thread = 0;
    double process = 0;
};

Sample now() {
    Sample s;
    LARGE_INTEGER freq;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&count);
    s.wall = 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(freq.QuadPart);
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        s.thread = ms(kernel) + ms(user);
    }
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        s.process = ms(kernel) + ms(user);
    }
    return s;
}

long g_queries = 0;

// Polls with no pause, as the original control did; bounded only so that the bench ends.
bool busyWait(SC_HANDLE query, SERVICE_STATUS* status, DWORD wanted) {
    const DWORD start = GetTickCount();
    for (;;) {
        ++g_queries;
        if (!QueryServiceStatus(query, status)) {
            return false;
        }
        if (status->dwCurrentState == wanted) {
            return true;
        }
        if (GetTickCount() - start >= kBusyBoundMs) {
            return false;
        }
    }
}

// The original restart: start when stopped, else stop and start again, waiting in busy loops.
bool busyRestart(const char* name, int mode) {
    ScHandle manager(OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS));
    ScHandle query(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
    SERVICE_STATUS status{};
    ++g_queries;
    if (!QueryServiceStatus(query.get(), &status)) {
        return false;
    }
    ScHandle control(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
    if (status.dwCurrentState == SERVICE_STOPPED) {
        StartServiceA(control.get(), 0, nullptr);
        return busyWait(query.get(), &status, SERVICE_RUNNING);
    }
    if (mode == install::kStartOnly) {
        return true;
    }
    ControlService(control.get(), SERVICE_CONTROL_STOP, &status);
    if (!busyWait(query.get(), &status, SERVICE_STOPPED)) {
        return false;
    }
    StartServiceA(control.get(), 0, nullptr);
    return busyWait(query.get(), &status, SERVICE_RUNNING);
}

int measure(const std::string& variant, const char* name, int mode, int rounds) {
    const bool busy = variant == "busy";
    if (!busy && variant != "product") {
        return kUsage;
    }
    g_queries = 0;
    int failures = 0;
    const Sample before = now();
    for (int i = 0; i < rounds; ++i) {
        bool ok = busy ? busyRestart(name, mode)
                       : install::RestartService(name, mode, [](const std::string& text) {
                             std::fprintf(stderr, "service_wait_bench: box \"%s\"\n", text.c_str());
                         });
        failures += ok ? 0 : 1;
    }
    const Sample after = now();
    const double wall = after.wall - before.wall;
    const double thread = after.thread - before.thread;
    const double process = after.process - before.process;
    std::printf("result\t%s\t%s\t%d\t%d\t%.0f\t%.1f\t%.1f\t%.2f\t%s\t%d\n", variant.c_str(), name,
                mode, rounds, wall, thread, process, wall > 0 ? 100.0 * process / wall : 0.0,
                busy ? std::to_string(g_queries).c_str() : "-", failures);
    std::fflush(stdout);
    return kOk;
}

// The service side: a service whose start and stop each take a given time, reported as pending.
SERVICE_STATUS_HANDLE g_status = nullptr;
SERVICE_STATUS g_state{};
HANDLE g_stop = nullptr;
DWORD g_delayMs = 0;

void report(DWORD state) {
    g_state.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_state.dwCurrentState = state;
    g_state.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_state.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : g_delayMs;
    ++g_state.dwCheckPoint;
    SetServiceStatus(g_status, &g_state);
}

// Pending for the delay, with a check point every step.
void pending(DWORD state) {
    for (DWORD waited = 0; waited < g_delayMs; waited += kServeStepMs) {
        report(state);
        Sleep(kServeStepMs);
    }
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    if (code == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD, char** argv) {
    g_status = RegisterServiceCtrlHandlerExA(argv[0], control, nullptr);
    if (g_status == nullptr) {
        return;
    }
    pending(SERVICE_START_PENDING);
    report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    pending(SERVICE_STOP_PENDING);
    g_state.dwCheckPoint = 0;
    report(SERVICE_STOPPED);
}

int serve(const char* name, DWORD delayMs) {
    g_delayMs = delayMs;
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(name), serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? kOk : kFailed;
}

// Registers this program as an on-demand service that takes the delay to start and to stop.
int installService(const char* name, DWORD delayMs) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    char command[MAX_PATH + 128];
    std::snprintf(command, sizeof command, "\"%s\" serve %s %lu", self, name,
                  static_cast<unsigned long>(delayMs));
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ScHandle svc(CreateServiceA(manager.get(), name, name, SERVICE_ALL_ACCESS,
                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                SERVICE_ERROR_NORMAL, command, nullptr, nullptr, nullptr, nullptr,
                                nullptr));
    if (svc.get() == nullptr) {
        std::fprintf(stderr, "service_wait_bench: CreateServiceA failed with %lu\n",
                     static_cast<unsigned long>(GetLastError()));
        return kFailed;
    }
    return kOk;
}

int usage() {
    std::fputs(
        "usage: service_wait_bench run <product|busy> <service> <mode> <rounds>\n"
        "       service_wait_bench install <service> <delay-ms>   (a service of this program)\n"
        "       service_wait_bench serve <service> <delay-ms>     (its service process)\n"
        "run prints: result<TAB>variant<TAB>service<TAB>mode<TAB>rounds<TAB>wall ms<TAB>"
        "thread cpu ms<TAB>process cpu ms<TAB>process cpu % of wall<TAB>queries<TAB>failures\n",
        stderr);
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    auto number = [](const char* s, long* out) {
        char* end = nullptr;
        *out = std::strtol(s, &end, 10);
        return end != s && *end == '\0' && *out >= 0;
    };
    long a = 0;
    long b = 0;
    int rc = kUsage;
    if (argc == 6 && std::strcmp(argv[1], "run") == 0 && number(argv[4], &a) &&
        number(argv[5], &b)) {
        rc = measure(argv[2], argv[3], static_cast<int>(a), static_cast<int>(b));
    } else if (argc == 4 && std::strcmp(argv[1], "install") == 0 && number(argv[3], &a)) {
        rc = installService(argv[2], static_cast<DWORD>(a));
    } else if (argc == 4 && std::strcmp(argv[1], "serve") == 0 && number(argv[3], &a)) {
        rc = serve(argv[2], static_cast<DWORD>(a));
    }
    return rc == kUsage ? usage() : rc;
}
