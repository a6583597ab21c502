// The printer's port values in the spooler's registry keys: which keys get which value, the keys
// passed over, the hardware-profile key made, and one box for each write that failed.
#include <string>
#include <vector>

#include "install/SetPrinterPortRegistry.h"
#include "platform/Registry.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/PortTestSupport.h"

namespace {

const std::string kPrinter = "TR-210 Series";
const std::string kSoftware =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\" + kPrinter;
const std::string kDsSpooler = kSoftware + "\\DsSpooler";
const std::string kControlSet001 = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\" + kPrinter;
const std::string kCurrent = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + kPrinter;

class SetPrinterPortRegistryTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        // The printer as the spooler keeps it, on the port it was added on.
        sim::spooler::AddPrinter({kPrinter, "USB001", "TR-210 Series", "WinPrint", "RAW"});
        sim::registry::CreateKey("HKLM", kControlSet001);
        sim::registry::SetString("HKLM", kControlSet001, "Port", "USB001");
        sim::registry::SetString("HKLM", kDsSpooler, "portName", "USB001");
        sim::registry::SetString("HKLM", kSoftware, "Port", "USB001");
        sim::registry::SetDword("HKCC", kCurrent, "PrinterOnLine", 1);
    }

    // Runs the step with the port; the boxes it asked for are kept in `reports`.
    void Run(const std::string& port) {
        install::SetPrinterPortRegistry(
            kPrinter, port, [this](const std::string& text) { reports.push_back(text); });
        EXPECT_EQ(sim::registry::OpenKeyCount(), 0) << "a key was left open";
    }

    static std::optional<std::string> Port(const std::string& path,
                                           const std::string& name = "Port") {
        return sim::registry::GetString("HKLM", path, name);
    }

    static std::optional<sim::registry::Value> Online() {
        return sim::registry::GetValue("HKCC", kCurrent, "PrinterOnLine");
    }

    std::vector<std::string> reports;
};

}  // namespace

TEST_F(SetPrinterPortRegistryTest, WritesThePortInEveryKeyAndMarksThePrinterOffline) {
    Run("USB002");
    EXPECT_EQ(Port(kSoftware), "USB002");
    EXPECT_EQ(Port(kDsSpooler, "portName"), "USB002");
    EXPECT_EQ(Port(kControlSet001), "USB002");
    EXPECT_EQ(Port(kCurrent), "USB002");
    for (const auto& path : {kSoftware, kControlSet001, kCurrent}) {
        EXPECT_EQ(sim::registry::GetValue("HKLM", path, "Port")->type, sys::reg::Sz) << path;
    }
    ASSERT_TRUE(Online());
    EXPECT_EQ(Online()->type, sys::reg::Dword32);
    EXPECT_EQ(Online()->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(sim::CallCount("RegOpenKeyExA"), 4);
    EXPECT_EQ(sim::CallCount("RegSetValueExA"), 5);
}

TEST_F(SetPrinterPortRegistryTest, KeysThatAreMissingArePassedOverInSilenceAndNotMade) {
    // A system without ControlSet001, and a printer without its DsSpooler subkey.
    sim::registry::DeleteKey("HKLM", "SYSTEM\\ControlSet001");
    sim::registry::DeleteKey("HKLM", kDsSpooler);
    Run("USB002");
    EXPECT_FALSE(sim::registry::KeyExists("HKLM", "SYSTEM\\ControlSet001"));
    EXPECT_FALSE(sim::registry::KeyExists("HKLM", kDsSpooler));
    EXPECT_EQ(Port(kSoftware), "USB002");
    EXPECT_EQ(Port(kCurrent), "USB002");
    EXPECT_EQ(Online()->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(sim::CallCount("RegSetValueExA"), 3);
}

TEST_F(SetPrinterPortRegistryTest, AKeyThatWillNotOpenForWritingIsPassedOverInSilence) {
    sim::registry::SetKeyAccess("HKLM", kCurrent, sys::key::Read);
    Run("USB002");
    EXPECT_EQ(Port(kCurrent), "USB001");
    EXPECT_EQ(Port(kSoftware), "USB002");
    EXPECT_EQ(Port(kControlSet001), "USB002");
    EXPECT_TRUE(reports.empty());
}

TEST_F(SetPrinterPortRegistryTest, TheHardwareProfileKeyIsMadeWhenMissing) {
    sim::registry::DeleteKey("HKCC", kCurrent);
    Run("USB002");
    ASSERT_TRUE(Online());
    EXPECT_EQ(Online()->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(reports.empty());
}

TEST_F(SetPrinterPortRegistryTest, AHardwareProfileKeyThatCannotBeMadeIsPassedOverInSilence) {
    // 1021: what Wine gives for a non-volatile key under a volatile HKEY_CURRENT_CONFIG.
    sim::registry::DeleteKey("HKCC", kCurrent);
    sim::registry::SetVolatile("HKCC", "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers", true);
    Run("USB002");
    EXPECT_FALSE(sim::registry::KeyExists("HKCC", kCurrent));
    EXPECT_EQ(Port(kCurrent), "USB002");
    EXPECT_TRUE(reports.empty());
}

TEST_F(SetPrinterPortRegistryTest, EachFailedWriteIsReportedOnceAndTheOthersStillHappen) {
    sim::FailCall("RegSetValueExA", sys::err::AccessDenied, 1);
    Run("USB002");
    EXPECT_EQ(reports, std::vector<std::string>(1, "Failed to read Registry"));
    EXPECT_EQ(Port(kSoftware), "USB001");
    EXPECT_EQ(Port(kDsSpooler, "portName"), "USB002");
    EXPECT_EQ(Port(kControlSet001), "USB002");
    EXPECT_EQ(Port(kCurrent), "USB002");
    EXPECT_EQ(Online()->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_F(SetPrinterPortRegistryTest, EveryWriteFailingGivesFiveReportsAndClosesEveryKey) {
    sim::FailCall("RegSetValueExA", sys::err::AccessDenied, -1);
    Run("USB002");
    EXPECT_EQ(reports, std::vector<std::string>(5, "Failed to read Registry"));
    EXPECT_EQ(sim::CallCount("RegCloseKey"), 5);
    EXPECT_EQ(Port(kCurrent), "USB001");
}

TEST_F(SetPrinterPortRegistryTest, TheDialogShowsTheApplicationsBoxForEachFailedWrite) {
    sim::FailCall("RegSetValueExA", sys::err::AccessDenied, 2);
    sim::ui::AnswerMessageBox("Failed to read Registry", ui::id::Ok, 2);
    porttest::CountingDialog dialog;
    porttest::InMainDialog(dialog,
                           [&] { install::SetPrinterPortRegistry(dialog, kPrinter, "USB002"); });
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.text, "Failed to read Registry");
        EXPECT_EQ(box.caption, "Thermal Driver Setup");
        EXPECT_EQ(box.flags, ui::mb::Ok);
        EXPECT_TRUE(box.ownedByDialog);
    }
    EXPECT_EQ(Port(kControlSet001), "USB002");
    EXPECT_EQ(sim::registry::OpenKeyCount(), 0);
}
