// The USB port step after the printer was added.
#include "app/InstallDialog.h"

// Until the USB search is in place the printer stays on the port it was added on: the
// first USB port the spooler listed.
void InstallDialog::SelectUsbPort() {}
