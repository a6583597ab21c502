// The serial port step after the printer was added; it ends the installation itself.
#include "app/InstallDialog.h"
#include "install/AddPrinter.h"

// Until the serial search is in place the printer stays on the first serial port.
void InstallDialog::DetectSerialPort() {
    install::CompleteInstallation(*this);
}
