// A machine in a bad state, driven through the Install button: a spooler that will not start,
// stop or answer; printer keys missing or read-only; odd online flags; hundreds of ports and odd
// port names; a serial device map naming no port; a port gone before it is opened; another
// printer's COM port that cannot be written back; a printer of the same name that will not go.
// Each ends as the dialog allows, with every box it showed expected, and nothing of the
// machine lost.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "install/RestartService.h"
#include "platform/Registry.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpooler.h"
#include "ports/SerialDetection.h"
#include "tests/unit/InstallTestSupport.h"

namespace {

using installtest::D;
using installtest::RecordingDialog;
using installtest::Text;
using Names = std::vector<std::string>;

constexpr int P = IDD_SERIAL_PROMPT;
const std::string kPrinter = "TR-210 Series";  // the name the dialog proposes for model 0
const std::string kPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const std::string kSoftwarePrinters =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::string kSet001Printers = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const std::string kSerialMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char* const kUnknown = "Service status is unknown";
const char* const kRegistryFailed = "Failed to read Registry";
const char* const kNoUsbPort = "Failed to select usb port";
const sim::serial::Bytes kReceiptProbe = {0x10, 0x04, 0x01};

enum PortType { Serial = 0, Usb = 1, Parallel = 2 };

// The main dialog recording its status lines; `onStatus`
// runs on the dialog's thread when a status line is shown.
class BadDialog : public RecordingDialog {
  public:
    std::function<void(const std::string&)> onStatus;

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override {
        const size_t before = statuses.size();
        const bool handled = RecordingDialog::OnMessage(message, wParam, lParam, result);
        if (onStatus && statuses.size() != before) {
            onStatus(statuses.back());
        }
        return handled;
    }
};

std::optional<std::string> PortOf(const std::string& printer) {
    return sim::registry::GetString("HKLM", kPrinters + printer, "Port");
}

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : sim::ui::MessageBoxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

void AddUsbPort(const std::string& name) {
    sim::spooler::AddPort({name, "USB Monitor", "Virtual printer port for USB"});
}

// A serial device map with exactly these values, in this order.
void SerialMap(const std::vector<std::pair<std::string, std::string>>& values) {
    sim::registry::DeleteKey("HKLM", kSerialMap);
    sim::registry::CreateKey("HKLM", kSerialMap);
    for (const auto& [name, data] : values) {
        sim::registry::SetString("HKLM", kSerialMap, name, data);
    }
}

class BadMachineTest : public installtest::InstallTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(sim::registry::OpenKeyCount(), 0) << "a key was left open";
        EXPECT_EQ(sim::service::OpenHandleCount(), 0) << "a service handle was left open";
        EXPECT_EQ(sim::serial::OpenPortCount(), 0) << "a serial port was left open";
        installtest::InstallTest::TearDown();
    }

    // A fresh machine with the package, `other` on `port`, COM1 and COM2 in the device map
    // and the printer answering on COM2.
    void FreshWithOtherPrinter(const std::string& other, const std::string& port) {
        sim::Reset();
        sim::ui::Reset();
        installtest::InstallTest::SetUp();
        sim::spooler::AddPrinter({other, port, "Other driver", "WinPrint", "RAW"});
        SerialMap({{"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial1", "COM2"}});
        sim::serial::AddPort(2);
        sim::serial::AddReply(2, kReceiptProbe, {0x12}, 40, 19200);
    }

    // "&Yes" at the baud prompt (19200), then time for `ports` probes.
    static std::function<void()> AnswerYes(int ports) {
        return [ports] {
            sim::ui::Click(P, IDC_PROMPT_YES);
            sim::ui::AdvanceClock(D, 700 * static_cast<std::uint32_t>(ports) + 100);
        };
    }

    static void ExpectFinished() {
        EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
        EXPECT_TRUE(installtest::InstallEnabled());
        EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 100);
    }
};

}  // namespace

// --- The spooler ---------------------------------------------------------------------------

