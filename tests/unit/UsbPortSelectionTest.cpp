// The USB port step: the printer pointed at each USB port in turn with a spooler restart, until
// the spooler marks it online; the Retry/Cancel box when it never does; the whole Install path.
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/InstallTestSupport.h"
#include "tests/unit/PortTestSupport.h"

namespace {

using installtest::D;
using installtest::RecordingDialog;

const std::string kPrinter = "TR-210 Series";
const std::string kControlKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + kPrinter;
const char* const kNoPortOnline =
    "Failed to select usb port,please check the port is connected.\r\n\r\nClick Retry:Retry to "
    "select usb port\r\nClick Cancel:Ignore";

void AddUsbPort(const std::string& name) {
    sim::spooler::AddPort({name, "USB Monitor", "Virtual printer port for USB"});
}

// Every position the progress bar was set to from the `from`th on.
std::vector<int> ProgressFrom(std::size_t from) {
    const auto positions = sim::ui::Control(D, IDC_PROGRESS)->positions;
    return std::vector<int>(positions.begin() + static_cast<std::ptrdiff_t>(from), positions.end());
}

class UsbPortSelectionTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        for (const char* port : {"USB001", "USB002", "USB003"}) {
            AddUsbPort(port);
        }
        // The printer as the installation left it: on the first USB port.
        sim::spooler::AddPrinter({kPrinter, "USB001", kPrinter, "WinPrint", "RAW"});
    }

    // Runs the USB step on the main dialog's thread with these candidates; the progress bar's
    // positions it set are kept in `progress`.
    void Select(RecordingDialog& dialog, const std::vector<std::string>& candidates) {
        porttest::InMainDialog(dialog, [&] {
            dialog.SetDlgItemTextA(IDC_PRINTER_NAME, kPrinter);
            dialog.installation.printerName = kPrinter;
            dialog.installation.usbPorts = candidates;
            const auto before = sim::ui::Control(D, IDC_PROGRESS)->positions.size();
            ports::SelectUsbPort(dialog.installation, dialog);
            progress = ProgressFrom(before);
        });
        EXPECT_EQ(sim::registry::OpenKeyCount(), 0) << "a key was left open";
    }

    static std::string SpoolerPort() { return sim::spooler::FindPrinter(kPrinter)->port; }
    static std::optional<std::string> RegistryPort() {
        return sim::registry::GetString("HKLM", kControlKey, "Port");
    }

    std::vector<int> progress;
};

}  // namespace

TEST_F(UsbPortSelectionTest, ThePrinterOnTheSecondPortStopsTheSearchThere) {
    sim::spooler::SetPrinterOnlineAt("USB002");
    RecordingDialog dialog;
    Select(dialog, {"USB001", "USB002", "USB003"});

    EXPECT_EQ(SpoolerPort(), "USB002");
    EXPECT_EQ(RegistryPort(), "USB002");
    // One restart for each port tried; the third is never tried.
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 2);
    EXPECT_EQ(sim::service::StartRequests("Spooler"), 2);
    EXPECT_EQ(progress, (std::vector<int>{50, 60, 50, 60, 70, 80}));
    const std::vector<std::string> expected = {"Checking USB ports...", "Checking  USB001 ....",
                                               "Checking  USB002 ...."};
    ASSERT_GE(dialog.statuses.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(dialog.statuses.end() - 3, dialog.statuses.end()), expected);
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

TEST_F(UsbPortSelectionTest, NoPortOnlineAsksRetryOrCancelAfterEachFullRound) {
    sim::spooler::RemovePort("USB003");
    sim::ui::AnswerMessageBox("Failed to select usb port", ui::id::Retry);
    sim::ui::AnswerMessageBox("Failed to select usb port", ui::id::Cancel);
    RecordingDialog dialog;
    Select(dialog, {"USB001", "USB002"});

    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.text, kNoPortOnline);
        EXPECT_EQ(box.caption, "Fail to select port");
        EXPECT_EQ(box.flags, ui::mb::RetryCancel);
    }
    // Both ports in both rounds; the printer stays on the last one tried.
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 4);
    EXPECT_EQ(progress, (std::vector<int>{50, 60, 50, 60, 50, 60, 50, 60, 80}));
    EXPECT_EQ(std::count(dialog.statuses.begin(), dialog.statuses.end(), "Checking USB ports..."),
              2);
    EXPECT_EQ(SpoolerPort(), "USB002");
    EXPECT_EQ(RegistryPort(), "USB002");
}

