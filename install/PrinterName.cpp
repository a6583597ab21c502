// The printer name check made before anything reaches the spooler or the registry.
#include "install/PrinterName.h"

namespace install {

const char* const kBadPrinterName =
    "This printer name cannot be used.\r\n\r\nA printer name must not be empty, must not contain "
    "\"\\\" or \",\", and must not be longer than 220 characters. Nothing was installed.";

bool IsValidPrinterName(const std::string& name) {
    return !name.empty() && name.size() <= kMaxPrinterName &&
           name.find_first_of("\\,") == std::string::npos;
}

}  // namespace install
