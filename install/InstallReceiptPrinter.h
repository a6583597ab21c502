// The receipt printer installation: a uniDRV minidriver with one GPD file per model.
#pragma once

#include <string>

class InstallDialog;

namespace install {

// The rendering module row (0..4) of a receipt model, by its group in the catalogue.
int ReceiptModuleRow(const InstallDialog& dialog, int catalogIndex);

void InstallReceiptPrinter(InstallDialog& dialog);

}  // namespace install
