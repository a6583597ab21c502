// WinMain: common controls first, then the program.
#include <windows.h>
// windows.h first: commctrl.h builds on it.
#include <commctrl.h>

#include "platform/Entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    return AppMain(arguments != nullptr ? arguments : "");
}
