// The receipt installation through the Install button on the simulated machine: files, driver
// record, printer, default printer, port choice, and every failure with its exact box.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "install/InstallReceiptPrinter.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/InstallTestSupport.h"

namespace {

using installtest::Contains;
using installtest::D;
using installtest::InstallEnabled;
using installtest::RecordingDialog;
using installtest::Text;

constexpr int kParallelDialog = IDD_PARALLEL_PORTS;
constexpr int kTcpipDialog = IDD_TCPIP_PORTS;
const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kTcpipMonitor = "Standard TCP/IP Port";

class ReceiptInstallTest : public installtest::InstallTest {
  protected:
    static std::optional<std::string> DefaultPrinter() {
        return sim::registry::GetString("HKCU", kWindowsKey, "Device");
    }
};

void ChooseParallelRow(int row) {
    sim::ui::SelectListRow(kParallelDialog, IDC_PORT_LIST, row);
    sim::ui::Click(kParallelDialog, IDC_PORTS_OK);
}

}  // namespace

TEST_F(ReceiptInstallTest, ParallelPortInstallAddsDriverPrinterAndDefault) {
    RecordingDialog dialog;
    Install(dialog, 5, 2, [] { ChooseParallelRow(1); });

    const auto drivers = sim::spooler::Drivers();
    ASSERT_EQ(drivers.size(), 1u);
    const auto& d = drivers[0];
    EXPECT_EQ(d.name, "TR-240 Series");
    EXPECT_EQ(d.environment, "Windows NT x86");
    EXPECT_EQ(d.version, 3u);
    EXPECT_EQ(d.dependentFiles.size(), 4u);
    EXPECT_TRUE(d.monitorName.empty());
    EXPECT_EQ(d.defaultDataType, "RAW");

    const auto printer = sim::spooler::FindPrinter("TR-240 Series");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "LPT2:");
    EXPECT_EQ(printer->driver, "TR-240 Series");
    EXPECT_EQ(printer->printProcessor, "WinPrint");
    EXPECT_EQ(printer->datatype, "RAW");
    EXPECT_EQ(DefaultPrinter(), "TR-240 Series,winspool,LPT2:");

    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
    EXPECT_TRUE(InstallEnabled());
    EXPECT_FALSE(sim::ui::Control(D, ui::id::Cancel)->enabled);
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 100);
    EXPECT_EQ(dialog.statuses.back(), "The installation is completed.");
    const std::string dir = sim::spooler::DriverDirectory("Windows NT x86");
    for (const std::string& status :
         {dir + "\\TRRNDR.DLL", dir + "\\TR240.GPD", dir + "\\uniDRVui.DLL", dir + "\\STDNAMES.GPD",
          std::string("Adding printer drive TR-240 Series"),
          std::string("Driver TR-240 Series is added"),
          std::string("Added the printer TR-240 Series"),
          std::string("Set the printer TR-240 Series to default printer")}) {
        EXPECT_TRUE(Contains(dialog.statuses, status)) << status;
    }
    // The copies in the driver directory are gone once the spooler has its own.
    EXPECT_FALSE(Exists(dir + "\\TRRNDR.DLL"));
    EXPECT_FALSE(Exists(dir + "\\uniDRV.DLL"));
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