// Stopped and disabled: every start fails at once (1058); each attempt says so once, and the
// installation still ends, without waiting out the bound of each wait.
TEST_F(BadMachineTest, ADisabledSpoolerIsReportedAtEachStartAndTheInstallationEnds) {
    sim::service::SetState("Spooler", sim::service::State::Stopped);
    sim::service::SetDisabled("Spooler", true);
    // Start-up and the one before the driver is added.
    sim::ui::AnswerMessageBox(kUnknown, ui::id::Ok, 2);
    BadDialog dialog;
    Install(dialog, 0, Parallel, [] { installtest::ChooseParallelRow(0); });
    EXPECT_EQ(BoxTexts(), (Names{kUnknown, kUnknown}));
    EXPECT_EQ(sim::service::StartRequests("Spooler"), 2);
    EXPECT_EQ(sim::service::GetState("Spooler"), sim::service::State::Stopped);
    EXPECT_LT(sim::TotalSleep(), 5000u) << "a disabled service was waited for";
    ExpectFinished();
}

// A spooler that never leaves STOP_PENDING: each USB restart waits out its stop and its start
// (refused, 1056), says so once; the USB search ends on its Retry/Cancel box and the
// installation finishes.
TEST_F(BadMachineTest, ASpoolerStuckInStopPendingEndsEachWaitAndTheUsbSearch) {
    AddUsbPort("USB001");
    AddUsbPort("USB002");
    sim::spooler::SetPrinterOnlineAt("USB002");
    sim::service::SetRefusesStop("Spooler", true);
    sim::ui::AnswerMessageBox(kUnknown, ui::id::Ok, 2);
    sim::ui::AnswerMessageBox(kNoUsbPort, ui::id::Cancel);
    BadDialog dialog;
    Install(dialog, 0, Usb);
    // The spooler never read the new port, so it never said online.
    EXPECT_EQ(BoxTexts(), (Names{kUnknown, kUnknown,
                                 "Failed to select usb port,please check the port is connected."
                                 "\r\n\r\nClick Retry:Retry to select usb port\r\nClick "
                                 "Cancel:Ignore"}));
    EXPECT_EQ(sim::service::StartRequests("Spooler"), 2);
    EXPECT_EQ(PortOf(kPrinter), "USB002");  // the last port tried, as after any failed search
    EXPECT_LE(sim::Now(), 2 * (2 * install::kServiceWaitMs + 1000));
    ExpectFinished();
}

// Every status query fails (5): one "unknown" box per restart, nothing started or stopped
// blindly, and the parallel installation ends.
TEST_F(BadMachineTest, ASpoolerFailingEveryQueryIsReportedOncePerRestart) {
    sim::service::SetQueryFails("Spooler", true);
    sim::ui::AnswerMessageBox(kUnknown, ui::id::Ok, 2);
    BadDialog dialog;
    Install(dialog, 0, Parallel, [] { installtest::ChooseParallelRow(0); });
    EXPECT_EQ(BoxTexts(), (Names{kUnknown, kUnknown}));
    EXPECT_EQ(sim::service::StartRequests("Spooler"), 0);
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 0);
    ExpectFinished();
    EXPECT_EQ(sim::spooler::FindPrinter(kPrinter)->port, "LPT1:");
}

// The serial search with a spooler stuck in STOP_PENDING: the restart after freeing the ports
// and the one after the port was found each end at their bound with one box; the search still
// finds the printer on COM2.
TEST_F(BadMachineTest, ASpoolerStuckInStopPendingDoesNotStopTheSerialSearch) {
    SerialMap({{"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial1", "COM2"}});
    sim::serial::AddPort(2);
    sim::serial::AddReply(2, kReceiptProbe, {0x12}, 40, 19200);
    sim::service::SetRefusesStop("Spooler", true);
    sim::ui::AnswerMessageBox(kUnknown, ui::id::Ok, 2);
    BadDialog dialog;
    Install(dialog, 0, Serial, AnswerYes(2));
    EXPECT_EQ(BoxTexts(), (Names{kUnknown, kUnknown}));
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    EXPECT_EQ(sim::service::StartRequests("Spooler"), 2);  // each refused: still stopping
    ExpectFinished();
}

