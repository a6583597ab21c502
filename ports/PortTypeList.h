// The list of the four port types the user chooses from; the row index is the port type.
#pragma once

#include "platform/Window.h"

namespace ports {

enum PortType { kSerial = 0, kUsb = 1, kParallel = 2, kTcpip = 3 };

void FillPortTypeList(ui::ListView& list);

}  // namespace ports
