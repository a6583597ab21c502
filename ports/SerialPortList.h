// The serial ports of the system, from the serial device map.
#pragma once

#include <string>
#include <vector>

namespace ports {

// Appends "COMn:" for each REG_SZ value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM whose name begins
// with "\Device\" and whose data names a port COMn (n >= 1); returns 1 when serialPorts is not
// empty, else 0. A missing key adds nothing.
int ReadSerialPortList(std::vector<std::string>& serialPorts);

}  // namespace ports
