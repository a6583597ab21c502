// The window layer: modal dialogs from templates, message dispatch, data exchange, timers,
// message boxes and the synchronous cross-thread send. Both back ends implement Backend.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Thread.h"
#include "platform/Types.h"

namespace ui {

using sys::WindowHandle;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

namespace wm {
constexpr unsigned Destroy = 0x0002;
constexpr unsigned Close = 0x0010;
constexpr unsigned ShowWindow = 0x0018;
constexpr unsigned InitDialog = 0x0110;
constexpr unsigned Command = 0x0111;
constexpr unsigned Timer = 0x0113;
constexpr unsigned SysCommand = 0x0112;
constexpr unsigned User = 0x0400;
}  // namespace wm

namespace notify {
constexpr int ButtonClicked = 0;   // BN_CLICKED
constexpr int ComboSelChange = 1;  // CBN_SELCHANGE
}  // namespace notify

namespace mb {
constexpr unsigned Ok = 0x0;
constexpr unsigned OkCancel = 0x1;
constexpr unsigned YesNo = 0x4;
constexpr unsigned RetryCancel = 0x5;
constexpr unsigned IconStop = 0x10;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconExclamation = 0x30;
constexpr unsigned IconInformation = 0x40;
}  // namespace mb

namespace id {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Retry = 4;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace id

// The same name gives the same identifier in every module, as RegisterWindowMessageA.
unsigned RegisterWindowMessageA(const char* name);

// A message box owned by owner (null: no owner); returns the id of the button pressed.
int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                unsigned flags);

class Dialog;

// Moves values between a dialog's controls and its members (DDX): to the members when saving.
class DataExchange {
  public:
    DataExchange(Dialog& dialog, bool save) : dialog_(dialog), save_(save) {}
    bool Saving() const { return save_; }
    void Control(int id, class Control& control);
    void Check(int id, int& value);
    void Text(int id, std::string& value);

  private:
    Dialog& dialog_;
    bool save_;
};

// A control of a dialog, bound to its id by data exchange.
class Control {
  public:
    virtual ~Control() = default;
    void Bind(WindowHandle dialog, int id) {
        dialog_ = dialog;
        id_ = id;
    }
    bool Bound() const { return dialog_ != nullptr; }
    int Id() const { return id_; }
    std::string GetWindowTextA() const;
    void SetWindowTextA(const std::string& text);
    bool EnableWindow(bool enable);  // returns true if it was disabled before, as Win32
    bool IsWindowEnabled() const;

  protected:
    WindowHandle dialog_ = nullptr;
    int id_ = 0;
};

class Button : public Control {};

class ProgressBar : public Control {
  public:
    int SetPos(int position);  // PBM_SETPOS; returns the previous position
    int GetPos() const;
};

class ComboBox : public Control {
  public:
    void ResetContent();
    int AddString(const std::string& text);  // index of the new item
    int SetCurSel(int index);                // -1 clears the selection
    int GetCurSel() const;                   // -1 with no selection
    int GetCount() const;
    std::string GetLBText(int index) const;
};

class ListView : public Control {
  public:
    static constexpr unsigned StateSelected = 0x2;  // LVIS_SELECTED
    static constexpr unsigned StateFocused = 0x1;   // LVIS_FOCUSED
    static constexpr unsigned ExTrackSelect = 0x08;
    static constexpr unsigned ExGridLines = 0x01;
    static constexpr unsigned ExFullRowSelect = 0x20;

    bool DeleteAllItems();
    int GetColumnCount() const;  // items of the header control
    bool DeleteColumn(int column);
    unsigned GetExtendedStyle() const;
    void SetExtendedStyle(unsigned style);
    int InsertColumn(int column, const std::string& heading, int width);  // left-aligned
    bool SetColumnWidth(int column, int width);
    int InsertItem(int index, const std::string& text);
    bool SetItemText(int index, int subItem, const std::string& text);
    std::string GetItemText(int index, int subItem) const;
    bool SetItemState(int index, unsigned state, unsigned mask);
    unsigned GetItemState(int index, unsigned mask) const;
    int GetItemCount() const;
};

// A modal dialog run from a resource template. Handlers run on the thread that called DoModal.
class Dialog {
  public:
    explicit Dialog(int templateId, WindowHandle owner = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    std::intptr_t DoModal();
    void EndDialog(std::intptr_t result);
    WindowHandle Handle() const { return handle_.load(); }
    int TemplateId() const { return templateId_; }

    bool UpdateData(bool saveAndValidate);

    // Synchronous from any thread: returns once the dialog's thread has handled the message.
    LResult SendMessageA(unsigned message, WParam wParam, LParam lParam);

    void SetDlgItemTextA(int id, const std::string& text);
    std::string GetDlgItemTextA(int id) const;
    void EnableDlgItem(int id, bool enable);
    bool SetTimer(std::uintptr_t timerId, unsigned milliseconds);
    bool KillTimer(std::uintptr_t timerId);
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned flags);

    // Waits up to `milliseconds` for thread to end while still handling the messages other
    // threads send to this dialog, so a thread blocked in a send cannot deadlock the wait.
    bool WaitForThread(sys::Thread& thread, sys::Dword milliseconds);

    // Entry point of the back end: every message of this dialog goes through here. False
    // when the dialog leaves the message to the default handling.
    bool Dispatch(unsigned message, WParam wParam, LParam lParam, LResult& result);
    void Attach(WindowHandle handle) { handle_ = handle; }
    WindowHandle Owner() const { return owner_; }

  protected:
    virtual bool OnInitDialog();  // runs data exchange into the controls; true: default focus
    virtual void DoDataExchange(DataExchange&) {}
    virtual void OnOK();      // UpdateData(true), then EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    virtual bool OnCommand(int id, int code);
    virtual void OnTimer(std::uintptr_t) {}
    virtual void OnClose() { OnCancel(); }
    virtual void OnDestroy() {}
    // Messages of the WM_USER range and registered ones; true when handled.
    virtual bool OnMessage(unsigned, WParam, LParam, LResult&) { return false; }

  private:
    int templateId_;
    WindowHandle owner_;
    // Atomic: other threads read it while DoModal clears it once the window has gone.
    std::atomic<WindowHandle> handle_{nullptr};
};

}  // namespace ui