// The third module goes with the combo text "ZR90Q Series" in group 2, whichever section the
// catalogue gives that name.
TEST_F(ReceiptInstallTest, TheDependentFilesListEndsWithTheModuleOfTheModelsGroup) {
    struct Case {
        int model;
        std::map<int, std::string> renamed;
        std::string module;
    };
    const std::map<int, std::string> moved = {{16, "ZR90Q Series"}, {20, "ZR90Q"}};
    const std::vector<Case> cases = {
        {20, {}, "ZRQRNDR.DLL"},
        {16, moved, "ZRQRNDR.DLL"},
        {20, moved, "ZRRNDR.DLL"},
        {5, {{5, "ZR90Q Series"}, {20, "ZR90Q"}}, "TRRNDR.DLL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        WriteCatalogue(c.renamed);
        RecordingDialog dialog;
        Install(dialog, c.model, 2, [] { ChooseParallelRow(0); });
        const auto drivers = sim::spooler::Drivers();
        ASSERT_EQ(drivers.size(), 1u);
        EXPECT_EQ(drivers[0].name, catalog::ReceiptDriverName(c.model));
        // The spooler names them in its version directory.
        const std::string dir = sim::spooler::DriverDirectory("Windows NT x86") + "\\3\\";
        EXPECT_EQ(drivers[0].dependentFiles,
                  (std::vector<std::string>{dir + "ttfsub.GPD", dir + "unires.DLL",
                                            dir + "stdnames.GPD", dir + c.module}));
    }
    RecordingDialog dialog;
    dialog.installation.receiptGroup1Size = catalog::kReceiptGroupSizes[0];
    dialog.installation.receiptGroup2Size = catalog::kReceiptGroupSizes[1];
    dialog.installation.receiptGroup3Size = catalog::kReceiptGroupSizes[2];
    EXPECT_EQ(install::ReceiptModuleRow(dialog.installation, 0, "TR-210 Series"), 0);
    EXPECT_EQ(install::ReceiptModuleRow(dialog.installation, 19, "ZR90 Series"), 1);
    EXPECT_EQ(install::ReceiptModuleRow(dialog.installation, 20, "ZR90Q Series"), 2);
    EXPECT_EQ(install::ReceiptModuleRow(dialog.installation, 21, "ZR100 Series"), 1);
    EXPECT_EQ(install::ReceiptModuleRow(dialog.installation, 22, "TR-510 Series"), 3);
    EXPECT_EQ(install::ReceiptModuleRow(dialog.installation, 29, "TR-730M Mobile"), 4);
}

TEST_F(ReceiptInstallTest, SixtyFourBitWindowsAsksBothDirectoriesAndUsesTheX64One) {
    sim::SetWow64(true, true);
    RecordingDialog dialog;
    Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(sim::CallCount("GetPrinterDriverDirectoryA"), 2);
    const auto drivers = sim::spooler::Drivers();
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_EQ(drivers[0].environment, "Windows x64");
    EXPECT_TRUE(
        Contains(dialog.statuses, sim::spooler::DriverDirectory("Windows x64") + "\\TRRNDR.DLL"));
}

TEST_F(ReceiptInstallTest, AnExistingPrinterIsPurgedDeletedAndAddedAgainAfterSayingSo) {
    sim::spooler::Driver old;
    old.name = "Old driver";
    old.environment = "Windows NT x86";
    sim::spooler::AddDriver(old);
    sim::spooler::Printer existing;
    existing.name = "TR-210 Series";
    existing.port = "LPT3:";
    existing.driver = "Old driver";
    sim::spooler::AddPrinter(existing);
    RecordingDialog dialog;
    Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
    const auto printer = sim::spooler::FindPrinter("TR-210 Series");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "LPT1:");
    EXPECT_EQ(printer->driver, "TR-210 Series");
    EXPECT_EQ(sim::CallCount("SetPrinterA"), 1);
    EXPECT_EQ(sim::CallCount("DeletePrinter"), 1);
    auto said = std::find(dialog.statuses.begin(), dialog.statuses.end(),
                          "The printer TR-210 Series exists,Re-adding the printer...");
    auto added = std::find(dialog.statuses.begin(), dialog.statuses.end(),
                           "Added the printer TR-210 Series");
    EXPECT_LT(said, added);
    EXPECT_NE(added, dialog.statuses.end());
}

