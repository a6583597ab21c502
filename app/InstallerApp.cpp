// Start-up: one modal main dialog, whose result does not matter.
#include "app/InstallerApp.h"

#include "app/InstallDialog.h"

bool InstallerApp::InitInstance() {
    InstallDialog dialog;
    dialog.DoModal();
    return false;
}
