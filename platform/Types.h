// Win32-shaped values shared by the logic and both back ends (no windows.h here).
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define SYS_WINAPI __attribute__((stdcall))
#else
#define SYS_WINAPI
#endif

namespace sys {

using Dword = std::uint32_t;
using WindowHandle = void*;  // an HWND; null means no window

// System error codes the logic tests for.
namespace err {
constexpr Dword Success = 0;
constexpr Dword FileNotFound = 2;
constexpr Dword PathNotFound = 3;
constexpr Dword AccessDenied = 5;
constexpr Dword InvalidHandle = 6;
constexpr Dword NotSupported = 50;
constexpr Dword AdapHdwErr = 57;
constexpr Dword InvalidParameter = 87;
constexpr Dword CallNotImplemented = 120;
constexpr Dword InsufficientBuffer = 122;
constexpr Dword InvalidLevel = 124;
constexpr Dword ModNotFound = 126;
constexpr Dword ProcNotFound = 127;
constexpr Dword DirNotEmpty = 145;
constexpr Dword BadPathname = 161;
constexpr Dword AlreadyExists = 183;
constexpr Dword BadExeFormat = 193;
constexpr Dword MoreData = 234;
constexpr Dword NoMoreItems = 259;
constexpr Dword OperationAborted = 995;
constexpr Dword IoPending = 997;
constexpr Dword ChildMustBeVolatile = 1021;
constexpr Dword ServiceRequestTimeout = 1053;
constexpr Dword ServiceAlreadyRunning = 1056;
constexpr Dword ServiceDisabled = 1058;
constexpr Dword ServiceDoesNotExist = 1060;
constexpr Dword ServiceCannotAcceptControl = 1061;
constexpr Dword ServiceNotActive = 1062;
constexpr Dword Cancelled = 1223;
constexpr Dword NotAllAssigned = 1300;
constexpr Dword NoSuchPrivilege = 1313;
constexpr Dword InvalidWindowHandle = 1400;
constexpr Dword RpcNullRefPointer = 1780;
constexpr Dword UnknownPort = 1796;
constexpr Dword UnknownPrinterDriver = 1797;
constexpr Dword InvalidPrinterName = 1801;
constexpr Dword PrinterAlreadyExists = 1802;
constexpr Dword InvalidEnvironment = 1805;
constexpr Dword UnknownPrintMonitor = 3000;
constexpr Dword PrinterDriverInUse = 3001;
constexpr Dword PrintMonitorAlreadyInstalled = 3006;
}  // namespace err

// The calling thread's last error, as GetLastError/SetLastError.
Dword GetLastError();
void SetLastError(Dword code);

}  // namespace sys
