// The state of one installation, owned by whichever front end runs it: what the user chose,
// the port lists, and the serial search's progress.
#pragma once

#include <string>
#include <vector>

#include "ports/SerialChannel.h"
#include "ports/SerialDetection.h"

namespace install {

struct Installation {
    int setDefaultPrinter = 1;
    int receiptGroup4Size = 0;
    int receiptGroup3Size = 0;
    int receiptGroup2Size = 0;
    int receiptGroup1Size = 0;
    int labelModelCount = 0;
    int selectedModel = 0;
    int portType = 0;
    std::string printerName;  // the form's printer name when Install was pressed
    std::string displayName;  // the driver list's text of the chosen model
    SerialChannel serialChannel;
    std::vector<std::string> otherPorts;
    std::vector<std::string> usbPorts;
    std::vector<std::string> serialPorts;
    std::vector<std::string> parallelPorts;
    std::vector<std::string> tcpipPorts;
    std::vector<std::string> serialWorkListA;
    std::vector<std::string> serialWorkListB;
    std::string portName;
    int is64BitWindows = 0;
    int serialResponseSeen = 0;
    int baudRate = 0;
    int parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int serialEventMask = 3;
    int serialPortIndex = 0;
    ports::SerialSearch serialSearch;

    // The catalogue's group sizes and the serial defaults a new installation starts from.
    void Reset();
    int ReceiptModelCount() const;
};

}  // namespace install