// --- The printer's keys and its online flag -------------------------------------------------

// Without ControlSet001 and without the DsSpooler subkey the USB step still moves the printer
// and finds it online, and says nothing about the missing keys.
TEST_F(BadMachineTest, MissingPrinterKeysAreSkippedSilentlyByTheUsbStep) {
    AddUsbPort("USB001");
    AddUsbPort("USB002");
    sim::spooler::SetPrinterOnlineAt("USB002");
    sim::registry::DeleteKey("HKLM", "SYSTEM\\ControlSet001");
    BadDialog dialog;
    dialog.onStatus = [](const std::string& text) {
        if (text == "Checking USB ports...") {
            sim::registry::DeleteKey("HKLM", kSoftwarePrinters + kPrinter + "\\DsSpooler");
        }
    };
    Install(dialog, 0, Usb);
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
    EXPECT_EQ(PortOf(kPrinter), "USB002");
    EXPECT_EQ(sim::registry::GetString("HKLM", kSoftwarePrinters + kPrinter, "Port"), "USB002");
    EXPECT_FALSE(sim::registry::KeyExists("HKLM", "SYSTEM\\ControlSet001"));
    ExpectFinished();
}

// The printer's keys read-only: nothing can point it elsewhere, so it stays where it was added
// and the search ends on its box; no write was attempted where the key would not open.
TEST_F(BadMachineTest, ReadOnlyPrinterKeysLeaveThePrinterOnItsPort) {
    AddUsbPort("USB001");
    AddUsbPort("USB002");
    sim::spooler::SetPrinterOnlineAt("USB002");
    sim::ui::AnswerMessageBox(kNoUsbPort, ui::id::Cancel);
    BadDialog dialog;
    dialog.onStatus = [](const std::string& text) {
        if (text == "Checking USB ports...") {
            for (const auto& key : {kPrinters, kSoftwarePrinters, kSet001Printers}) {
                if (sim::registry::KeyExists("HKLM", key + kPrinter)) {
                    sim::registry::SetKeyAccess("HKLM", key + kPrinter, sys::key::Read);
                }
            }
        }
    };
    Install(dialog, 0, Usb);
    ASSERT_EQ(sim::ui::MessageBoxes().size(), 1u);
    EXPECT_EQ(PortOf(kPrinter), "USB001");
    EXPECT_EQ(sim::spooler::FindPrinter(kPrinter)->port, "USB001");
    ExpectFinished();
}

// An online flag the product cannot rewrite (the profile key read-only) and of the wrong type
// or size: text "1", no bytes, or 100 bytes (234 into the 50-byte buffer). None counts as
// online; only the unreadable one is reported, once per port.
TEST_F(BadMachineTest, AnOnlineFlagOfTheWrongTypeOrSizeIsNeverTakenForOnline) {
    struct Case {
        const char* what;
        sys::Dword type;
        std::vector<std::uint8_t> data;
        int reports;
    };
    std::vector<std::uint8_t> large(100, 0);
    large[0] = 1;
    const std::vector<Case> cases = {
        {"REG_SZ \"1\"", sys::reg::Sz, {'1', 0}, 0},
        {"0 bytes", sys::reg::Dword32, {}, 0},
        {"100 bytes", sys::reg::Binary, large, 2},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        AddUsbPort("USB001");
        AddUsbPort("USB002");
        const std::string profile = kPrinters + kPrinter;
        sim::registry::CreateKey("HKCC", profile);
        sim::registry::SetValue("HKCC", profile, "PrinterOnLine", c.type, c.data);
        sim::registry::SetKeyAccess("HKCC", profile, sys::key::Read);
        if (c.reports > 0) {
            sim::ui::AnswerMessageBox(kRegistryFailed, ui::id::Ok, c.reports);
        }
        sim::ui::AnswerMessageBox(kNoUsbPort, ui::id::Cancel);
        BadDialog dialog;
        Install(dialog, 0, Usb);
        const auto texts = BoxTexts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), kRegistryFailed), c.reports) << c.what;
        ASSERT_FALSE(texts.empty()) << c.what;
        EXPECT_EQ(texts.back().rfind(kNoUsbPort, 0), 0u) << c.what;
        EXPECT_EQ(PortOf(kPrinter), "USB002") << c.what;
        EXPECT_EQ(Text(IDC_INSTALL), "&Finish") << c.what;
    }
}

