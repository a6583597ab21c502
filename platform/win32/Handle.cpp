// Win32 back end of CloseHandle.
#include <windows.h>

#include "platform/Handle.h"

namespace sys {

int CloseHandle(void* handle) {
    return ::CloseHandle(handle);
}

}  // namespace sys
