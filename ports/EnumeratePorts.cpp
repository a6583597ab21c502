// Sorts the spooler's existing ports into the installation's port lists.
#include "ports/EnumeratePorts.h"

#include <algorithm>

#include "install/Frontend.h"
#include "install/Installation.h"
#include "ports/PortEnumeration.h"
#include "ports/SerialPortList.h"

namespace ports {

using install::Frontend;
using install::Installation;
namespace {

constexpr size_t kMaxPorts = 256;

}  // namespace

void EnumeratePorts(Installation& state, Frontend& front) {
    state.otherPorts.clear();
    state.usbPorts.clear();
    state.serialPorts.clear();
    state.tcpipPorts.clear();
    state.parallelPorts.clear();

    ReadSerialPortList(state.serialPorts);
    const std::vector<PortRecord> records = EnumeratePortRecords();

    const size_t count = std::min(records.size(), kMaxPorts);
    for (size_t i = 0; i < count; ++i) {
        const PortRecord& port = records[i];
        if (StartsWith(port.name, "USB")) {
            state.usbPorts.push_back(port.name);
        } else if (IsTcpipDescription(port.description)) {
            state.tcpipPorts.push_back(port.name);
        } else if (StartsWith(port.name, "LPT")) {
            state.parallelPorts.push_back(port.name);
        }
        state.otherPorts.push_back(port.name);
    }

    // The selected port-type row is the user's choice and is left as it is: port positions
    // say nothing about port types, and re-selecting from this thread could undo a click made
    // meanwhile on the dialog's thread.
    front.PortsEnumerated();
}

}  // namespace ports
