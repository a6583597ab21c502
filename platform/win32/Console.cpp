// Win32 back end of the console text.
#include <windows.h>

#include "platform/Console.h"

namespace sys {

bool WriteConsoleText(const std::string& text) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    bool attached = false;
    // A GUI program started from a console has no standard output of its own.
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        attached = true;
        out = ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
    }
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
    if (attached) {
        ::CloseHandle(out);
    }
    return ok;
}

}  // namespace sys
