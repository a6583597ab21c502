// The main dialog as the installation's front end: its status line, progress bar, button and
// boxes, the port dialogs it owns, and the log beside them.
#include "app/InstallDialog.h"
#include "app/InstallLog.h"
#include "platform/Clock.h"
#include "ports/ParallelPortDialog.h"
#include "ports/PortListView.h"
#include "ports/SerialPromptDialog.h"
#include "ports/TcpipPortDialog.h"

namespace {

const char* const kAppTitle = "Thermal Driver Setup";

}  // namespace

void InstallDialog::ShowStatus(const std::string& text) {
    SetStatus(text);
    Refresh();
}

void InstallDialog::SetStatus(const std::string& text) {
    Log("Status: " + text);
    statusText = text;
}

void InstallDialog::SetProgress(int percent) {
    progressBar.SetPos(percent);
}

void InstallDialog::PauseForTheEye(sys::Dword milliseconds) {
    sys::Sleep(milliseconds);
}

int InstallDialog::Box(const std::string& text, const std::string& caption, unsigned flags) {
    const int answer = MessageBoxA(text, caption, flags);
    Log("Box \"" + caption + "\": " + text + " -> " + std::to_string(answer));
    return answer;
}

int InstallDialog::AppMessageBox(const std::string& text, unsigned flags) {
    // The worker's box after the window has gone would stand alone: none is shown, and the
    // answer is 0, as MessageBoxA gives for an owner window that no longer exists (1400).
    if (closing_) {
        Log("Box not shown, the window has gone: " + text);
        return 0;
    }
    return Box(text, kAppTitle, flags);
}

ui::WindowHandle InstallDialog::OwnerWindow() {
    return Handle();
}

int InstallDialog::ChooseParallelPort(std::string& port) {
    ParallelPortDialog chooser(Handle());
    const int result = static_cast<int>(chooser.DoModal());
    port = chooser.chosenPort;
    return result;
}

int InstallDialog::ChooseTcpipPort(std::string& port) {
    TcpipPortDialog chooser(Handle());
    const int result = static_cast<int>(chooser.DoModal());
    port = chooser.chosenPort;
    return result;
}

int InstallDialog::AskBaudRate() {
    SerialPromptDialog prompt(Handle());
    return static_cast<int>(prompt.DoModal());
}

void InstallDialog::SetInstallCaption(const std::string& caption) {
    installButton.SetWindowTextA(caption);
}

void InstallDialog::EnableInstall(bool enabled) {
    installButton.EnableWindow(enabled);
}

void InstallDialog::SetInstallButton(const std::string& caption) {
    installButton.EnableWindow(true);
    installButton.SetWindowTextA(caption);
}

void InstallDialog::CloseMainWindow() {
    UpdateData(true);
    EndDialog(ui::id::Ok);
}

bool InstallDialog::SetSerialTimer(unsigned milliseconds) {
    return SetTimer(kSerialTimer, milliseconds);
}

void InstallDialog::KillSerialTimer() {
    KillTimer(kSerialTimer);
}

void InstallDialog::PortsEnumerated() {
    ports::ApplyPortListStyle(portTypeList);
    Refresh();
}

void InstallDialog::Log(const std::string& line) {
    if (log_ != nullptr) {
        log_->Line(line);
    }
}

// The channel's owner by the window's own calls: it may still wait for its monitor while the
// dialog's members go, so no member stands between.
void InstallDialog::SerialNotify(unsigned message, ui::WParam wParam, ui::LParam lParam) {
    SendMessageA(message, wParam, lParam);
}

bool InstallDialog::WaitForMonitor(sys::Thread& monitor, sys::Dword milliseconds) {
    return WaitForThread(monitor, milliseconds);
}

void InstallDialog::SerialReport(const std::string& text) {
    Log("Box \"Application Error\": " + text);
    WindowSerialOwner::ShowAlone(text);
}
