// The back-end independent half of the window layer: message dispatch and data exchange.
#include "platform/Window.h"

#include "platform/Backend.h"

namespace ui {

void DataExchange::Control(int id, class Control& control) {
    control.Bind(dialog_.Handle(), id);
}

void DataExchange::Check(int id, int& value) {
    if (save_) {
        value = backend::GetCheck(dialog_.Handle(), id);
    } else {
        backend::SetCheck(dialog_.Handle(), id, value);
    }
}

void DataExchange::Text(int id, std::string& value) {
    if (save_) {
        value = backend::GetItemText(dialog_.Handle(), id);
    } else {
        backend::SetItemText(dialog_.Handle(), id, value);
    }
}

std::string Control::GetWindowTextA() const {
    return backend::GetItemText(dialog_, id_);
}
void Control::SetWindowTextA(const std::string& text) {
    backend::SetItemText(dialog_, id_, text);
}
bool Control::EnableWindow(bool enable) {
    return backend::EnableItem(dialog_, id_, enable);
}
bool Control::IsWindowEnabled() const {
    return backend::IsItemEnabled(dialog_, id_);
}

int ProgressBar::SetPos(int position) {
    return backend::ProgressSetPos(dialog_, id_, position);
}
int ProgressBar::GetPos() const {
    return backend::ProgressGetPos(dialog_, id_);
}

void ComboBox::ResetContent() {
    backend::ComboReset(dialog_, id_);
}
int ComboBox::AddString(const std::string& text) {
    return backend::ComboAdd(dialog_, id_, text);
}
int ComboBox::SetCurSel(int index) {
    return backend::ComboSetCurSel(dialog_, id_, index);
}
int ComboBox::GetCurSel() const {
    return backend::ComboGetCurSel(dialog_, id_);
}
int ComboBox::GetCount() const {
    return backend::ComboCount(dialog_, id_);
}
std::string ComboBox::GetLBText(int index) const {
    return backend::ComboText(dialog_, id_, index);
}

bool ListView::DeleteAllItems() {
    return backend::ListDeleteAllItems(dialog_, id_);
}
int ListView::GetColumnCount() const {
    return backend::ListColumnCount(dialog_, id_);
}
bool ListView::DeleteColumn(int column) {
    return backend::ListDeleteColumn(dialog_, id_, column);
}
unsigned ListView::GetExtendedStyle() const {
    return backend::ListGetExtendedStyle(dialog_, id_);
}
void ListView::SetExtendedStyle(unsigned style) {
    backend::ListSetExtendedStyle(dialog_, id_, style);
}
int ListView::InsertColumn(int column, const std::string& heading, int width) {
    return backend::ListInsertColumn(dialog_, id_, column, heading, width);
}
bool ListView::SetColumnWidth(int column, int width) {
    return backend::ListSetColumnWidth(dialog_, id_, column, width);
}
int ListView::InsertItem(int index, const std::string& text) {
    return backend::ListInsertItem(dialog_, id_, index, text);
}
bool ListView::SetItemText(int index, int subItem, const std::string& text) {
    return backend::ListSetItemText(dialog_, id_, index, subItem, text);
}
std::string ListView::GetItemText(int index, int subItem) const {
    return backend::ListGetItemText(dialog_, id_, index, subItem);
}
bool ListView::SetItemState(int index, unsigned state, unsigned mask) {
    return backend::ListSetItemState(dialog_, id_, index, state, mask);
}
unsigned ListView::GetItemState(int index, unsigned mask) const {
    return backend::ListGetItemState(dialog_, id_, index, mask);
}
int ListView::GetItemCount() const {
    return backend::ListItemCount(dialog_, id_);
}

Dialog::Dialog(int templateId, WindowHandle owner) : templateId_(templateId), owner_(owner) {}
Dialog::~Dialog() = default;

std::intptr_t Dialog::DoModal() {
    std::intptr_t result = backend::RunModal(*this, templateId_, owner_);
    handle_ = nullptr;
    return result;
}

void Dialog::EndDialog(std::intptr_t result) {
    backend::EndDialog(handle_, result);
}

bool Dialog::UpdateData(bool saveAndValidate) {
    DataExchange exchange(*this, saveAndValidate);
    DoDataExchange(exchange);
    return true;
}

LResult Dialog::SendMessageA(unsigned message, WParam wParam, LParam lParam) {
    return backend::Send(handle_, message, wParam, lParam);
}

void Dialog::SetDlgItemTextA(int id, const std::string& text) {
    backend::SetItemText(handle_, id, text);
}
std::string Dialog::GetDlgItemTextA(int id) const {
    return backend::GetItemText(handle_, id);
}
void Dialog::EnableDlgItem(int id, bool enable) {
    backend::EnableItem(handle_, id, enable);
}
bool Dialog::SetTimer(std::uintptr_t timerId, unsigned milliseconds) {
    return backend::SetTimer(handle_, timerId, milliseconds);
}
bool Dialog::KillTimer(std::uintptr_t timerId) {
    return backend::KillTimer(handle_, timerId);
}
int Dialog::MessageBoxA(const std::string& text, const std::string& caption, unsigned flags) {
    return ui::MessageBoxA(handle_, text, caption, flags);
}

bool Dialog::WaitForThread(sys::Thread& thread, sys::Dword milliseconds) {
    return backend::WaitForThread(handle_, thread, milliseconds);
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(id::Ok);
    }
}

void Dialog::OnCancel() {
    EndDialog(id::Cancel);
}

bool Dialog::OnCommand(int, int) {
    return false;
}

bool Dialog::Dispatch(unsigned message, WParam wParam, LParam lParam, LResult& result) {
    result = 0;
    switch (message) {
        case wm::InitDialog:
            result = OnInitDialog() ? 1 : 0;
            return true;
        case wm::Command: {
            const int id = static_cast<int>(wParam & 0xFFFF);
            const int code = static_cast<int>((wParam >> 16) & 0xFFFF);
            if (OnCommand(id, code)) {
                return true;
            }
            // The dialog manager's Enter and Escape, and buttons with those ids.
            if (code == notify::ButtonClicked && id == id::Ok) {
                OnOK();
                return true;
            }
            if (code == notify::ButtonClicked && id == id::Cancel) {
                OnCancel();
                return true;
            }
            return false;
        }
        case wm::Timer:
            OnTimer(wParam);
            return true;
        case wm::Close:
            OnClose();
            return true;
        case wm::Destroy:
            OnDestroy();
            return false;  // the framework's own destruction goes on
        default:
            return OnMessage(message, wParam, lParam, result);
    }
}

}  // namespace ui
