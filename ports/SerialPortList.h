// The serial ports of the system, from the serial device map.
#pragma once

#include <string>
#include <vector>

namespace ports {

// Appends "COMn:" for each value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM whose name begins with
// "\Device\"; returns 1 when serialPorts is not empty, else 0. A missing key adds nothing.
int ReadSerialPortList(std::vector<std::string>& serialPorts);

}  // namespace ports
