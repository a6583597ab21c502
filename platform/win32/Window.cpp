// The Win32 back end of the window layer: dialogs from the resource templates, controls
// driven by their messages.
#include <windows.h>
// windows.h first: commctrl.h builds on it.
#include <commctrl.h>

#include <vector>

#include "platform/Backend.h"

static_assert(ui::wm::InitDialog == WM_INITDIALOG && ui::wm::Command == WM_COMMAND);
static_assert(ui::wm::Timer == WM_TIMER && ui::wm::Close == WM_CLOSE);
static_assert(ui::wm::Destroy == WM_DESTROY && ui::wm::User == WM_USER);
static_assert(ui::mb::RetryCancel == MB_RETRYCANCEL &&
              ui::mb::IconInformation == MB_ICONINFORMATION);
static_assert(ui::id::Retry == IDRETRY && ui::id::No == IDNO);
static_assert(ui::notify::ComboSelChange == CBN_SELCHANGE);
static_assert(ui::ListView::StateSelected == LVIS_SELECTED);
static_assert(ui::ListView::ExFullRowSelect == LVS_EX_FULLROWSELECT);

namespace {

HWND H(ui::WindowHandle handle) {
    return static_cast<HWND>(handle);
}
HWND Item(ui::WindowHandle dialog, int id) {
    return ::GetDlgItem(H(dialog), id);
}

LRESULT SendItem(ui::WindowHandle dialog, int id, UINT message, WPARAM wParam = 0,
                 LPARAM lParam = 0) {
    return ::SendDlgItemMessageA(H(dialog), id, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        reinterpret_cast<ui::Dialog*>(lParam)->Attach(hwnd);
    }
    auto* dialog = reinterpret_cast<ui::Dialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    ui::LResult result = 0;
    const bool handled = dialog->Dispatch(message, wParam, lParam, result);
    if (message == WM_INITDIALOG) {
        return result;
    }
    if (message == WM_DESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    }
    if (handled) {
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

std::string TextOf(HWND window) {
    if (window == nullptr) {
        return {};
    }
    const int length = ::GetWindowTextLengthA(window);
    std::vector<char> buffer(static_cast<size_t>(length) + 2, '\0');
    const int n = ::GetWindowTextA(window, buffer.data(), length + 1);
    return std::string(buffer.data(), static_cast<size_t>(n > 0 ? n : 0));
}

}  // namespace

namespace ui {

unsigned RegisterWindowMessageA(const char* name) {
    return ::RegisterWindowMessageA(name);
}

int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                unsigned flags) {
    return ::MessageBoxA(H(owner), text.c_str(), caption.c_str(), flags);
}

}  // namespace ui

namespace ui::backend {

std::intptr_t RunModal(Dialog& dialog, int templateId, WindowHandle owner) {
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), H(owner),
                             &DialogProc, reinterpret_cast<LPARAM>(&dialog));
}

void EndDialog(WindowHandle dialog, std::intptr_t result) {
    ::EndDialog(H(dialog), result);
}

LResult Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    return ::SendMessageA(H(window), message, wParam, lParam);
}

