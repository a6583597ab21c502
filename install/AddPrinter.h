// The steps both driver installations share once their driver is added: replace an existing
// printer of the same name, add the printer, make it the default, run the port step, finish.
#pragma once

#include <string>

#include "install/Forward.h"
#include "platform/Types.h"

namespace install {

struct PrinterSetup {
    std::string printerName;
    std::string driverName;
    // The receipt path tries AddPrinterA once more when the port was unknown; the label path
    // does not.
    bool retryUnknownPort = true;
    sys::Dword finishPauseMs = 500;
};

// Enables SeLoadDriverPrivilege for this process; failures are of no consequence.
void EnableLoadDriverPrivilege();

void AddPrinterAndFinish(Installation& state, Frontend& front, const PrinterSetup& setup);

// The end of a successful installation: progress 100, the completion text, "&Finish".
void CompleteInstallation(Frontend& front);

}  // namespace install