// --- Many and odd port names ------------------------------------------------------------------

// 300 parallel ports, an empty port name and names with bytes >= 0x80. The chooser lists every
// "LPT" port, though the port lists keep the first 256 records only: a row among those and a row
// past them each install on the port the row shows.
TEST_F(BadMachineTest, ThreeHundredPortsAndOddNamesEachRowInstallsOnItsPort) {
    struct Case {
        int row;
        const char* port;
    };
    for (const Case c : {Case{250, "LPT250:"}, Case{300, "LPT300:"}}) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        for (const auto& port : sim::spooler::Ports()) {
            sim::spooler::RemovePort(port.name);
        }
        sim::spooler::AddPort({"", "Local Port", "Local Port"});
        sim::spooler::AddPort(
            {"\xB2\xA2\xBF\xDA"
             "1:",
             "Local Port", "Local Port"});
        sim::spooler::AddPort({"LPT\xA3\xB1:", "Local Port", "Local Port"});
        for (int i = 1; i <= 300; ++i) {
            sim::spooler::AddPort({"LPT" + std::to_string(i) + ":", "Local Port", "Local Port"});
        }
        BadDialog dialog;
        int rows = 0;
        std::string rowText;
        Install(dialog, 0, Parallel, [&rows, &rowText, c] {
            sim::ui::Call(IDD_PARALLEL_PORTS, [&rows, &rowText, c] {
                const auto list = sim::ui::Control(IDD_PARALLEL_PORTS, IDC_PORT_LIST);
                rows = static_cast<int>(list->rows.size());
                rowText = list->rows[static_cast<size_t>(c.row)].texts[0];
            });
            installtest::ChooseParallelRow(c.row);
        });
        // The non-ASCII "LPT" name is a parallel port too, before LPT1:.
        EXPECT_EQ(rows, 301) << c.row;
        EXPECT_EQ(rowText, "LPT" + std::to_string(c.row) + ":");
        EXPECT_TRUE(sim::ui::MessageBoxes().empty()) << c.row;
        const auto printer = sim::spooler::FindPrinter(kPrinter);
        ASSERT_TRUE(printer) << c.row;
        EXPECT_EQ(printer->port, c.port);
        EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
    }
}

// --- The serial device map and the ports behind it ------------------------------------------

TEST_F(BadMachineTest, PortNumbersComeOnlyFromDigitsBetweenComAndTheColon) {
    EXPECT_EQ(ports::PortNumberOf("COM999:"), 999);
    EXPECT_EQ(ports::PortNumberOf("COM0:"), 0);
    EXPECT_EQ(ports::PortNumberOf("COM:"), 0);
    EXPECT_EQ(ports::PortNumberOf("COM"), 0);
    EXPECT_EQ(ports::PortNumberOf("COMX:"), 0);
    EXPECT_EQ(ports::PortNumberOf("COM1X:"), 0);
    EXPECT_EQ(ports::PortNumberOf("COM-1:"), 0);
    EXPECT_EQ(ports::PortNumberOf("COM99999999999:"), 0);
}

