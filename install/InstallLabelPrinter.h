// The label printer installation: the language monitor, then the label driver and its printer.
#pragma once

#include <string>
#include <vector>

#include "install/Forward.h"

namespace install {

// The print monitor every label driver names.
inline constexpr const char* kLabelMonitorName = "Advanced Language Monitor";

// Where the monitor module goes: the system directory, or on 64-bit Windows the Windows
// directory's "SysWOW64".
std::string MonitorDirectory(bool x64);

// The driver record's dependent files for a label model: the 27 language modules of the list,
// in order, then the model's .BA0 file, each with a leading backslash.
std::vector<std::string> LabelDependentFiles(bool x64, int labelIndex);

void InstallLabelPrinter(Installation& state, Frontend& front);

}  // namespace install
