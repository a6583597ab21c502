// Kernel handles (tokens, events, serial ports): CloseHandle and their owner.
#pragma once

#include "platform/Owned.h"
#include "platform/Types.h"

namespace sys {

// BOOL result; 6 (ERROR_INVALID_HANDLE) for a handle that is not open.
int CloseHandle(void* handle);

// A kernel handle closed when it goes out of scope.
using Handle = Owned<CloseHandle>;

}  // namespace sys
