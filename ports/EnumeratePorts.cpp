// Sorts the spooler's existing ports into the main dialog's port lists.
#include "ports/EnumeratePorts.h"

#include <algorithm>

#include "app/InstallDialog.h"
#include "ports/PortEnumeration.h"
#include "ports/PortListView.h"
#include "ports/SerialPortList.h"

namespace ports {
namespace {

constexpr size_t kMaxPorts = 256;

}  // namespace

void EnumeratePorts(InstallDialog& dialog) {
    dialog.otherPorts.clear();
    dialog.usbPorts.clear();
    dialog.serialPorts.clear();
    dialog.tcpipPorts.clear();
    dialog.parallelPorts.clear();

    ReadSerialPortList(dialog.serialPorts);
    const std::vector<PortRecord> records = EnumeratePortRecords();
    ApplyPortListStyle(dialog.portTypeList);

    const size_t count = std::min(records.size(), kMaxPorts);
    for (size_t i = 0; i < count; ++i) {
        const PortRecord& port = records[i];
        if (StartsWith(port.name, "USB")) {
            dialog.usbPorts.push_back(port.name);
        } else if (IsTcpipDescription(port.description)) {
            dialog.tcpipPorts.push_back(port.name);
        } else if (StartsWith(port.name, "LPT")) {
            dialog.parallelPorts.push_back(port.name);
        }
        dialog.otherPorts.push_back(port.name);
    }

    // The selected port-type row is the user's choice and is left as it is: port positions
    // say nothing about port types, and re-selecting from this thread could undo a click made
    // meanwhile on the dialog's thread.
    dialog.Refresh();
}

}  // namespace ports

void InstallDialog::EnumeratePorts() {
    ports::EnumeratePorts(*this);
}
