// The printer name check made before anything reaches the spooler or the registry.
#pragma once

#include <cstddef>
#include <string>

namespace install {

// The longest printer name the local spooler takes.
constexpr std::size_t kMaxPrinterName = 220;

// The box for a name the check refuses.
extern const char* const kBadPrinterName;

// Not empty, no "\" (it would name a server or a path) and no "," (the spooler's own separator
// in device strings and port lists), no longer than kMaxPrinterName.
bool IsValidPrinterName(const std::string& name);

}  // namespace install
