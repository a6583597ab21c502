// The main dialog "Configure & Install": the form, the shared state of an installation, and
// the status line every step reports through.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "catalog/ArchiveExtractor.h"
#include "install/SingleInstance.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "ports/SerialChannel.h"
#include "ports/SerialDetection.h"

class InstallLog;

class InstallDialog : public ui::Dialog {
  public:
    static constexpr unsigned kSerialDataMessage = ui::wm::User + 7;
    static constexpr std::uintptr_t kSerialTimer = 1;

    // `log` (may be null) gets the status lines and the boxes with their answers.
    explicit InstallDialog(InstallLog* log = nullptr);
    // Waits for the worker, then removes the unpacked files if the window went before it ended.
    ~InstallDialog() override;

    // The status-line convention: set statusText, then have the dialog's thread show it.
    void ShowStatus(const std::string& text);
    // Sends "MyUpdateData" (0, 0): members to controls, synchronously, from any thread.
    void Refresh();

    // Steps of the preparation that runs on the worker thread.
    void RunWorker();
    void UnpackDriverPackage();
    void FillDriverCombo();
    void ShowSystem();

    // Driver selection: the chosen display name becomes the printer name.
    void OnDriverSelected();
    // The install command behind the Install / Finish button.
    void OnInstall();
    // Maps the combo box's choice to a catalogue index in selectedModel; false when there is
    // no valid choice to install.
    bool ResolveSelectedModel();

    // The operations of an installation. Each is thin: the work lives in install/ and ports/,
    // in a file named after it.
    bool RestartService(const std::string& serviceName, int mode);  // install/RestartService
    void InstallReceiptPrinter();                                   // install/InstallReceiptPrinter
    void InstallLabelPrinter();                                     // install/InstallLabelPrinter
    void EnumeratePorts();                                          // ports/EnumeratePorts
    int ChooseParallelPort(std::string& port);                      // ports/ChooseParallelPort
    int ChooseTcpipPort(std::string& port);                         // ports/ChooseTcpipPort
    // The printer's port in the spooler's registry (install/SetPrinterPortRegistry).
    void SetPrinterPortRegistry(const std::string& printerName, const std::string& portName);
    // Port steps after the printer was added (port types 1 and 0); they end the installation.
    void SelectUsbPort();
    void DetectSerialPort();
    // The application's message box (caption: the product name), owned by the main window.
    int AppMessageBox(const std::string& text, unsigned flags);
    // Sets the Install button's caption and enables it.
    void SetInstallButton(const std::string& caption);

    catalog::ArchiveExtractor archiver;
    ui::Button installButton;
    ui::ProgressBar progressBar;
    ui::ComboBox driverCombo;
    ui::ListView portTypeList;
    int setDefaultPrinter = 1;
    std::string statusText;
    int receiptGroup4Size = 0;
    int receiptGroup3Size = 0;
    int receiptGroup2Size = 0;
    int receiptGroup1Size = 0;
    int labelModelCount = 0;
    int selectedModel = 0;
    int portType = 0;
    SerialChannel serialChannel;
    std::vector<std::string> otherPorts;
    std::vector<std::string> usbPorts;
    std::vector<std::string> serialPorts;
    std::vector<std::string> parallelPorts;
    std::vector<std::string> tcpipPorts;
    std::vector<std::string> serialWorkListA;
    std::vector<std::string> serialWorkListB;
    std::string portName;
    int is64BitWindows = 0;
    int serialResponseSeen = 0;
    int baudRate = 0;
    int parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int serialEventMask = 3;
    int serialPortIndex = 0;
    ports::SerialSearch serialSearch;
    // Held by the application; null when nothing else may be closing.
    install::SingleInstance* singleInstance = nullptr;

  protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(int id, int code) override;
    void OnTimer(std::uintptr_t timerId) override;
    void OnDestroy() override;
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override;

  private:
    int ReceiptModelCount() const;

    // Set when the window goes: the worker then skips what is left of its preparation.
    std::atomic<bool> closing_{false};
    // Whether the worker may still place files: the clean-up must not run beside it.
    std::atomic<bool> preparing_{false};
    bool cleanupPending_ = false;  // the window went while the worker prepared
    InstallLog* log_ = nullptr;
    sys::Thread worker_;  // last: it ends before any member it uses goes
};
