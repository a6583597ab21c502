// The serial port step after the printer was added; the search ends the installation itself.
#include "app/InstallDialog.h"
#include "ports/SerialDetection.h"

void InstallDialog::DetectSerialPort() {
    ports::StartSerialDetection(*this);
}
