// Waiting and the millisecond clock.
#pragma once

#include "platform/Types.h"

namespace sys {

void Sleep(Dword milliseconds);
Dword GetTickCount();

}  // namespace sys
