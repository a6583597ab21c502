// The receipt printer installation: a uniDRV minidriver with one GPD file per model.
#pragma once

#include <string>
#include <string_view>

#include "install/Forward.h"

namespace install {

// The rendering module row (0..4) of a receipt model, by its group in the catalogue; in group 2
// the combo text "ZR90Q Series" takes the third row.
int ReceiptModuleRow(const Installation& state, int catalogIndex, std::string_view comboText);

void InstallReceiptPrinter(Installation& state, Frontend& front);

}  // namespace install
