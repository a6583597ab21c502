// Internal to the sim back end: the process's handle table, shared by every kind of kernel object
// (tokens, events, serial ports), so that one CloseHandle closes any of them.
#pragma once

#include <functional>

#include "platform/Types.h"

namespace sim::detail {

enum class HandleKind { Token, Event, SerialPort, File };

// A new handle value of the kind; `onClose` runs (without the table's lock) when CloseHandle
// closes it. Values are never null and never INVALID_HANDLE_VALUE, and are not reused until Reset.
void* NewHandle(HandleKind kind, std::function<void(void*)> onClose);
bool IsHandle(void* handle, HandleKind kind);
int OpenHandleCount(HandleKind kind);

void ResetHandles();

}  // namespace sim::detail
