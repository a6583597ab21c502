// Win32 back end: last error and the millisecond clock.
#include <windows.h>

#include "platform/Clock.h"
#include "platform/Types.h"

static_assert(sys::err::UnknownPort == ERROR_UNKNOWN_PORT);
static_assert(sys::err::NoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(sys::err::PrintMonitorAlreadyInstalled == ERROR_PRINT_MONITOR_ALREADY_INSTALLED);

namespace sys {

Dword GetLastError() {
    return ::GetLastError();
}
void SetLastError(Dword code) {
    ::SetLastError(code);
}

void Sleep(Dword milliseconds) {
    ::Sleep(milliseconds);
}
LocalTime GetLocalTime() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}
Dword GetTickCount() {
    return ::GetTickCount();
}

}  // namespace sys
