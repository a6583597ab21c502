// What each back end supplies to the window layer (Window.cpp builds the classes on it).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Window.h"

namespace ui::backend {

// Creates the dialog from its template (owner may be null), sends WM_INITDIALOG through
// dialog.Dispatch, runs the modal loop until EndDialog, destroys the window (WM_DESTROY is
// dispatched) and returns the EndDialog result; -1 when the window could not be created.
std::intptr_t RunModal(Dialog& dialog, int templateId, WindowHandle owner);
void EndDialog(WindowHandle dialog, std::intptr_t result);
LResult Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam);

bool WaitForThread(WindowHandle dialog, sys::Thread& thread, sys::Dword milliseconds);

std::string GetItemText(WindowHandle dialog, int id);
void SetItemText(WindowHandle dialog, int id, const std::string& text);
bool EnableItem(WindowHandle dialog, int id, bool enable);  // previous state: true if disabled
bool IsItemEnabled(WindowHandle dialog, int id);
int GetCheck(WindowHandle dialog, int id);
void SetCheck(WindowHandle dialog, int id, int state);
bool SetTimer(WindowHandle dialog, std::uintptr_t timerId, unsigned milliseconds);
bool KillTimer(WindowHandle dialog, std::uintptr_t timerId);

int ProgressSetPos(WindowHandle dialog, int id, int position);
int ProgressGetPos(WindowHandle dialog, int id);

void ComboReset(WindowHandle dialog, int id);
int ComboAdd(WindowHandle dialog, int id, const std::string& text);
int ComboSetCurSel(WindowHandle dialog, int id, int index);
int ComboGetCurSel(WindowHandle dialog, int id);
int ComboCount(WindowHandle dialog, int id);
std::string ComboText(WindowHandle dialog, int id, int index);

bool ListDeleteAllItems(WindowHandle dialog, int id);
int ListColumnCount(WindowHandle dialog, int id);
bool ListDeleteColumn(WindowHandle dialog, int id, int column);
unsigned ListGetExtendedStyle(WindowHandle dialog, int id);
void ListSetExtendedStyle(WindowHandle dialog, int id, unsigned style);
int ListInsertColumn(WindowHandle dialog, int id, int column, const std::string& heading,
                     int width);
bool ListSetColumnWidth(WindowHandle dialog, int id, int column, int width);
int ListInsertItem(WindowHandle dialog, int id, int index, const std::string& text);
bool ListSetItemText(WindowHandle dialog, int id, int index, int subItem, const std::string& text);
std::string ListGetItemText(WindowHandle dialog, int id, int index, int subItem);
bool ListSetItemState(WindowHandle dialog, int id, int index, unsigned state, unsigned mask);
unsigned ListGetItemState(WindowHandle dialog, int id, int index, unsigned mask);
int ListItemCount(WindowHandle dialog, int id);

}  // namespace ui::backend
