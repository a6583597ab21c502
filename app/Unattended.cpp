// The installation without a window: the window's preparation, installation and clean-up, with
// each question answered as documented and the outcome returned as an exit code.
#include "app/Unattended.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

#include "app/Cleanup.h"
#include "app/InstallLog.h"
#include "catalog/ArchiveExtractor.h"
#include "install/Frontend.h"
#include "install/Installation.h"
#include "install/RunInstallation.h"
#include "platform/Clock.h"
#include "ports/PortResult.h"
#include "ports/PortTypeList.h"
#include "ports/SerialDetection.h"
#include "ports/SerialPromptDialog.h"

namespace unattended {
namespace {

const char* const kAppTitle = "Thermal Driver Setup";
const char* const kDriverFailed = "Failed to add the driver";
const char* const kUsbFailed = "Failed to select usb port";
// Retry/Cancel boxes are answered Retry this often, then Cancel.
constexpr int kRetries = 3;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool SameName(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

int IndexOf(const std::vector<std::string>& list, const std::string& name) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const std::string& entry) { return SameName(entry, name); });
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

// The button a box's Enter would press: the default one of its set (MB_DEFBUTTON2/3).
int DefaultButton(unsigned flags) {
    static const std::vector<std::vector<int>> kButtons = {
        {ui::id::Ok},
        {ui::id::Ok, ui::id::Cancel},
        {3, ui::id::Retry, 5},
        {ui::id::Yes, ui::id::No, ui::id::Cancel},
        {ui::id::Yes, ui::id::No},
        {ui::id::Retry, ui::id::Cancel}};
    const unsigned type = flags & 0xF;
    const auto& buttons = kButtons[type < kButtons.size() ? type : 0];
    const std::size_t which = (flags >> 8) & 0xF;
    return buttons[std::min(which, buttons.size() - 1)];
}

// The front end without a window: boxes answered, dialogs answered from the options, the
// serial search's timer kept as a delay the run waits out itself.
class Quiet final : public install::Frontend {
  public:
    Quiet(InstallLog& log, const Options& options) : log_(log), options_(options) {}

    void ShowStatus(const std::string& text) override { SetStatus(text); }
    void SetStatus(const std::string& text) override { Log("Status: " + text); }
    void Refresh() override {}
    void SetProgress(int) override {}
    void PauseForTheEye(sys::Dword) override {}

    int Box(const std::string& text, const std::string& caption, unsigned flags) override {
        const int answer = Answer(text, flags);
        Log("Box \"" + caption + "\": " + text + " -> " + std::to_string(answer));
        return answer;
    }
    int AppMessageBox(const std::string& text, unsigned flags) override {
        return Box(text, kAppTitle, flags);
    }
    ui::WindowHandle OwnerWindow() override { return nullptr; }

    // The port the options named; the result names no row, which the choice does not read.
    int ChooseParallelPort(std::string& port) override { return NamedPort(port); }
    int ChooseTcpipPort(std::string& port) override { return NamedPort(port); }
    int AskBaudRate() override {
        const auto& rates = SerialPromptDialog::kBaudRates;
        const auto it = std::find(rates.begin(), rates.end(), options_.baudRate);
        Log("Baud rate prompt -> " + std::to_string(options_.baudRate));
        return it == rates.end() ? ports::kCancelled
                                 : ports::kRowChosen + static_cast<int>(it - rates.begin());
    }

    void SetInstallCaption(const std::string& caption) override { caption_ = caption; }
    void EnableInstall(bool) override {}
    void SetInstallButton(const std::string& caption) override { caption_ = caption; }
    void CloseMainWindow() override { closed_ = true; }

    bool SetSerialTimer(unsigned milliseconds) override {
        timerMs_ = milliseconds;
        return true;
    }
    void KillSerialTimer() override { timerMs_ = 0; }
    void PortsEnumerated() override {}
    void ShowDrivers(const std::vector<std::string>& names) override { drivers_ = names; }
    void Log(const std::string& line) override { log_.Line(line); }

    // From the monitor thread: kept for the run's thread, which handles them between steps.
    void SerialNotify(unsigned message, ui::WParam, ui::LParam lParam) override {
        if (message == SerialChannel::kByteMessage) {
            std::lock_guard guard(repliesLock_);
            replies_.push_back(lParam);
        }
    }
    bool WaitForMonitor(sys::Thread& monitor, sys::Dword milliseconds) override {
        return monitor.Wait(milliseconds);
    }
    void SerialReport(const std::string& text) override { Log("Serial port: " + text); }

    // The serial search to its end: each step after the delay its timer was set to.
    void RunSerialSearch(install::Installation& state) {
        while (timerMs_ != 0) {
            sys::Sleep(timerMs_);
            std::vector<ui::LParam> replies;
            {
                std::lock_guard guard(repliesLock_);
                replies.swap(replies_);
            }
            for (const ui::LParam port : replies) {
                ports::SerialReplyReceived(state, port);
            }
            ports::SerialTimerStep(state, *this);
        }
    }

