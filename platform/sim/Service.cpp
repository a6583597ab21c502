// The simulated service control manager: services that move through pending states in time.
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/Service.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/Trace.h"

using sim::detail::Lower;
using sim::service::State;
namespace tr = sim::trace;

namespace {

constexpr sys::Dword kErrorInvalidName = 123;
constexpr sys::Dword kErrorInvalidServiceControl = 1052;
constexpr sys::Dword kErrorDatabaseDoesNotExist = 1065;
constexpr sys::Dword kErrorServiceNeverStarted = 1077;
constexpr sys::Dword kOwnProcess = 0x10;       // SERVICE_WIN32_OWN_PROCESS
constexpr sys::Dword kAcceptStop = 0x1;        // SERVICE_ACCEPT_STOP
constexpr sys::Dword kControlInterrogate = 4;  // SERVICE_CONTROL_INTERROGATE
constexpr sys::Dword kInterrogate = 0x0080;    // SERVICE_INTERROGATE

constexpr sys::Dword kGenericRead = 0x80000000;
constexpr sys::Dword kGenericWrite = 0x40000000;
constexpr sys::Dword kGenericExecute = 0x20000000;
constexpr sys::Dword kGenericAll = 0x10000000;
constexpr sys::Dword kMaximumAllowed = 0x02000000;

struct Service {
    std::string name;
    State state = State::Stopped;
    sys::Dword since = 0;              // simulated time the current state was entered
    sys::Dword pendingTime = 300;      // START_PENDING
    sys::Dword stopPendingTime = 300;  // STOP_PENDING
    bool disabled = false;
    bool refusesStop = false;
    bool neverStarts = false;
    bool queryFails = false;
    bool exitsAtOnce = false;
    bool everStarted = false;
    int starts = 0;
    int stops = 0;
    int queries = 0;
};

struct ScHandleRecord {
    bool manager = false;
    std::string service;  // lower-case name of the service
    sys::Dword granted = 0;
};

struct Manager {
    std::mutex mu;
    std::map<std::string, Service> services;  // by lower-case name
    std::map<std::uintptr_t, ScHandleRecord> handles;
    std::uintptr_t nextHandle = 0x2000;
    std::vector<std::string> started;  // reached RUNNING; the rest of the machine not yet told
};

Manager& S() {
    static Manager manager;
    return manager;
}

// Tells the rest of the machine (the spooler reads its registry keys when it starts) about the
// services a call brought to RUNNING, once the manager's lock is released.
class StartNotices {
  public:
    StartNotices() = default;
    StartNotices(const StartNotices&) = delete;
    StartNotices& operator=(const StartNotices&) = delete;
    ~StartNotices() {
        std::vector<std::string> started;
        {
            std::lock_guard lock(S().mu);
            started.swap(S().started);
        }
        for (const auto& name : started) {
            sim::detail::ServiceStarted(name);
        }
    }
};

// Runs f on the named service under the manager's lock.
template <typename F>
auto With(const std::string& name, F f) {
    std::lock_guard lock(S().mu);
    auto it = S().services.find(Lower(name));
    if (it == S().services.end()) {
        throw std::invalid_argument("no such simulated service: " + name);
    }
    return f(it->second);
}

void Enter(Service& service, State state) {
    service.state = state;
    service.since = sim::Now();
    if (state != State::Stopped) {
        service.everStarted = true;
    }
}

sys::Dword PendingTime(const Service& service) {
    return service.state == State::StopPending ? service.stopPendingTime : service.pendingTime;
}

// A pending state ends once its time has passed on the simulated clock, unless the service is
// set to hang in it.
void Settle(Service& service) {
    if (sim::Now() - service.since < PendingTime(service)) {
        return;
    }
    if (service.state == State::StartPending && !service.neverStarts) {
        Enter(service, State::Running);
        S().started.push_back(service.name);
    } else if (service.state == State::StopPending && !service.refusesStop) {
        Enter(service, State::Stopped);
    }
}

void Fill(const Service& service, sys::SERVICE_STATUS* status) {
    if (status == nullptr) {
        return;
    }
    const bool pending =
        service.state == State::StartPending || service.state == State::StopPending;
    *status = sys::SERVICE_STATUS{};
    status->dwServiceType = kOwnProcess;
    status->dwCurrentState = static_cast<sys::Dword>(service.state);
    status->dwControlsAccepted = service.state == State::Running ? kAcceptStop : 0;
    // 1077: a stopped service that was never started since the machine came up says so.
    status->dwWin32ExitCode =
        service.state == State::Stopped && !service.everStarted ? kErrorServiceNeverStarted : 0;
    status->dwCheckPoint = pending ? 1 + (sim::Now() - service.since) / 100 : 0;
    status->dwWaitHint = pending ? PendingTime(service) : 0;
}

sys::Dword MapServiceAccess(sys::Dword access) {
    sys::Dword mapped =
        access & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed);
    if (access & kGenericRead) {
        mapped |= 0x2008D;  // query config and status, interrogate, enumerate dependents
    }
    if (access & kGenericWrite) {
        mapped |= 0x20002;  // change config
    }
    if (access & kGenericExecute) {
        mapped |= 0x20170;  // start, stop, pause and continue, user-defined controls
    }
    if (access & (kGenericAll | kMaximumAllowed)) {
        mapped |= sys::svc::AllAccess;
    }
    return mapped;
}