// "COM", "COMX", COM0 and a REG_DWORD name no port and are left out; COM999 is searched like
// any other and answers.
TEST_F(BadMachineTest, TheSerialSearchSkipsMapEntriesThatNameNoPort) {
    SerialMap({{"\\Device\\Serial0", "COM1"},
               {"\\Device\\Serial1", "COM"},
               {"\\Device\\Serial2", "COMX"},
               {"\\Device\\Serial3", "COM0"},
               {"\\Device\\Serial4", "COM999"}});
    sim::registry::SetDword("HKLM", kSerialMap, "\\Device\\Serial5", 3);
    sim::serial::AddPort(999);
    sim::serial::AddReply(999, kReceiptProbe, {0x12}, 40, 19200);
    BadDialog dialog;
    Names searched;
    dialog.onStatus = [&](const std::string& text) {
        if (text == "Checking COM1:") {
            searched = dialog.installation.serialPorts;
        }
    };
    Install(dialog, 0, Serial, AnswerYes(2));
    EXPECT_EQ(searched, (Names{"COM1:", "COM999:"}));
    EXPECT_EQ(PortOf(kPrinter), "COM999:");
    EXPECT_EQ(sim::registry::GetString("HKLM", kPortsKey, "COM999:"), "19200,n,8,1");
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
    ExpectFinished();
}

// A map holding nothing but entries that name no port is a machine without serial ports.
TEST_F(BadMachineTest, AMapOfOnlyUnusableEntriesIsNoSerialPortAtAll) {
    SerialMap({{"\\Device\\Serial1", "COM"},
               {"\\Device\\Serial2", "COMX"},
               {"\\Device\\Serial3", "COM0"}});
    sim::ui::AnswerMessageBox("There's no serialport", ui::id::Ok);
    BadDialog dialog;
    Install(dialog, 0, Serial);
    EXPECT_EQ(BoxTexts(),
              (Names{"There's no serialport,please select other type of port and reinstall"}));
    EXPECT_FALSE(PortOf(kPrinter).has_value() && PortOf(kPrinter)->rfind("COM", 0) == 0);
    EXPECT_EQ(sim::serial::Written(1), sim::serial::Bytes{});
}

// COM2 is in the map but its device is gone when the search opens it (2): the search goes on
// to COM3, which answers.
TEST_F(BadMachineTest, APortGoneBetweenTheListAndTheOpenIsPassedOver) {
    SerialMap({{"\\Device\\Serial0", "COM1"},
               {"\\Device\\Serial1", "COM2"},
               {"\\Device\\Serial2", "COM3"}});
    sim::serial::AddPort(2);
    sim::serial::AddPort(3);
    sim::serial::AddReply(3, kReceiptProbe, {0x12}, 40, 19200);
    BadDialog dialog;
    Install(dialog, 0, Serial, [] {
        sim::serial::RemovePort(2);
        AnswerYes(3)();
    });
    EXPECT_EQ(PortOf(kPrinter), "COM3:");
    EXPECT_TRUE(sim::serial::Written(2).empty());
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
    ExpectFinished();
}

// --- Other printers ---------------------------------------------------------------------------

// Another printer holds COM2; once it was freed for the search its keys turn read-only, so its
// port cannot be written back. It is not left moved without a word: either it has its port
// again or a box names it.
TEST_F(BadMachineTest, AnotherPrinterWhoseComKeyCannotBeWrittenBackIsNotLostSilently) {
    const std::string other = "Kitchen";
    // Its keys made read-only once it was moved; or, once the printer was found, no key opens
    // at all (the read-back that would have shown LPT1: fails too).
    for (const bool noKeyOpens : {false, true}) {
        SCOPED_TRACE(noKeyOpens ? "no key opens" : "read-only keys");
        FreshWithOtherPrinter(other, "COM2:");
        BadDialog dialog;
        dialog.onStatus = [&other, noKeyOpens](const std::string& text) {
            if (!noKeyOpens && text == "Checking COM1:") {
                for (const auto& key : {kPrinters, kSoftwarePrinters, kSet001Printers}) {
                    if (sim::registry::KeyExists("HKLM", key + other)) {
                        sim::registry::SetKeyAccess("HKLM", key + other, sys::key::Read);
                    }
                }
                sim::registry::SetKeyAccess("HKCC", kPrinters + other, sys::key::Read);
            }
            if (noKeyOpens && text == "The available printer port:  COM2:") {
                sim::FailCall("RegOpenKeyExA", 5, -1);
            }
        };
        sim::ui::AnswerMessageBox(other, ui::id::Ok);
        if (noKeyOpens) {
            sim::ui::AnswerMessageBox("Failed to set Registry", ui::id::Ok);  // the Ports key
        }
        Install(dialog, 0, Serial, AnswerYes(2));
        sim::ClearFailures();
        const auto texts = BoxTexts();
        const bool named = std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
            return t.find(other) != std::string::npos && t.find("COM2:") != std::string::npos;
        });
        EXPECT_TRUE(PortOf(other) == "COM2:" || named)
            << "Kitchen left on " << PortOf(other).value_or("?") << " without a word";
        ExpectFinished();
    }
}