    // Starts an attempt; whether the driver box asked for another one.
    void BeginAttempt() { retryDriver_ = false; }
    bool RetryDriver() const { return retryDriver_ && !closed_ && caption_ == "Reinstall"; }
    bool Finished() const { return !closed_ && caption_ == "&Finish"; }
    bool UsbGivenUp() const { return usbGivenUp_; }
    const std::vector<std::string>& Drivers() const { return drivers_; }
    std::string namedPort;

  private:
    int Answer(const std::string& text, unsigned flags) {
        if (StartsWith(text, kDriverFailed)) {
            retryDriver_ = driverRetries_ < kRetries;
            driverRetries_ += retryDriver_ ? 1 : 0;
            return retryDriver_ ? ui::id::Retry : ui::id::Cancel;
        }
        if (StartsWith(text, kUsbFailed)) {
            usbGivenUp_ = usbRetries_ >= kRetries;
            usbRetries_ += usbGivenUp_ ? 0 : 1;
            return usbGivenUp_ ? ui::id::Cancel : ui::id::Retry;
        }
        return DefaultButton(flags);
    }

    int NamedPort(std::string& port) {
        port = namedPort;
        return ports::kRowChosen;
    }

    InstallLog& log_;
    const Options& options_;
    std::vector<std::string> drivers_;
    std::string caption_;
    bool closed_ = false;
    bool retryDriver_ = false;
    bool usbGivenUp_ = false;
    int driverRetries_ = 0;
    int usbRetries_ = 0;
    std::atomic<unsigned> timerMs_{0};
    std::mutex repliesLock_;
    std::vector<ui::LParam> replies_;
};

// The port type and port the options name; false, with the reason logged, for none.
bool SettlePort(install::Installation& state, Quiet& front, const std::string& port) {
    if (SameName(port, "usb")) {
        state.portType = ports::kUsb;
        return true;
    }
    if (SameName(port, "serial")) {
        state.portType = ports::kSerial;
        return true;
    }
    // A named port takes the type of the window's row that lists it: only the TCP/IP and
    // parallel rows let the user pick a port.
    for (const auto& [type, list] : {std::pair{ports::kTcpip, &state.tcpipPorts},
                                     std::pair{ports::kParallel, &state.parallelPorts}}) {
        const int index = IndexOf(*list, port);
        if (index >= 0) {
            state.portType = type;
            front.namedPort = (*list)[static_cast<std::size_t>(index)];
            return true;
        }
    }
    front.Log(IndexOf(state.otherPorts, port) >= 0
                  ? "The port " + port + " is neither a TCP/IP nor a parallel port"
                  : "There is no port " + port);
    return false;
}

int Install(install::Installation& state, Quiet& front, const Options& options) {
    const auto& drivers = front.Drivers();
    if (drivers.empty()) {
        front.Log("No driver list was found: the driver package is missing or damaged");
        return kFailed;
    }
    const int selection = IndexOf(drivers, options.model);
    if (selection < 0) {
        front.Log("The driver list holds no model " + options.model);
        return kBadCommandLine;
    }
    if (!SettlePort(state, front, options.port)) {
        return kBadCommandLine;
    }
    state.displayName = drivers[static_cast<std::size_t>(selection)];
    state.printerName = options.printerName.empty() ? state.displayName : options.printerName;
    state.setDefaultPrinter = options.setDefault ? 1 : 0;
    for (;;) {
        front.BeginAttempt();
        if (!install::Install(state, front, selection)) {
            return kFailed;
        }
        front.RunSerialSearch(state);
        if (!front.RetryDriver()) {
            break;
        }
    }
    if (!front.Finished()) {
        return kFailed;
    }
    // Given up, the printer stays on the last USB port tried, as under the window.
    return front.UsbGivenUp() ? kGivenUp : kInstalled;
}

bool KnownRate(int rate) {
    const auto& rates = SerialPromptDialog::kBaudRates;
    return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

}  // namespace

int Run(const Options& options, InstallLog& log) {
    log.Line("Unattended installation: model \"" + options.model + "\", printer name \"" +
             options.printerName + "\", port \"" + options.port + "\", baud rate " +
             std::to_string(options.baudRate) + ", default printer " +
             (options.setDefault ? "yes" : "no"));
    if (SameName(options.port, "serial") && !KnownRate(options.baudRate)) {
        log.Line("The baud rate " + std::to_string(options.baudRate) +
                 " is not one of the prompt's");
        log.Line("Result: " + std::to_string(kBadCommandLine));
        return kBadCommandLine;
    }
    // The front end outlives the state: the serial channel reports to it until it goes.
    Quiet front(log, options);
    install::Installation state;
    state.Reset();
    catalog::ArchiveExtractor archiver;
    const std::atomic<bool> stop{false};
    install::Prepare(state, front, archiver, stop);
    const int code = Install(state, front, options);
    // What the window's close does: the search's ports given back, the unpacked files removed.
    ports::EndSerialSearch(state, front);
    RemoveUnpackedFiles();
    log.Line("Result: " + std::to_string(code));
    return code;
}

}  // namespace unattended
