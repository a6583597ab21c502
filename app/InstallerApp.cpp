// Start-up: the command line, one installer at a time, then the window or the unattended run.
#include "app/InstallerApp.h"

#include "app/CommandLine.h"
#include "app/ExitCodes.h"
#include "app/InstallDialog.h"
#include "app/InstallLog.h"
#include "app/Remove.h"
#include "app/Repair.h"
#include "install/SingleInstance.h"
#include "platform/Console.h"

namespace {

const char* const kAnotherRunning =
    "Another installation is running.\r\n\r\nFinish it, or wait until its window has closed, "
    "and then start this program again.";

}  // namespace

void InstallerApp::Note(const std::string& text) {
    if (log_ != nullptr) {
        log_->Line(text);
    }
}

bool InstallerApp::InitInstance() {
    install::SingleInstance instance;
    if (!instance.Claim()) {
        Note("Another installation is running");
        ui::MessageBoxA(nullptr, kAnotherRunning, "Thermal Driver Setup",
                        ui::mb::Ok | ui::mb::IconExclamation);
        return false;
    }
    {
        InstallDialog dialog(log_);
        dialog.singleInstance = &instance;
        dialog.DoModal();
        instance.ReleaseOpen();
        Note("The window has closed");
        // The dialog's end waits for a preparation still under way and then removes what it
        // unpacked.
    }
    instance.ReleaseFiles();
    Note("The unpacked files are removed");
    return true;
}

int RunInstaller(const std::string& arguments) {
    const CommandLine line = ParseCommandLine(arguments);
    InstallLog log;
    log.Open(line.logPath.empty() ? DefaultLogPath() : line.logPath);
    log.Line("Command line: " + arguments);
    if (!line.error.empty()) {
        if (line.error != "usage") {
            log.Line(line.error);
            sys::WriteConsoleText(line.error + "\r\n\r\n");
        }
        sys::WriteConsoleText(UsageText());
        log.Line("Result: " + std::to_string(exitcode::kBadCommandLine));
        return exitcode::kBadCommandLine;
    }
    // Both move printers an open installer may be working on: one at a time with it.
    if (line.repair || line.remove) {
        install::SingleInstance instance;
        int result = exitcode::kAnotherRunning;
        if (!instance.Claim() ||
            (!instance.HoldsFiles() && !instance.WaitForFiles(install::kCloseWait))) {
            log.Line("Another installation is running");
        } else {
            result = line.repair ? RunRepair(log)
                                 : uninstall::RunRemove(line.removeName, line.quiet, log);
        }
        log.Line("Result: " + std::to_string(result));
        return result;
    }
    if (!line.quiet) {
        InstallerApp app(&log);
        const int result = app.InitInstance() ? 0 : exitcode::kAnotherRunning;
        log.Line("Result: " + std::to_string(result));
        return result;
    }
    install::SingleInstance instance;
    if (!instance.Claim()) {
        log.Line("Another installation is running");
        log.Line("Result: " + std::to_string(exitcode::kAnotherRunning));
        return exitcode::kAnotherRunning;
    }
    // Another installer's clean-up would remove what this one unpacks.
    if (!instance.HoldsFiles()) {
        log.Line("Waiting for the other installation to finish closing...");
        if (!instance.WaitForFiles(install::kCloseWait)) {
            log.Line("The other installation did not finish closing in time; going on");
        }
    }
    // The run logs its options and its result; the locks go after its clean-up.
    return unattended::Run(line.options, log);
}