TEST_F(UsbPortSelectionTest, AnEmptyListGoesStraightToTheBoxAndLeavesThePrinterAlone) {
    sim::ui::AnswerMessageBox("Failed to select usb port", ui::id::Cancel);
    RecordingDialog dialog;
    Select(dialog, {});
    EXPECT_EQ(sim::ui::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 0);
    EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
    EXPECT_EQ(progress, (std::vector<int>{80}));
    EXPECT_EQ(SpoolerPort(), "USB001");
}

TEST_F(UsbPortSelectionTest, RetryLooksForPortsThatAppearedMeanwhile) {
    // The list was made before the printer was plugged in; its port exists by the time the
    // user presses Retry. (Searching the same empty list again would only show the box again.)
    sim::spooler::SetPrinterOnlineAt("USB003");
    sim::ui::AnswerMessageBox("Failed to select usb port", ui::id::Retry);
    RecordingDialog dialog;
    Select(dialog, {});
    EXPECT_EQ(sim::ui::MessageBoxes().size(), 1u);
    EXPECT_EQ(SpoolerPort(), "USB003");
    EXPECT_EQ(progress, (std::vector<int>{50, 60, 50, 60, 50, 60, 70, 80}));
}

TEST_F(UsbPortSelectionTest, AFlagThatCannotBeReadIsReportedAndCountsAsOffline) {
    sim::spooler::SetPrinterOnlineAt("USB001");
    sim::FailCall("RegQueryValueExA", sys::err::AccessDenied, 1);
    sim::spooler::SetPrinterOnlineAt("USB002");
    sim::ui::AnswerMessageBox("Failed to read Registry", ui::id::Ok);
    RecordingDialog dialog;
    Select(dialog, {"USB001", "USB002"});
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failed to read Registry");
    EXPECT_EQ(boxes[0].caption, "Thermal Driver Setup");
    EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
    EXPECT_EQ(SpoolerPort(), "USB002");
    EXPECT_EQ(progress, (std::vector<int>{50, 60, 50, 60, 70, 80}));
}

TEST_F(UsbPortSelectionTest, AHardwareProfileKeyThatIsNotThereCountsAsOfflineWithoutAWord) {
    // As under Wine: the profile key is volatile, so the printer's own key cannot be made.
    sim::registry::DeleteKey("HKCC", kControlKey);
    sim::registry::SetVolatile("HKCC", "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers", true);
    sim::ui::AnswerMessageBox("Failed to select usb port", ui::id::Cancel);
    RecordingDialog dialog;
    Select(dialog, {"USB001", "USB002"});
    ASSERT_EQ(sim::ui::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::ui::MessageBoxes()[0].text, kNoPortOnline);
    EXPECT_EQ(SpoolerPort(), "USB002");
}

TEST_F(UsbPortSelectionTest, AStaleOnlineFlagIsClearedBeforeEachPortIsTried) {
    // The flag still says online from an earlier search; only the port with the device counts.
    sim::registry::SetDword("HKCC", kControlKey, "PrinterOnLine", 1);
    sim::spooler::SetPrinterOnlineAt("USB002");
    RecordingDialog dialog;
    Select(dialog, {"USB001", "USB002"});
    EXPECT_EQ(SpoolerPort(), "USB002");
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 2);
}

class UsbInstallTest : public installtest::InstallTest {};

TEST_F(UsbInstallTest, TheInstallButtonEndsOnFinishWithThePrinterOnItsOnlinePort) {
    AddUsbPort("USB001");
    AddUsbPort("USB002");
    sim::spooler::SetPrinterOnlineAt("USB002");
    RecordingDialog dialog;
    Install(dialog, 0, 1);

    EXPECT_EQ(installtest::Text(IDC_INSTALL), "&Finish");
    EXPECT_EQ(sim::registry::GetString("HKLM", kControlKey, "Port"), "USB002");
    EXPECT_EQ(sim::spooler::FindPrinter(kPrinter)->port, "USB002");
    const auto positions = sim::ui::Control(D, IDC_PROGRESS)->positions;
    ASSERT_GE(positions.size(), 7u);
    EXPECT_EQ(std::vector<int>(positions.end() - 8, positions.end()),
              (std::vector<int>{40, 50, 60, 50, 60, 70, 80, 100}));
    EXPECT_EQ(dialog.statuses.back(), "The installation is completed.");
    EXPECT_TRUE(installtest::Contains(dialog.statuses, "Checking  USB002 ...."));
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}
