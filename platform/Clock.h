// Waiting and the millisecond clock.
#pragma once

#include "platform/Types.h"

namespace sys {

// SYSTEMTIME's fields, in local time.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

void Sleep(Dword milliseconds);
LocalTime GetLocalTime();
Dword GetTickCount();

}  // namespace sys
