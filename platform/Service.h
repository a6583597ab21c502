// Service control manager calls (advapi32), with service handles closed by RAII.
#pragma once

#include "platform/Owned.h"
#include "platform/Types.h"

namespace sys {

using ServiceHandle = void*;  // an SC_HANDLE

namespace svc {
constexpr Dword ManagerAllAccess = 0xF003F;  // SC_MANAGER_ALL_ACCESS
constexpr Dword AllAccess = 0xF01FF;         // SERVICE_ALL_ACCESS
constexpr Dword QueryStatus = 0x0004;        // SERVICE_QUERY_STATUS
constexpr Dword Start = 0x0010;              // SERVICE_START
constexpr Dword Stop = 0x0020;               // SERVICE_STOP
constexpr Dword ControlStop = 1;             // SERVICE_CONTROL_STOP
constexpr Dword Stopped = 1;                 // SERVICE_STOPPED
constexpr Dword StartPending = 2;
constexpr Dword StopPending = 3;
constexpr Dword Running = 4;
}  // namespace svc

struct SERVICE_STATUS {
    Dword dwServiceType = 0;
    Dword dwCurrentState = 0;
    Dword dwControlsAccepted = 0;
    Dword dwWin32ExitCode = 0;
    Dword dwServiceSpecificExitCode = 0;
    Dword dwCheckPoint = 0;
    Dword dwWaitHint = 0;
};

// Null on failure, with the last error set.
ServiceHandle OpenSCManagerA(const char* machineName, const char* databaseName, Dword access);
ServiceHandle OpenServiceA(ServiceHandle manager, const char* serviceName, Dword access);
// BOOL results, with the last error set on failure.
int QueryServiceStatus(ServiceHandle service, SERVICE_STATUS* status);
int ControlService(ServiceHandle service, Dword control, SERVICE_STATUS* status);
int StartServiceA(ServiceHandle service, Dword argc, const char** argv);
int CloseServiceHandle(ServiceHandle handle);

// A service or manager handle closed when it goes out of scope.
using ScHandle = Owned<&CloseServiceHandle>;

}  // namespace sys
