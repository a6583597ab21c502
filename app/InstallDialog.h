// The main dialog "Configure & Install": the form, the front end of the installation it owns,
// and the status line every step reports through.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "catalog/ArchiveExtractor.h"
#include "install/Frontend.h"
#include "install/Installation.h"
#include "platform/Thread.h"
#include "platform/Window.h"

class InstallLog;

class InstallDialog : public ui::Dialog, public install::Frontend {
  public:
    static constexpr unsigned kSerialDataMessage = ui::wm::User + 7;
    static constexpr std::uintptr_t kSerialTimer = 1;

    // Null: nothing is logged.
    explicit InstallDialog(InstallLog* log = nullptr);
    // Waits for the worker, then removes the unpacked files if the window went before it ended.
    ~InstallDialog() override;

    // The front end: the status-line convention (set statusText, then have the dialog's thread
    // show it through "MyUpdateData", synchronously, from any thread), the boxes, the dialogs.
    void ShowStatus(const std::string& text) override;
    void SetStatus(const std::string& text) override;
    void Refresh() override;
    void SetProgress(int percent) override;
    void PauseForTheEye(sys::Dword milliseconds) override;
    int Box(const std::string& text, const std::string& caption, unsigned flags) override;
    int AppMessageBox(const std::string& text, unsigned flags) override;
    ui::WindowHandle OwnerWindow() override;
    int ChooseParallelPort(std::string& port) override;
    int ChooseTcpipPort(std::string& port) override;
    int AskBaudRate() override;
    void SetInstallCaption(const std::string& caption) override;
    void EnableInstall(bool enabled) override;
    void SetInstallButton(const std::string& caption) override;
    void CloseMainWindow() override;
    bool SetSerialTimer(unsigned milliseconds) override;
    void KillSerialTimer() override;
    void PortsEnumerated() override;
    void ShowDrivers(const std::vector<std::string>& names) override;
    void Log(const std::string& line) override;
    void SerialNotify(unsigned message, ui::WParam wParam, ui::LParam lParam) override;
    bool WaitForMonitor(sys::Thread& monitor, sys::Dword milliseconds) override;
    void SerialReport(const std::string& text) override;

    // The preparation that runs on the worker thread.
    void RunWorker();

    // Driver selection: the chosen display name becomes the printer name.
    void OnDriverSelected();
    // The install command behind the Install / Finish button.
    void OnInstall();

    install::Installation installation;
    catalog::ArchiveExtractor archiver;
    ui::Button installButton;
    ui::ProgressBar progressBar;
    ui::ComboBox driverCombo;
    ui::ListView portTypeList;
    std::string statusText;

  protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(int id, int code) override;
    void OnTimer(std::uintptr_t timerId) override;
    void OnDestroy() override;
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override;

  private:
    InstallLog* log_;
    // Set when the window goes: the worker then skips what is left of its preparation.
    std::atomic<bool> closing_{false};
    // Whether the worker may still place files: the clean-up must not run beside it.
    std::atomic<bool> preparing_{false};
    bool cleanupPending_ = false;  // the window went while the worker prepared
    sys::Thread worker_;           // last: it ends before any member it uses goes
};
