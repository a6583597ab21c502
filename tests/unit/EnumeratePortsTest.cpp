// Port enumeration: how the spooler's ports are sorted into the main dialog's lists, the
// serial ports from the device map, the 256-port limit, and what it does to the port-type list.
#include <algorithm>
#include <cstdio>

#include "platform/sim/Sim.h"
#include "platform/sim/SimRegistry.h"
#include "ports/EnumeratePorts.h"
#include "ports/SerialPortList.h"
#include "tests/unit/PortTestSupport.h"

using porttest::AddPort;
using porttest::AddTcpipPort;
using Names = std::vector<std::string>;

namespace {

constexpr const char* kSerialComm = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace

class EnumeratePortsTest : public SimTest {
  protected:
    // Enumerates with no main dialog window: the lists are filled all the same.
    static InstallDialog& Enumerate(InstallDialog& dialog) {
        ports::EnumeratePorts(dialog.installation, dialog);
        return dialog;
    }
};

TEST_F(EnumeratePortsTest, SortsEachPortByItsFirstMatchingTestInSpoolerOrder) {
    porttest::ClearPorts();
    AddPort("USB001", "Virtual printer port for USB");
    AddPort("USB002", porttest::kTcpip, porttest::kTcpip);  // USB wins over the description
    AddTcpipPort("IP_10.0.0.5");
    AddPort("IP_10.0.0.6", porttest::kTcpipChinese, porttest::kTcpip);
    AddPort("LPT3:", porttest::kTcpip, porttest::kTcpip);  // the description wins over LPT
    AddPort("LPT1:", "Local Port");
    AddPort("lpt2:", "Local Port");                     // case-sensitive
    AddPort("usb003", "Virtual printer port for USB");  // case-sensitive
    AddPort("LP", "Local Port");                        // shorter than the prefix
    AddPort("US", "Local Port");
    AddPort("IP_10.0.0.7", "Standard TCP/IP Port ");  // exact comparison
    AddPort("IP_10.0.0.8", "standard tcp/ip port");
    AddPort("COM1:", "Local Port");
    AddPort("FILE:", "Local Port");

    InstallDialog dialog;
    Enumerate(dialog);

    EXPECT_EQ(dialog.installation.usbPorts, (Names{"USB001", "USB002"}));
    EXPECT_EQ(dialog.installation.tcpipPorts, (Names{"IP_10.0.0.5", "IP_10.0.0.6", "LPT3:"}));
    EXPECT_EQ(dialog.installation.parallelPorts, (Names{"LPT1:"}));
    EXPECT_EQ(dialog.installation.otherPorts,
              (Names{"USB001", "USB002", "IP_10.0.0.5", "IP_10.0.0.6", "LPT3:", "LPT1:", "lpt2:",
                     "usb003", "LP", "US", "IP_10.0.0.7", "IP_10.0.0.8", "COM1:", "FILE:"}));
}

TEST_F(EnumeratePortsTest, EmptiesEveryListWhenThereAreNoPortsAtAll) {
    porttest::ClearPorts();
    sim::registry::DeleteKey("HKLM", kSerialComm);
    InstallDialog dialog;
    for (auto* list : {&dialog.installation.otherPorts, &dialog.installation.usbPorts,
                       &dialog.installation.serialPorts, &dialog.installation.parallelPorts,
                       &dialog.installation.tcpipPorts}) {
        list->push_back("stale");
    }
    Enumerate(dialog);
    EXPECT_TRUE(dialog.installation.otherPorts.empty());
    EXPECT_TRUE(dialog.installation.usbPorts.empty());
    EXPECT_TRUE(dialog.installation.serialPorts.empty());
    EXPECT_TRUE(dialog.installation.parallelPorts.empty());
    EXPECT_TRUE(dialog.installation.tcpipPorts.empty());
}

TEST_F(EnumeratePortsTest, AFailingSpoolerGivesEmptyListsButStillTheSerialPorts) {
    sim::FailCall("EnumPortsA", 5 /* ERROR_ACCESS_DENIED */, -1);
    InstallDialog dialog;
    dialog.installation.otherPorts = {"stale"};
    Enumerate(dialog);
    EXPECT_TRUE(dialog.installation.otherPorts.empty());
    EXPECT_TRUE(dialog.installation.parallelPorts.empty());
    EXPECT_EQ(dialog.installation.serialPorts, (Names{"COM1:"}));
}

TEST_F(EnumeratePortsTest, OnlyTheFirst256PortsAreSortedOrCounted) {
    porttest::ClearPorts();
    char name[16];
    for (int i = 0; i < 255; ++i) {
        std::snprintf(name, sizeof name, "P%03d", i);
        AddPort(name, "Local Port");
    }
    AddPort("LPT1:", "Local Port");  // the 256th
    AddPort("LPT2:", "Local Port");  // the 257th
    AddTcpipPort("IP_257");
    AddPort("USB257", "Virtual printer port for USB");

    InstallDialog dialog;
    Enumerate(dialog);
    EXPECT_EQ(dialog.installation.otherPorts.size(), 256u);
    EXPECT_EQ(dialog.installation.otherPorts.back(), "LPT1:");
    EXPECT_EQ(dialog.installation.parallelPorts, (Names{"LPT1:"}));
    EXPECT_TRUE(dialog.installation.tcpipPorts.empty());
    EXPECT_TRUE(dialog.installation.usbPorts.empty());
}

TEST_F(EnumeratePortsTest, SendsOneUpdateAndSetsTheStyleButKeepsTheUsersPortType) {
    // Under the position rule, COM1 at position 1 and then 2 would select rows 1 and 2.
    porttest::ClearPorts();
    AddPort("LPT1:", "Local Port");
    AddPort("COM1:", "Local Port");
    porttest::CountingDialog dialog;
    int updates = -1;
    std::vector<int> afterFirst;
    porttest::InMainDialog(
        dialog,
        [&] {
            dialog.portTypeList.SetExtendedStyle(ui::ListView::ExTrackSelect | 0x4);
            dialog.statusText = "set before the enumeration";
            const int before = dialog.updates;
            ports::EnumeratePorts(dialog.installation, dialog);
            updates = dialog.updates - before;
            afterFirst = porttest::SelectedRows(IDD_INSTALL, IDC_PORT_TYPES);
            porttest::ClearPorts();
            AddPort("FILE:", "Local Port");
            AddPort("LPT1:", "Local Port");
            AddPort("COM1:", "Local Port");
        },
        [&] {
            sim::ui::SelectListRow(IDD_INSTALL, IDC_PORT_TYPES, 3);
            sim::ui::Call(IDD_INSTALL, [&] { ports::EnumeratePorts(dialog.installation, dialog); });
        });

    EXPECT_EQ(updates, 1);
    EXPECT_EQ(sim::ui::Control(IDD_INSTALL, IDC_STATUS)->text, "set before the enumeration");
    EXPECT_EQ(sim::ui::Control(IDD_INSTALL, IDC_PORT_TYPES)->extendedStyle,
              ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect | 0x4);
    EXPECT_EQ(afterFirst, (std::vector<int>{0}));
    EXPECT_EQ(porttest::SelectedRows(IDD_INSTALL, IDC_PORT_TYPES), (std::vector<int>{3}));
}

class SerialPortListTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::registry::DeleteKey("HKLM", kSerialComm);
        sim::registry::CreateKey("HKLM", kSerialComm);
    }
    static void SetData(const std::string& name, const std::string& bytes) {
        sim::registry::SetValue("HKLM", kSerialComm, name, 1 /* REG_SZ */, Bytes(bytes));
    }
};

