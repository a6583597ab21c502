// A new installation's starting state.
#include "install/Installation.h"

namespace install {

void Installation::Reset() {
    baudRate = 0;
    serialEventMask = 3;
    receiptGroup4Size = 3;
    parity = 'N';
    dataBits = 8;
    stopBits = 1;
    serialPortIndex = 0;
    serialResponseSeen = 0;
    receiptGroup1Size = 15;
    receiptGroup2Size = 7;
    receiptGroup3Size = 5;
    labelModelCount = 5;
    // Before the first click with nothing selected, the port type is the first row's.
    portType = 0;
}

int Installation::ReceiptModelCount() const {
    return receiptGroup1Size + receiptGroup2Size + receiptGroup3Size + receiptGroup4Size;
}

}  // namespace install
