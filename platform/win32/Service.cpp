// Win32 back end of the service control manager calls.
#include <windows.h>

#include <cstddef>

#include "platform/Service.h"

namespace sys {

static_assert(sizeof(SERVICE_STATUS) == sizeof(::SERVICE_STATUS));
static_assert(offsetof(SERVICE_STATUS, dwCurrentState) ==
              offsetof(::SERVICE_STATUS, dwCurrentState));
static_assert(offsetof(SERVICE_STATUS, dwWin32ExitCode) ==
              offsetof(::SERVICE_STATUS, dwWin32ExitCode));
static_assert(offsetof(SERVICE_STATUS, dwWaitHint) == offsetof(::SERVICE_STATUS, dwWaitHint));
static_assert(svc::ManagerAllAccess == SC_MANAGER_ALL_ACCESS &&
              svc::AllAccess == SERVICE_ALL_ACCESS && svc::QueryStatus == SERVICE_QUERY_STATUS &&
              svc::Start == SERVICE_START && svc::Stop == SERVICE_STOP &&
              svc::ControlStop == SERVICE_CONTROL_STOP && svc::Stopped == SERVICE_STOPPED &&
              svc::StartPending == SERVICE_START_PENDING &&
              svc::StopPending == SERVICE_STOP_PENDING && svc::Running == SERVICE_RUNNING);

namespace {
SC_HANDLE H(ServiceHandle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}
::SERVICE_STATUS* S(SERVICE_STATUS* status) {
    return reinterpret_cast<::SERVICE_STATUS*>(status);
}
}  // namespace

ServiceHandle OpenSCManagerA(const char* machineName, const char* databaseName, Dword access) {
    return ::OpenSCManagerA(machineName, databaseName, access);
}

ServiceHandle OpenServiceA(ServiceHandle manager, const char* serviceName, Dword access) {
    return ::OpenServiceA(H(manager), serviceName, access);
}

int QueryServiceStatus(ServiceHandle service, SERVICE_STATUS* status) {
    return ::QueryServiceStatus(H(service), S(status));
}

int ControlService(ServiceHandle service, Dword control, SERVICE_STATUS* status) {
    return ::ControlService(H(service), control, S(status));
}

int StartServiceA(ServiceHandle service, Dword argc, const char** argv) {
    return ::StartServiceA(H(service), argc, argv);
}

int CloseServiceHandle(ServiceHandle handle) {
    return ::CloseServiceHandle(H(handle));
}

}  // namespace sys
