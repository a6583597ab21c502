// Points an added printer at another port through the spooler's own registry values, and marks
// it offline until the spooler says otherwise.
#pragma once

#include <functional>
#include <string>

namespace install {

// The box shown for each value that could not be written.
inline constexpr const char* kRegistryWriteFailed = "Failed to read Registry";

// Writes `portName` as the printer's port in each of the spooler's keys that can be opened
// (a missing one is skipped in silence) and "PrinterOnLine" = 0 in its hardware-profile key,
// which is created when missing. `report` is called with kRegistryWriteFailed once for each
// write that fails; the steps after it still run.
void SetPrinterPortRegistry(const std::string& printerName, const std::string& portName,
                            const std::function<void(const std::string&)>& report);

class Frontend;
// The same, each failed write reported in the front end's box with the product's caption.
void SetPrinterPortRegistry(Frontend& front, const std::string& printerName,
                            const std::string& portName);

}  // namespace install
