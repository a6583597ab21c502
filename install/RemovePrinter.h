// Removes a printer with what only it used: its driver, and for a label driver the language
// monitor and the monitor module in the system directory.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace install {

// Windows Installer's codes, as deployment tools read them.
inline constexpr int kRemoved = 0;
inline constexpr int kNoSuchPrinter = 1605;  // ERROR_UNKNOWN_PRODUCT
inline constexpr int kNotAllRemoved = 1603;  // ERROR_INSTALL_FAILURE

struct Removal {
    int code = kRemoved;
    std::vector<std::string> removed;  // what went, in order
    std::vector<std::string> failed;   // what stayed against our will, each with its error code
};

// True when the local printers could be listed and none has that name (names compare without
// regard to case).
bool PrinterMissing(const std::string& printerName);

// Deletes the printer (purged first); then its driver unless another printer uses it; then,
// when no remaining driver names it, the label monitor and its module. Nothing removed is put
// back when a later step fails. Each step and each failure goes to `log`.
Removal RemovePrinter(const std::string& printerName,
                      const std::function<void(const std::string&)>& log);

}  // namespace install