// The service behind a service handle; the last error set and null when there is none.
Service* ServiceFor(sys::ServiceHandle handle, ScHandleRecord** record = nullptr) {
    auto it = S().handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == S().handles.end() || it->second.manager) {
        sys::SetLastError(sys::err::InvalidHandle);
        return nullptr;
    }
    auto service = S().services.find(it->second.service);
    if (service == S().services.end()) {
        sys::SetLastError(sys::err::InvalidHandle);  // removed by a reset while still open
        return nullptr;
    }
    if (record != nullptr) {
        *record = &it->second;
    }
    return &service->second;
}

sys::ServiceHandle NewHandle(ScHandleRecord record) {
    const std::uintptr_t value = S().nextHandle;
    S().nextHandle += 8;
    sim::trace::Name(sim::trace::Kind::Service, reinterpret_cast<void*>(value), [&] {
        return record.manager ? "SCM" : "service " + sim::trace::Q(record.service);
    });
    S().handles[value] = std::move(record);
    return reinterpret_cast<sys::ServiceHandle>(value);
}

// Counts the call; true (with the last error set) when a failure is injected into it.
bool Injected(const char* call) {
    sim::CountCall(call);
    return sim::ShouldFail(call);
}

}  // namespace

namespace sim::detail {

void ResetServices() {
    std::lock_guard lock(S().mu);
    S().services.clear();
    S().handles.clear();
    S().started.clear();
    Service spooler;
    spooler.name = "Spooler";
    Enter(spooler, State::Running);
    spooler.everStarted = true;
    S().services["spooler"] = spooler;
}

std::function<void()> SaveServices() {
    std::lock_guard lock(S().mu);
    auto services = S().services;
    return [services] {
        std::lock_guard lock(S().mu);
        S().services = services;
    };
}
}  // namespace sim::detail