bool WaitForThread(WindowHandle, sys::Thread& thread, sys::Dword milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (thread.Wait(0)) {
            return true;
        }
        if (::GetTickCount() - start >= milliseconds) {
            return false;
        }
        // Messages sent from other threads are handled inside PeekMessage.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

std::string GetItemText(WindowHandle dialog, int id) {
    return TextOf(Item(dialog, id));
}

void SetItemText(WindowHandle dialog, int id, const std::string& text) {
    ::SetDlgItemTextA(H(dialog), id, text.c_str());
}

bool EnableItem(WindowHandle dialog, int id, bool enable) {
    return ::EnableWindow(Item(dialog, id), enable ? TRUE : FALSE) != 0;
}

bool IsItemEnabled(WindowHandle dialog, int id) {
    return ::IsWindowEnabled(Item(dialog, id)) != 0;
}

int GetCheck(WindowHandle dialog, int id) {
    return static_cast<int>(::IsDlgButtonChecked(H(dialog), id));
}

void SetCheck(WindowHandle dialog, int id, int state) {
    ::CheckDlgButton(H(dialog), id, static_cast<UINT>(state));
}

bool SetTimer(WindowHandle dialog, std::uintptr_t timerId, unsigned milliseconds) {
    return ::SetTimer(H(dialog), timerId, milliseconds, nullptr) != 0;
}

bool KillTimer(WindowHandle dialog, std::uintptr_t timerId) {
    return ::KillTimer(H(dialog), timerId) != 0;
}

int ProgressSetPos(WindowHandle dialog, int id, int position) {
    return static_cast<int>(SendItem(dialog, id, PBM_SETPOS, static_cast<WPARAM>(position)));
}

int ProgressGetPos(WindowHandle dialog, int id) {
    return static_cast<int>(SendItem(dialog, id, PBM_GETPOS));
}

void ComboReset(WindowHandle dialog, int id) {
    SendItem(dialog, id, CB_RESETCONTENT);
}

int ComboAdd(WindowHandle dialog, int id, const std::string& text) {
    return static_cast<int>(
        SendItem(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboSetCurSel(WindowHandle dialog, int id, int index) {
    return static_cast<int>(SendItem(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index)));
}

int ComboGetCurSel(WindowHandle dialog, int id) {
    return static_cast<int>(SendItem(dialog, id, CB_GETCURSEL));
}

int ComboCount(WindowHandle dialog, int id) {
    return static_cast<int>(SendItem(dialog, id, CB_GETCOUNT));
}

std::string ComboText(WindowHandle dialog, int id, int index) {
    const LRESULT length = SendItem(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length == CB_ERR) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    SendItem(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index),
             reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
}

bool ListDeleteAllItems(WindowHandle dialog, int id) {
    return SendItem(dialog, id, LVM_DELETEALLITEMS) != 0;
}

int ListColumnCount(WindowHandle dialog, int id) {
    HWND header = reinterpret_cast<HWND>(SendItem(dialog, id, LVM_GETHEADER));
    return header == nullptr ? 0 : static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

bool ListDeleteColumn(WindowHandle dialog, int id, int column) {
    return SendItem(dialog, id, LVM_DELETECOLUMN, static_cast<WPARAM>(column)) != 0;
}

unsigned ListGetExtendedStyle(WindowHandle dialog, int id) {
    return static_cast<unsigned>(SendItem(dialog, id, LVM_GETEXTENDEDLISTVIEWSTYLE));
}

void ListSetExtendedStyle(WindowHandle dialog, int id, unsigned style) {
    SendItem(dialog, id, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int ListInsertColumn(WindowHandle dialog, int id, int column, const std::string& heading,
                     int width) {
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = width;
    col.pszText = const_cast<char*>(heading.c_str());
    col.iSubItem = column;
    return static_cast<int>(SendItem(dialog, id, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                                     reinterpret_cast<LPARAM>(&col)));
}

bool ListSetColumnWidth(WindowHandle dialog, int id, int column, int width) {
    return SendItem(dialog, id, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                    MAKELPARAM(width, 0)) != 0;
}

int ListInsertItem(WindowHandle dialog, int id, int index, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(
        SendItem(dialog, id, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListSetItemText(WindowHandle dialog, int id, int index, int subItem, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text.c_str());
    return SendItem(dialog, id, LVM_SETITEMTEXTA, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string ListGetItemText(WindowHandle dialog, int id, int index, int subItem) {
    std::vector<char> buffer(1024, '\0');
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    SendItem(dialog, id, LVM_GETITEMTEXTA, static_cast<WPARAM>(index),
             reinterpret_cast<LPARAM>(&item));
    return std::string(buffer.data());
}

bool ListSetItemState(WindowHandle dialog, int id, int index, unsigned state, unsigned mask) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return SendItem(dialog, id, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&item)) != 0;
}

unsigned ListGetItemState(WindowHandle dialog, int id, int index, unsigned mask) {
    return static_cast<unsigned>(
        SendItem(dialog, id, LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
}

int ListItemCount(WindowHandle dialog, int id) {
    return static_cast<int>(SendItem(dialog, id, LVM_GETITEMCOUNT));
}

}  // namespace ui::backend