TEST_F(ReceiptInstallTest, WithoutDefaultPrinterNothingIsWrittenButTheStatusStillShows) {
    const auto before = DefaultPrinter();
    RecordingDialog dialog;
    sim::ui::WaitUntil(D, InstallEnabled, "ready");
    sim::ui::ClickCheck(D, IDC_SET_DEFAULT);
    Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(DefaultPrinter(), before);
    EXPECT_EQ(sim::CallCount("RegSetValueExA"), 0);
    EXPECT_TRUE(Contains(dialog.statuses, "Set the printer TR-210 Series to default printer"));
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(ReceiptInstallTest, AFailedDefaultPrinterWriteIsReportedAndTheInstallationGoesOn) {
    sim::FailCall("RegSetValueExA", sys::err::AccessDenied);
    sim::ui::AnswerMessageBox("Failed to set regist", ui::id::Ok);
    RecordingDialog dialog;
    Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Error\xA3\xBA"
              "Failed to set regist");
    EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(ReceiptInstallTest, AFailedDriverOffersRetryWhichLeavesReinstall) {
    std::filesystem::remove(sim::HostPath("C:\\Ticket\\x86\\TR210.GPD"));
    const std::string dir = sim::spooler::DriverDirectory("Windows NT x86");
    WriteFile(dir + "\\UNIRES.DLL", "another driver's");
    sim::ui::AnswerMessageBox("Failed to add the driver", ui::id::Retry);
    RecordingDialog dialog;
    Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Failed to add the driver 2\r\n\r\nClick Retry:You can retry\r\nClick "
              "Cancel\xA3\xBA"
              "exit and abort installation");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].flags, ui::mb::RetryCancel);
    EXPECT_EQ(Text(IDC_INSTALL), "Reinstall");
    EXPECT_TRUE(InstallEnabled());
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 0);
    EXPECT_TRUE(sim::spooler::Printers().empty());
    // Nothing of ours is left in the spooler's directory, and nothing that was there went.
    EXPECT_FALSE(Exists(dir + "\\uniDRV.DLL"));
    EXPECT_TRUE(Exists(dir + "\\UNIRES.DLL"));
}

TEST_F(ReceiptInstallTest, CancelOnTheDriverFailureClosesTheProgram) {
    sim::FailCall("AddPrinterDriverExA", sys::err::AccessDenied);
    sim::ui::AnswerMessageBox("Failed to add the driver 5", ui::id::Cancel);
    RecordingDialog dialog;
    sim::ui::WaitUntil(D, InstallEnabled, "ready");
    sim::ui::SelectListRow(D, IDC_PORT_TYPES, 2);
    sim::ui::Click(D, IDC_INSTALL);
    ChooseParallelRow(0);
    EXPECT_EQ(dialog.DoModal(), ui::id::Ok);
    EXPECT_FALSE(Exists("C:\\Ticket"));  // the clean-up ran
}

TEST_F(ReceiptInstallTest, AddPrinterFailuresShowTheirBoxes) {
    struct Case {
        sys::Dword error;
        std::string text, caption, button;
    };
    const std::vector<Case> cases = {
        {sys::err::ModNotFound, "Missing system flies,please repair system", "Prompt", "Reinstall"},
        {sys::err::AccessDenied, "Error AddPrinter 5", "Error prompt", "&Install"},
        {sys::err::UnknownPort,
         "There's no printer port LPT1:,please select other type of port and reinstall", "Prompt",
         "Reinstall"},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        sim::FailCall("AddPrinterA", c.error, 2);
        sim::ui::AnswerMessageBox(c.text, ui::id::Ok);
        RecordingDialog dialog;
        Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
        const auto boxes = sim::ui::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.text;
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
        EXPECT_EQ(Text(IDC_INSTALL), c.button);
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 0);
        EXPECT_TRUE(sim::spooler::Printers().empty());
    }
}

TEST_F(ReceiptInstallTest, AnUnknownPortIsTriedOnceMoreAndASecondSuccessFinishes) {
    sim::FailCall("AddPrinterA", sys::err::UnknownPort, 1);
    RecordingDialog dialog;
    Install(dialog, 0, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(sim::CallCount("AddPrinterA"), 2);
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 1);  // the restart after the miss
    EXPECT_TRUE(sim::spooler::FindPrinter("TR-210 Series"));
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(ReceiptInstallTest, UnknownPortOnSerialAndUsbNamesTheMissingKind) {
    for (int type : {0, 1}) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        // Ports the spooler does not know: the first guesses of both lists.
        sim::registry::SetString("HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial9",
                                 "COM9");
        sim::spooler::AddPort({"USB007", "Gone", "Virtual printer port for USB"});
        sim::FailCall("AddPrinterA", sys::err::UnknownPort, 2);
        const std::string text =
            type == 0 ? "There's no serialport,please select other type of port and reinstall"
                      : "There's no USB port,please make sure printer is connected or select "
                        "other type of port";
        sim::ui::AnswerMessageBox(text, ui::id::Ok);
        RecordingDialog dialog;
        Install(dialog, 0, type);
        ASSERT_EQ(sim::ui::MessageBoxes().size(), 1u) << type;
        EXPECT_EQ(sim::ui::MessageBoxes()[0].caption, "Prompt");
        EXPECT_EQ(Text(IDC_INSTALL), "Reinstall");
    }
}