TEST_F(SerialPortListTest, TakesTheDataOfDeviceValuesWithAColon) {
    sim::registry::SetString("HKLM", kSerialComm, "\\Device\\Serial0", "COM1");
    sim::registry::SetString("HKLM", kSerialComm, "\\Device\\Serial1", "COM12");
    sim::registry::SetString("HKLM", kSerialComm, "\\Device\\VCP0", "COM3");
    sim::registry::SetString("HKLM", kSerialComm, "Serial2", "COM5");            // no prefix
    sim::registry::SetString("HKLM", kSerialComm, "\\device\\Serial3", "COM6");  // its case
    sim::registry::SetString("HKLM", kSerialComm, "\\Device", "COM7");           // too short

    std::vector<std::string> ports = {"COM9:"};  // appended to, as the enumeration empties it
    EXPECT_EQ(ports::ReadSerialPortList(ports), 1);
    EXPECT_EQ(Sorted(ports), (Names{"COM12:", "COM1:", "COM3:", "COM9:"}));
    EXPECT_EQ(sim::registry::OpenKeyCount(), 0);
}

TEST_F(SerialPortListTest, ReturnsZeroForAnEmptyOrMissingKey) {
    sim::registry::SetString("HKLM", kSerialComm, "Serial2", "COM5");
    std::vector<std::string> ports;
    EXPECT_EQ(ports::ReadSerialPortList(ports), 0);
    EXPECT_TRUE(ports.empty());

    sim::registry::DeleteKey("HKLM", kSerialComm);
    EXPECT_EQ(ports::ReadSerialPortList(ports), 0);
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(sim::registry::OpenKeyCount(), 0);
}

TEST_F(SerialPortListTest, DataThatIsNotAStringWithinTheBufferIsReadSafely) {
    const std::string full(128, 'A');  // fills the buffer, no NUL; read safely, names no port
    SetData("\\Device\\Full", full);
    SetData("\\Device\\Long", std::string(200, 'B') + '\0');  // does not fit: skipped
    SetData("\\Device\\Embedded", std::string("COM4\0junk", 9));
    SetData("\\Device\\Bare", "COM8");                      // no terminating NUL
    SetData("\\Device\\" + std::string(130, 'N'), "COM2");  // a name that does not fit
    sim::registry::SetString("HKLM", kSerialComm, "\\Device\\Serial9", "COM9");

    std::vector<std::string> ports;
    EXPECT_EQ(ports::ReadSerialPortList(ports), 1);
    EXPECT_EQ(Sorted(ports), (Names{"COM4:", "COM8:", "COM9:"}));
}

TEST_F(SerialPortListTest, TheEnumerationTakesItsSerialPortsFromTheDeviceMap) {
    sim::registry::SetString("HKLM", kSerialComm, "\\Device\\Serial1", "COM2");
    InstallDialog dialog;
    dialog.installation.serialPorts = {"stale"};
    ports::EnumeratePorts(dialog.installation, dialog);
    EXPECT_EQ(dialog.installation.serialPorts,
              (Names{"COM2:"}));  // not the spooler's COM1: … COM4:
}
