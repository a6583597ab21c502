// The baud prompt before the serial search (dialog 136).
#include "ports/SerialPromptDialog.h"

#include <string>

#include "ports/PortResult.h"
#include "res/resource.h"

SerialPromptDialog::SerialPromptDialog(ui::WindowHandle owner)
    : ui::Dialog(IDD_SERIAL_PROMPT, owner) {}

bool SerialPromptDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    baudCombo.ResetContent();
    for (int rate : kBaudRates) {
        baudCombo.AddString(std::to_string(rate));
    }
    baudCombo.SetCurSel(kDefaultIndex);
    return true;
}

void SerialPromptDialog::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_BAUD_COMBO, baudCombo);
}

bool SerialPromptDialog::OnCommand(int id, int code) {
    if (code != ui::notify::ButtonClicked) {
        return false;
    }
    if (id == IDC_PROMPT_YES) {
        EndDialog(ports::kRowChosen + baudCombo.GetCurSel());
        return true;
    }
    if (id == IDC_PROMPT_NO) {
        EndDialog(ports::kCancelled);
        return true;
    }
    return false;
}

// Esc and the close box (IDCANCEL) answer as "&No" does.
void SerialPromptDialog::OnCancel() {
    EndDialog(ports::kCancelled);
}