TEST_F(ReceiptInstallTest, TcpipWithoutPortsRunsTheWizardAndInstallsOnTheNewPort) {
    sim::spooler::ScriptAddPort("IP_10.0.0.7");
    RecordingDialog dialog;
    Install(dialog, 0, 3);
    EXPECT_EQ(sim::spooler::AddPortDialogsShown(), 1);
    const auto printer = sim::spooler::FindPrinter("TR-210 Series");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "IP_10.0.0.7");
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(ReceiptInstallTest, ACancelledOrEmptyPortChoiceEndsTheAttemptWithInstallEnabled) {
    // The wizard cancelled; the parallel dialog's Cancel, Ok with no row, Enter and Escape.
    const std::vector<std::function<void()>> endings = {
        [] { sim::spooler::ScriptAddPort(std::nullopt); },
        [] { sim::ui::Click(kParallelDialog, IDC_PORTS_CANCEL); },
        [] {
            sim::ui::SelectListRow(kParallelDialog, IDC_PORT_LIST, -1);
            sim::ui::Click(kParallelDialog, IDC_PORTS_OK);
        },
        [] { sim::ui::PressEnter(kParallelDialog); },
        [] { sim::ui::PressEscape(kParallelDialog); },
    };
    for (std::size_t i = 0; i < endings.size(); ++i) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        RecordingDialog dialog;
        if (i == 0) {
            endings[i]();
            Install(dialog, 0, 3);
        } else {
            Install(dialog, 0, 2, endings[i]);
        }
        EXPECT_TRUE(InstallEnabled()) << i;
        EXPECT_EQ(Text(IDC_INSTALL), "&Install") << i;
        EXPECT_TRUE(sim::spooler::Drivers().empty()) << i;
        EXPECT_TRUE(sim::spooler::Printers().empty()) << i;
        // Cancel goes after any install command, whatever its outcome.
        EXPECT_FALSE(sim::ui::Control(D, ui::id::Cancel)->enabled) << i;
    }
}

// The printer goes on the port the chosen row shows, whichever list that port sits in.
TEST_F(ReceiptInstallTest, ThePortDialogsRowNamesThePort) {
    struct Case {
        int portType;
        std::vector<std::string> ports;  // in enumeration order; "*" marks a TCP/IP description
        int row;
        std::string port;
    };
    const std::vector<Case> cases = {
        {3, {"IP_10.0.0.1*", "IP_10.0.0.2*"}, 1, "IP_10.0.0.2"},
        {3, {"IP_10.0.0.1*", "USB003*", "IP_10.0.0.2*", "IP_10.0.0.3*"}, 2, "IP_10.0.0.2"},
        {2, {"LPT1:", "LPT_NET*", "LPT2:", "LPT3:"}, 1, "LPT_NET"},
        {2, {"LPT1:", "LPT_NET*", "LPT2:", "LPT3:"}, 2, "LPT2:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        for (const auto& port : sim::spooler::Ports()) {
            sim::spooler::RemovePort(port.name);
        }
        for (const std::string& port : c.ports) {
            if (port.back() == '*') {
                sim::spooler::AddPort(
                    {port.substr(0, port.size() - 1), kTcpipMonitor, kTcpipMonitor});
            } else {
                sim::spooler::AddPort({port, "Local Port", "Local Port"});
            }
        }
        const int dialogId = c.portType == 3 ? kTcpipDialog : kParallelDialog;
        RecordingDialog dialog;
        Install(dialog, 0, c.portType, [&] {
            sim::ui::SelectListRow(dialogId, IDC_PORT_LIST, c.row);
            sim::ui::Click(dialogId, IDC_PORTS_OK);
        });
        const auto printer = sim::spooler::FindPrinter("TR-210 Series");
        ASSERT_TRUE(printer);
        EXPECT_EQ(printer->port, c.port);
    }
}
