// The receipt printer installation: a uniDRV minidriver with one GPD file per model.
#pragma once

#include <string>
#include <string_view>

class InstallDialog;

namespace install {

// The rendering module row (0..4) of a receipt model, by its group in the catalogue; in group 2
// the combo text "ZR90Q Series" takes the third row.
int ReceiptModuleRow(const InstallDialog& dialog, int catalogIndex, std::string_view comboText);

void InstallReceiptPrinter(InstallDialog& dialog);

}  // namespace install