// The ports written back take effect only when the spooler starts again. The restart after the
// printer was found fails: once, and it is tried again with the other printer back on its port
// in the spooler too; for good (stuck in STOP_PENDING), and after its two boxes the other
// printer is named, its key holding its port for the spooler's next start.
TEST_F(BadMachineTest, AFailedRestartAfterTheSearchIsRetriedThenTheMovedPrinterNamed) {
    const std::string other = "Kitchen";
    for (const bool stuck : {false, true}) {
        SCOPED_TRACE(stuck ? "stuck" : "once");
        FreshWithOtherPrinter(other, "COM4:");
        BadDialog dialog;
        dialog.onStatus = [stuck](const std::string& text) {
            if (text == "The available printer port:  COM2:") {
                if (stuck) {
                    sim::service::SetRefusesStop("Spooler", true);
                } else {
                    sim::FailCall("StartServiceA", 1058, 1);
                }
            }
        };
        sim::ui::AnswerMessageBox(kUnknown, ui::id::Ok, stuck ? 2 : 1);
        if (stuck) {
            sim::ui::AnswerMessageBox(other, ui::id::Ok);
        }
        Install(dialog, 0, Serial, AnswerYes(2));
        EXPECT_EQ(PortOf(kPrinter), "COM2:");
        EXPECT_EQ(PortOf(other), "COM4:");
        EXPECT_EQ(sim::spooler::FindPrinter(other)->port, stuck ? "LPT1:" : "COM4:");
        Names expected{kUnknown};
        if (stuck) {
            expected.push_back(kUnknown);
            expected.push_back(
                "The printer Kitchen could not be given back its port "
                "COM4:,please set it after the installation finished");
        }
        EXPECT_EQ(BoxTexts(), expected);
        ExpectFinished();
        sim::service::SetRefusesStop("Spooler", false);
    }
}

// The same name is taken by a printer that cannot be deleted (5): AddPrinterA then fails with
// 1802; that is said, the old printer keeps its port and driver, and Install may be pressed
// again.
TEST_F(BadMachineTest, APrinterOfTheSameNameThatCannotBeDeletedIsKeptAndReported) {
    sim::spooler::Driver old;
    old.name = "Old driver";
    old.environment = "Windows NT x86";
    sim::spooler::AddDriver(old);
    sim::spooler::AddPrinter({kPrinter, "LPT3:", "Old driver", "WinPrint", "RAW"});
    sim::FailCall("DeletePrinter", sys::err::AccessDenied);
    sim::ui::AnswerMessageBox("Error AddPrinter 1802", ui::id::Ok);
    BadDialog dialog;
    Install(dialog, 0, Parallel, [] { installtest::ChooseParallelRow(0); });
    EXPECT_EQ(BoxTexts(), (Names{"Error AddPrinter 1802"}));
    const auto printer = sim::spooler::FindPrinter(kPrinter);
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "LPT3:");
    EXPECT_EQ(printer->driver, "Old driver");
    EXPECT_EQ(Text(IDC_INSTALL), "&Install");
    EXPECT_TRUE(installtest::InstallEnabled());
}
