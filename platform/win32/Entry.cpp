// WinMain: the DLL search restricted first, common controls next, then the program.
#include <windows.h>
// windows.h first: commctrl.h builds on it.
#include <commctrl.h>

#include "platform/Entry.h"

namespace {

constexpr DWORD kSearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS

// Elevated, the program must not load a DLL a standard user planted in the current directory
// or a folder on PATH: from here on, DLLs come from the program's folder and the system
// directory only. Looked up at run time: Windows 7 without KB2533623 lacks the call (127).
void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict != nullptr) {
        restrict(kSearchDefaultDirs);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    return AppMain();
}
