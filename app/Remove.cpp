// The removal's boxes and log around install::RemovePrinter.
#include "app/Remove.h"

#include <vector>

#include "app/InstallLog.h"
#include "install/RemovePrinter.h"
#include "platform/Window.h"

namespace uninstall {
namespace {

const char* const kAppTitle = "Thermal Driver Setup";

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += "\r\n" + line;
    }
    return text;
}

std::string NoSuchPrinter(const std::string& printerName) {
    return "There is no printer named \"" + printerName + "\".";
}

std::string ResultText(const std::string& printerName, const install::Removal& removal) {
    if (removal.code == install::kNoSuchPrinter) {
        return NoSuchPrinter(printerName);
    }
    if (removal.code == install::kRemoved) {
        return "The printer \"" + printerName +
               "\" was removed.\r\n\r\nRemoved:" + Lines(removal.removed);
    }
    std::string text = "Not everything could be removed:" + Lines(removal.failed);
    if (!removal.removed.empty()) {
        text += "\r\n\r\nRemoved:" + Lines(removal.removed);
    }
    return text;
}

}  // namespace

int RunRemove(const std::string& printerName, bool quiet, InstallLog& log) {
    log.Line("Removing the printer \"" + printerName + "\"");
    if (printerName.empty()) {
        log.Line("/remove needs a printer name");
        return kBadCommandLine;
    }
    if (!quiet) {
        if (install::PrinterMissing(printerName)) {
            log.Line("No printer named \"" + printerName + "\"");
            ui::MessageBoxA(nullptr, NoSuchPrinter(printerName), kAppTitle,
                            ui::mb::Ok | ui::mb::IconExclamation);
            return install::kNoSuchPrinter;
        }
        const std::string question =
            "Remove the printer \"" + printerName +
            "\"?\r\n\r\nIts driver goes with it unless another printer uses it, and with a "
            "label driver the Advanced Language Monitor.";
        if (ui::MessageBoxA(nullptr, question, kAppTitle, ui::mb::YesNo | ui::mb::IconQuestion) !=
            ui::id::Yes) {
            log.Line("Not removed: declined");
            return kDeclined;
        }
    }
    const install::Removal removal =
        install::RemovePrinter(printerName, [&log](const std::string& line) { log.Line(line); });
    if (!quiet) {
        const unsigned icon =
            removal.code == install::kRemoved ? ui::mb::IconInformation : ui::mb::IconStop;
        ui::MessageBoxA(nullptr, ResultText(printerName, removal), kAppTitle, ui::mb::Ok | icon);
    }
    log.Line("Exit code " + std::to_string(removal.code));
    return removal.code;
}

}  // namespace uninstall
