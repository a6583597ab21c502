// WinMain: the DLL search restricted first, common controls next, then the program.
#include <windows.h>
// windows.h first: commctrl.h builds on it.
#include <commctrl.h>

#include "platform/Entry.h"
#include "platform/Library.h"

namespace {

// COMCTL32 is not a known DLL: imported, a copy beside the program would be loaded first. By
// its bare name the manifest still picks version 6.
void StartCommonControls() {
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = reinterpret_cast<InitFn>(
        sys::GetProcAddress(sys::LoadSystemLibraryA("comctl32.dll"), "InitCommonControlsEx"));
    if (init != nullptr) {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES |
                                                                        ICC_PROGRESS_CLASS |
                                                                        ICC_STANDARD_CLASSES};
        init(&controls);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    // Elevated, the program must not load a DLL a standard user planted beside it, in the
    // current directory or on PATH: from here on, bare names come from the system directory.
    sys::SetDefaultDllDirectories(sys::dlldir::System32);
    StartCommonControls();
    return AppMain(arguments != nullptr ? arguments : "");
}