namespace sys {

ServiceHandle OpenSCManagerA(const char* /*machineName*/, const char* databaseName, Dword access) {
    tr::Call trace("OpenSCManagerA",
                   [&] { return tr::Args(tr::Q(databaseName), tr::Hex(access)); });
    if (Injected("OpenSCManagerA")) {
        return nullptr;
    }
    // Only the active database is there. "ServicesFailed" names one that does not exist (1065);
    // any other name is no database name at all (123).
    const std::string database = databaseName == nullptr ? "" : Lower(databaseName);
    if (database == "servicesfailed") {
        SetLastError(kErrorDatabaseDoesNotExist);
        return nullptr;
    }
    if (!database.empty() && database != "servicesactive") {
        SetLastError(kErrorInvalidName);
        return nullptr;
    }
    std::lock_guard lock(S().mu);
    return NewHandle(ScHandleRecord{true, {}, access});
}

ServiceHandle OpenServiceA(ServiceHandle manager, const char* serviceName, Dword access) {
    tr::Call trace("OpenServiceA", [&] {
        return tr::Args(tr::H(tr::Kind::Service, manager), tr::Q(serviceName), tr::Hex(access));
    });
    if (Injected("OpenServiceA")) {
        return nullptr;
    }
    std::lock_guard lock(S().mu);
    auto it = S().handles.find(reinterpret_cast<std::uintptr_t>(manager));
    if (it == S().handles.end() || !it->second.manager) {
        SetLastError(err::InvalidHandle);
        return nullptr;
    }
    // 123: an empty name, or one with a slash or backslash, is no service name.
    if (serviceName == nullptr || *serviceName == '\0' ||
        std::string_view(serviceName).find_first_of("/\\") != std::string_view::npos) {
        SetLastError(kErrorInvalidName);
        return nullptr;
    }
    // 1060: only the key name finds a service, not its display name.
    const std::string key = Lower(serviceName);
    if (S().services.count(key) == 0) {
        SetLastError(err::ServiceDoesNotExist);
        return nullptr;
    }
    return NewHandle(ScHandleRecord{false, key, MapServiceAccess(access)});
}

namespace {

// A call on one service: counted, failed when injected, 6 for a handle that names no service;
// else f(service, handle record) under the lock, the start notices sent after it.
template <class F>
int OnService(const char* call, ServiceHandle service, F f) {
    if (Injected(call)) {
        return 0;
    }
    StartNotices notices;
    std::lock_guard lock(S().mu);
    ScHandleRecord* record = nullptr;
    Service* target = ServiceFor(service, &record);
    if (target == nullptr) {
        return 0;
    }
    return f(*target, *record);
}

}  // namespace

int QueryServiceStatus(ServiceHandle service, SERVICE_STATUS* status) {
    tr::Call trace("QueryServiceStatus", [&] { return tr::H(tr::Kind::Service, service); });
    trace.Out([=] { return tr::Of(status); });
    return OnService("QueryServiceStatus", service, [status](Service& target, auto& record) {
        ++target.queries;
        if ((record.granted & svc::QueryStatus) == 0 || target.queryFails) {
            SetLastError(err::AccessDenied);
            return 0;
        }
        if (status == nullptr) {
            SetLastError(err::RpcNullRefPointer);
            return 0;
        }
        Settle(target);
        Fill(target, status);
        return 1;
    });
}

int ControlService(ServiceHandle service, Dword control, SERVICE_STATUS* status) {
    tr::Call trace("ControlService", [&] {
        return tr::Args(tr::H(tr::Kind::Service, service), std::to_string(control));
    });
    trace.Out([=] { return tr::Of(status); });
    return OnService("ControlService", service, [control, status](Service& target, auto& record) {
        if (control != svc::ControlStop && control != kControlInterrogate) {
            SetLastError(kErrorInvalidServiceControl);  // 1052: a control we do not model
            Fill(target, status);
            return 0;
        }
        if (control == svc::ControlStop) {
            ++target.stops;
        }
        const Dword needed = control == svc::ControlStop ? svc::Stop : kInterrogate;
        if ((record.granted & needed) == 0) {
            SetLastError(err::AccessDenied);
            return 0;
        }
        Settle(target);
        if (target.state == State::Stopped) {
            SetLastError(err::ServiceNotActive);  // 1062, with the record filled in all the same
            Fill(target, status);
            return 0;
        }
        if (target.state != State::Running) {
            // 1061: a pending service takes no controls.
            SetLastError(err::ServiceCannotAcceptControl);
            Fill(target, status);
            return 0;
        }
        if (control == svc::ControlStop) {
            Enter(target, State::StopPending);
        }
        Fill(target, status);
        return 1;
    });
}

int StartServiceA(ServiceHandle service, Dword argc, const char** /*argv*/) {
    tr::Call trace("StartServiceA", [&] {
        return tr::Args(tr::H(tr::Kind::Service, service), std::to_string(argc));
    });
    return OnService("StartServiceA", service, [](Service& target, auto& record) {
        ++target.starts;
        if ((record.granted & svc::Start) == 0) {
            SetLastError(err::AccessDenied);
            return 0;
        }
        if (target.disabled) {
            SetLastError(err::ServiceDisabled);  // 1058
            return 0;
        }
        Settle(target);
        if (target.state != State::Stopped) {
            SetLastError(err::ServiceAlreadyRunning);  // 1056, pending states included
            return 0;
        }
        if (target.exitsAtOnce) {
            // 1053: the process ended before it reported to the manager; the service stays stopped.
            target.everStarted = true;
            SetLastError(err::ServiceRequestTimeout);
            return 0;
        }
        Enter(target, State::StartPending);
        return 1;
    });
}

int CloseServiceHandle(ServiceHandle handle) {
    tr::Call trace("CloseServiceHandle", [&] { return tr::H(tr::Kind::Service, handle); });
    if (Injected("CloseServiceHandle")) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    if (S().handles.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) {
        SetLastError(err::InvalidHandle);
        return 0;
    }
    return 1;
}

}  // namespace sys

namespace sim::service {

void Add(const std::string& name, State state) {
    std::lock_guard lock(S().mu);
    Service service;
    service.name = name;
    Enter(service, state);
    S().services[Lower(name)] = service;
}

void SetState(const std::string& name, State state) {
    With(name, [&](Service& s) { Enter(s, state); });
}

State GetState(const std::string& name) {
    StartNotices notices;
    return With(name, [](Service& s) {
        Settle(s);
        return s.state;
    });
}

void SetPendingTime(const std::string& name, sys::Dword milliseconds) {
    With(name, [&](Service& s) { s.pendingTime = s.stopPendingTime = milliseconds; });
}

void SetStopPendingTime(const std::string& name, sys::Dword milliseconds) {
    With(name, [&](Service& s) { s.stopPendingTime = milliseconds; });
}

void SetDisabled(const std::string& name, bool disabled) {
    With(name, [&](Service& s) { s.disabled = disabled; });
}

void SetRefusesStop(const std::string& name, bool refuses) {
    With(name, [&](Service& s) { s.refusesStop = refuses; });
}

void SetNeverStarts(const std::string& name, bool neverStarts) {
    With(name, [&](Service& s) { s.neverStarts = neverStarts; });
}

void SetQueryFails(const std::string& name, bool fails) {
    With(name, [&](Service& s) { s.queryFails = fails; });
}

void SetExitsAtOnce(const std::string& name, bool exits) {
    With(name, [&](Service& s) { s.exitsAtOnce = exits; });
}

int StartRequests(const std::string& name) {
    return With(name, [](Service& s) { return s.starts; });
}

int StopRequests(const std::string& name) {
    return With(name, [](Service& s) { return s.stops; });
}

int QueryCount(const std::string& name) {
    return With(name, [](Service& s) { return s.queries; });
}

int OpenHandleCount() {
    std::lock_guard lock(S().mu);
    return static_cast<int>(S().handles.size());
}

}  // namespace sim::service
