// Start-up: one modal main dialog, whose result does not matter.
#include "app/InstallerApp.h"

#include "app/InstallDialog.h"

bool InstallerApp::InitInstance() {
    InstallDialog dialog;
    dialog.DoModal();
    // The window has gone; the dialog's end waits for a preparation still under way and then
    // removes what it unpacked.
    return false;
}
