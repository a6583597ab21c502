// The label installation through the Install button on the simulated machine: the language
// monitor (replaced, kept, refused), the label driver record, the printer, the 64-bit case, and
// every failure with its exact box; then every model of the catalogue installed once.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "install/DriverSteps.h"
#include "install/InstallLabelPrinter.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "res/resource.h"
#include "tests/unit/InstallTestSupport.h"

namespace {

using installtest::ChooseParallelRow;
using installtest::D;
using installtest::DriverFailedText;
using installtest::InstallEnabled;
using installtest::RecordingDialog;
using installtest::Text;

constexpr int kFirstLabel = catalog::kReceiptModelCount;
const char* const kMonitor = "Advanced Language Monitor";
const char* const kX86 = "Windows NT x86";
const char* const kX64 = "Windows x64";
const char* const kMonitorFailed = "Failed to add Monitor\r\n";

// The 28 dependent names the spooler records, in its version directory.
std::vector<std::string> InstalledDependents(bool x64, const std::string& stem) {
    const std::string dir = sim::spooler::DriverDirectory(x64 ? kX64 : kX86) + "\\3\\";
    std::vector<std::string> names;
    for (const char* file : catalog::LabelFiles(x64).subspan(3)) {
        names.push_back(dir + file);
    }
    names.push_back(dir + stem + ".BA0");
    return names;
}

class LabelInstallTest : public installtest::InstallTest {
  protected:
    static std::vector<std::string> DriverDirectoryFiles(bool x64) {
        std::vector<std::string> names;
        const auto dir = sim::HostPath(sim::spooler::DriverDirectory(x64 ? kX64 : kX86));
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.is_regular_file()) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    static void OldMonitor() {
        sim::spooler::AddMonitor({kMonitor, kX86, "C:\\Windows\\system32\\oldmon.dll"});
    }

    static std::size_t IndexOf(const std::vector<std::string>& list, const std::string& item) {
        return static_cast<std::size_t>(std::find(list.begin(), list.end(), item) - list.begin());
    }
};

TEST_F(LabelInstallTest, ParallelPortInstallAddsMonitorDriverAndPrinterInOrder) {
    RecordingDialog dialog;
    sys::Dword sleptBefore = 0;
    sim::ui::WaitUntil(D, InstallEnabled, "ready");
    sim::ui::Call(D, [&] { sleptBefore = sim::TotalSleep(); });
    Install(dialog, kFirstLabel + 1, 2, [] { ChooseParallelRow(1); });

    const auto monitors = sim::spooler::Monitors();
    auto monitor = std::find_if(monitors.begin(), monitors.end(),
                                [](const auto& m) { return m.name == kMonitor; });
    ASSERT_NE(monitor, monitors.end());
    EXPECT_EQ(monitor->environment, kX86);
    EXPECT_EQ(monitor->dllName, "C:\\Windows\\system32\\qlvMONNT.dll");
    EXPECT_TRUE(Exists("C:\\Windows\\system32\\qlvMONNT.dll"));

    const auto drivers = sim::spooler::Drivers();
    ASSERT_EQ(drivers.size(), 1u);
    const auto& d = drivers[0];
    const std::string dir = sim::spooler::DriverDirectory(kX86);
    EXPECT_EQ(d.name, "LB-300 Label");
    EXPECT_EQ(d.environment, kX86);
    EXPECT_EQ(d.version, 3u);
    EXPECT_EQ(d.driverPath, dir + "\\3\\QLVDRV50.DLL");
    EXPECT_EQ(d.dataFile, dir + "\\3\\LB300.DAT");
    EXPECT_EQ(d.configFile, dir + "\\3\\QLVUI50.DLL");
    EXPECT_EQ(d.helpFile, dir + "\\3\\THERMAL.chm");
    EXPECT_EQ(d.dependentFiles, InstalledDependents(false, "LB300"));
    EXPECT_EQ(d.monitorName, kMonitor);
    EXPECT_EQ(d.defaultDataType, "RAW");

    const auto printer = sim::spooler::FindPrinter("LB-300 Label");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "LPT2:");
    EXPECT_EQ(printer->driver, "LB-300 Label");
    EXPECT_EQ(printer->printProcessor, "WinPrint");
    EXPECT_EQ(printer->datatype, "RAW");

    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
    EXPECT_TRUE(InstallEnabled());
    EXPECT_FALSE(sim::ui::Control(D, ui::id::Cancel)->enabled);
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 100);
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
    // The pause before the end is the label path's own; nothing else here sleeps.
    EXPECT_EQ(sim::TotalSleep() - sleptBefore, 100u);

    // The status line: the monitor's destination, its addition, each of the 30 + 3 copies in
    // order, then the driver and printer steps.
    std::vector<std::string> expected = {"C:\\Windows\\system32\\qlvMONNT.dll",
                                         "Advanced Language Monitor is added"};
    for (const char* file : catalog::LabelFiles(false)) {
        expected.push_back(dir + "\\" + file);
    }
    for (const char* file : {"THERMAL.chm", "LB300.BA0", "LB300.DAT"}) {
        expected.push_back(dir + "\\" + file);
    }
    for (const char* text :
         {"Adding printer drive LB-300 Label", "Driver LB-300 Label is added",
          "Added the printer LB-300 Label", "Set the printer LB-300 Label to default printer",
          "The installation is completed."}) {
        expected.emplace_back(text);
    }
    const auto first = IndexOf(dialog.statuses, expected[0]);
    ASSERT_LT(first + expected.size(), dialog.statuses.size() + 1);
    EXPECT_EQ(std::vector<std::string>(dialog.statuses.begin() + static_cast<long>(first),
                                       dialog.statuses.end()),
              expected);
    // Every copy in the driver directory is removed once the spooler has its own.
    EXPECT_TRUE(DriverDirectoryFiles(false).empty());
}

TEST_F(LabelInstallTest, AMonitorAlreadyPresentIsDeletedFirstAndTheSpoolerRestarted) {
    OldMonitor();
    RecordingDialog dialog;
    Install(dialog, kFirstLabel, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(sim::CallCount("DeleteMonitorA"), 1);
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 1);
    const auto monitors = sim::spooler::Monitors();
    auto monitor = std::find_if(monitors.begin(), monitors.end(),
                                [](const auto& m) { return m.name == kMonitor; });
    ASSERT_NE(monitor, monitors.end());
    EXPECT_EQ(monitor->dllName, "C:\\Windows\\system32\\qlvMONNT.dll");
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(LabelInstallTest, NoRestartWhenThereWasNoMonitorToDelete) {
    RecordingDialog dialog;
    Install(dialog, kFirstLabel, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(sim::CallCount("DeleteMonitorA"), 1);
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 0);
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(LabelInstallTest, AMonitorThatWillNotGoIsKeptAndItsAlreadyInstalledCountsAsSuccess) {
    OldMonitor();
    sim::FailCall("DeleteMonitorA", 3008);  // ERROR_PRINT_MONITOR_IN_USE
    RecordingDialog dialog;
    Install(dialog, kFirstLabel, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 0);
    EXPECT_EQ(sim::CallCount("AddMonitorA"), 1);
    const auto monitors = sim::spooler::Monitors();
    auto monitor = std::find_if(monitors.begin(), monitors.end(),
                                [](const auto& m) { return m.name == kMonitor; });
    ASSERT_NE(monitor, monitors.end());
    EXPECT_EQ(monitor->dllName, "C:\\Windows\\system32\\oldmon.dll");
    ASSERT_EQ(sim::spooler::Drivers().size(), 1u);
    EXPECT_EQ(sim::spooler::Drivers()[0].monitorName, kMonitor);
    EXPECT_TRUE(sim::spooler::FindPrinter("LB-200 Label"));
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(LabelInstallTest, SixtyFourBitWindowsUsesTheX64ListAndSysWow64) {
    sim::SetWow64(true, true);
    RecordingDialog dialog;
    Install(dialog, kFirstLabel + 4, 2, [] { ChooseParallelRow(0); });
    EXPECT_EQ(sim::CallCount("GetPrinterDriverDirectoryA"), 2);
    EXPECT_EQ(sim::CallCount("GetSystemDirectoryA"), 0);
    const std::string module = "C:\\Windows\\SysWOW64\\qlvMON64.dll";
    EXPECT_TRUE(Exists(module));
    EXPECT_FALSE(Exists("C:\\Windows\\system32\\qlvMON64.dll"));
    const auto monitors = sim::spooler::Monitors();
    auto monitor = std::find_if(monitors.begin(), monitors.end(),
                                [](const auto& m) { return m.name == kMonitor; });
    ASSERT_NE(monitor, monitors.end());
    EXPECT_EQ(monitor->environment, kX64);
    EXPECT_EQ(monitor->dllName, module);

    const auto drivers = sim::spooler::Drivers();
    ASSERT_EQ(drivers.size(), 1u);
    const std::string dir = sim::spooler::DriverDirectory(kX64);
    EXPECT_EQ(drivers[0].name, "TR-730M Label");
    EXPECT_EQ(drivers[0].environment, kX64);
    EXPECT_EQ(drivers[0].driverPath, dir + "\\3\\QLVDRV56.DLL");
    EXPECT_EQ(drivers[0].configFile, dir + "\\3\\QLVUI56.DLL");
    EXPECT_EQ(drivers[0].dataFile, dir + "\\3\\TR730M.DAT");
    EXPECT_EQ(drivers[0].dependentFiles, InstalledDependents(true, "TR730M"));
    EXPECT_EQ(std::count(dialog.statuses.begin(), dialog.statuses.end(), dir + "\\QLVENG56.DLL"),
              1);
    EXPECT_TRUE(DriverDirectoryFiles(true).empty());
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(LabelInstallTest, TheDependentListHoldsTheLanguagesAndTheBa0Only) {
    for (bool x64 : {false, true}) {
        const auto files = catalog::LabelFiles(x64);
        for (int label = 0; label < catalog::kLabelModelCount; ++label) {
            const std::string stem(catalog::LabelDataStem(label));
            const auto names = install::LabelDependentFiles(x64, label);
            ASSERT_EQ(names.size(), 28u);
            for (std::size_t i = 0; i < 27; ++i) {
                EXPECT_EQ(names[i], std::string("\\") + files[3 + i]);
            }
            EXPECT_EQ(names[27], "\\" + stem + ".BA0");
            for (const std::string& absent :
                 {std::string("\\") + files[0], std::string("\\") + files[1],
                  std::string("\\") + files[2], "\\" + stem + ".DAT",
                  std::string("\\THERMAL.chm")}) {
                EXPECT_EQ(std::count(names.begin(), names.end(), absent), 0) << absent;
            }
            // All 28 fit the 500-byte list with its double NUL.
            install::NameList<500> list;
            for (const auto& name : names) {
                EXPECT_TRUE(list.Add(name)) << name;
            }
            EXPECT_LT(list.Used(), 500u);
        }
    }
}

TEST(NameList, RefusesWhatWouldNotLeaveRoomForTheFinalNul) {
    install::NameList<10> list;
    EXPECT_TRUE(list.Add("\\abc"));  // 5 bytes with its NUL
    // 5 more would fill the buffer and leave no byte for the list's final NUL.
    EXPECT_FALSE(list.Add("\\abd"));
    EXPECT_FALSE(list.Add(""));     // would end the list early
    EXPECT_TRUE(list.Add("\\ab"));  // 5 + 4 + the final NUL = 10
    EXPECT_FALSE(list.Add("x"));
    EXPECT_EQ(list.Used(), 9u);
    const char* data = list.Data();
    EXPECT_EQ(std::string(data, 10), std::string("\\abc\0\\ab\0\0", 10));
}

TEST_F(LabelInstallTest, AMonitorThatCannotBeAddedClosesTheProgramWithNothingLeft) {
    struct Case {
        std::string name;
        std::function<void()> cause;
    };
    const std::vector<Case> cases = {
        {"module missing (126)",
         [] { std::filesystem::remove(sim::HostPath("C:\\Barcode\\x86\\qlvMONNT.dll")); }},
        {"not a monitor (127)", [] { WriteFile("C:\\Barcode\\x86\\qlvMONNT.dll", "MZ"); }},
        {"access denied", [] { sim::FailCall("AddMonitorA", sys::err::AccessDenied); }},
        // A link is never a copy source: its target could be any file.
        {"module a link (126)",
         [] {
             WriteFile("C:\\Users\\Public\\mine.dll", "MZ ... InitializePrintMonitor2 ...");
             const auto module = sim::HostPath("C:\\Barcode\\x86\\qlvMONNT.dll");
             std::filesystem::remove(module);
             std::filesystem::create_symlink(sim::HostPath("C:\\Users\\Public\\mine.dll"), module);
         }},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        c.cause();
        sim::ui::AnswerMessageBox("Failed to add Monitor", ui::id::Ok);
        RecordingDialog dialog;
        EXPECT_EQ(Install(
                      dialog, kFirstLabel, 2, [] { ChooseParallelRow(0); }, false),
                  ui::id::Ok)
            << c.name;
        const auto boxes = sim::ui::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].text, kMonitorFailed);
        EXPECT_EQ(boxes[0].caption, "Thermal Driver Setup");
        EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
        EXPECT_EQ(sim::CallCount("AddPrinterDriverExA"), 0) << c.name;
        EXPECT_TRUE(sim::spooler::Drivers().empty()) << c.name;
        EXPECT_TRUE(sim::spooler::Printers().empty()) << c.name;
        EXPECT_EQ(sim::spooler::Monitors().size(), 2u) << c.name;  // the two of a fresh spooler
        EXPECT_FALSE(Exists("C:\\Windows\\system32\\qlvMONNT.dll")) << c.name;
        EXPECT_TRUE(DriverDirectoryFiles(false).empty()) << c.name;
        EXPECT_FALSE(Exists("C:\\Barcode")) << c.name;  // the clean-up ran
    }
}

TEST_F(LabelInstallTest, AModuleAlreadyInTheSystemDirectoryStaysWhenTheMonitorFails) {
    WriteFile("C:\\Windows\\system32\\qlvMONNT.dll", "someone else's");
    sim::FailCall("AddMonitorA", sys::err::AccessDenied);
    sim::ui::AnswerMessageBox("Failed to add Monitor", ui::id::Ok);
    RecordingDialog dialog;
    EXPECT_EQ(Install(
                  dialog, kFirstLabel, 2, [] { ChooseParallelRow(0); }, false),
              ui::id::Ok);
    EXPECT_TRUE(Exists("C:\\Windows\\system32\\qlvMONNT.dll"));
}

TEST_F(LabelInstallTest, AFailedDriverOffersRetryAndTheSecondAttemptFinishes) {
    std::filesystem::remove(sim::HostPath("C:\\Barcode\\Common\\LB200.BA0"));
    // Another driver's files, overwritten by our copies but not ours to delete.
    const std::vector<std::string> theirs = {"QLVENG50.DLL", "THERMAL.chm"};
    for (const std::string& name : theirs) {
        WriteFile(sim::spooler::DriverDirectory(kX86) + "\\" + name, "another driver's");
    }
    sim::ui::AnswerMessageBox("Failed to add the driver", ui::id::Retry);
    RecordingDialog dialog;
    Install(dialog, kFirstLabel, 2, [&] {
        ChooseParallelRow(0);
        sim::ui::Call(D, [&] {
            const auto boxes = sim::ui::MessageBoxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, DriverFailedText(2));
            EXPECT_EQ(boxes[0].caption, "Error");
            EXPECT_EQ(boxes[0].flags, ui::mb::RetryCancel);
            EXPECT_EQ(Text(IDC_INSTALL), "Reinstall");
            EXPECT_TRUE(InstallEnabled());
            EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 0);
            EXPECT_TRUE(sim::spooler::Printers().empty());
            auto left = DriverDirectoryFiles(false);
            std::sort(left.begin(), left.end());
            EXPECT_EQ(left, theirs);
            WriteFile("C:\\Barcode\\Common\\LB200.BA0", "ba0");
        });
        // Again: our own monitor is now the one deleted and added back.
        sim::ui::Click(D, IDC_INSTALL);
        ChooseParallelRow(0);
    });
    EXPECT_EQ(sim::CallCount("DeleteMonitorA"), 2);
    EXPECT_EQ(sim::service::StopRequests("Spooler"), 1);
    EXPECT_TRUE(sim::spooler::FindPrinter("LB-200 Label"));
    EXPECT_EQ(Text(IDC_INSTALL), "&Finish");
}

TEST_F(LabelInstallTest, CancelOnTheDriverFailureClosesTheProgram) {
    sim::FailCall("AddPrinterDriverExA", sys::err::AccessDenied);
    sim::ui::AnswerMessageBox("Failed to add the driver 5", ui::id::Cancel);
    RecordingDialog dialog;
    EXPECT_EQ(Install(
                  dialog, kFirstLabel, 2, [] { ChooseParallelRow(0); }, false),
              ui::id::Ok);
    EXPECT_TRUE(sim::spooler::Drivers().empty());
    EXPECT_FALSE(Exists("C:\\Barcode"));
}

TEST_F(LabelInstallTest, AddPrinterFailuresShowTheirBoxesWithoutASecondTry) {
    struct Case {
        int portType;
        sys::Dword error;
        std::string text, caption, button;
    };
    const std::vector<Case> cases = {
        {2, sys::err::ModNotFound, "Missing system flies,please repair system", "Prompt",
         "Reinstall"},
        {2, sys::err::AccessDenied, "Error AddPrinter 5", "Error prompt", "&Install"},
        {2, sys::err::UnknownPort,
         "There's no printer port LPT1:,please select other type of port and reinstall", "Prompt",
         "Reinstall"},
        {0, sys::err::UnknownPort,
         "There's no serialport,please select other type of port and reinstall", "Prompt",
         "Reinstall"},
        {1, sys::err::UnknownPort,
         "There's no USB port,please make sure printer is connected or select other type of "
         "port",
         "Prompt", "Reinstall"},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        sim::FailCall("AddPrinterA", c.error, 2);
        sim::ui::AnswerMessageBox(c.text, ui::id::Ok);
        RecordingDialog dialog;
        Install(dialog, kFirstLabel, c.portType,
                c.portType == 2 ? std::function<void()>([] { ChooseParallelRow(0); }) : nullptr);
        const auto boxes = sim::ui::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.text;
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
        EXPECT_EQ(Text(IDC_INSTALL), c.button);
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 0);
        // The label path neither tries again nor restarts the spooler nor lists the ports.
        EXPECT_EQ(sim::CallCount("AddPrinterA"), 1) << c.text;
        EXPECT_EQ(sim::service::StopRequests("Spooler"), 0) << c.text;
        EXPECT_TRUE(sim::spooler::Printers().empty());
    }
}

// Every model of the catalogue, receipt and label, through the Install button.
TEST_F(LabelInstallTest, EveryCatalogueModelInstallsItsDriverAndPrinter) {
    for (int model = 0; model < catalog::kModelCount; ++model) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        const bool label = model >= kFirstLabel;
        const std::string name(label ? catalog::LabelDriverName(model - kFirstLabel)
                                     : catalog::ReceiptDriverName(model));
        RecordingDialog dialog;
        Install(dialog, model, 2, [] { ChooseParallelRow(2); });
        const auto drivers = sim::spooler::Drivers();
        ASSERT_EQ(drivers.size(), 1u) << model;
        EXPECT_EQ(drivers[0].name, name);
        EXPECT_EQ(drivers[0].monitorName, label ? kMonitor : "") << model;
        const std::string dir = sim::spooler::DriverDirectory(kX86) + "\\3\\";
        if (label) {
            const std::string stem(catalog::LabelDataStem(model - kFirstLabel));
            EXPECT_EQ(drivers[0].dataFile, dir + stem + ".DAT");
            EXPECT_EQ(drivers[0].dependentFiles.back(), dir + stem + ".BA0");
        } else {
            EXPECT_EQ(drivers[0].dataFile,
                      dir + std::string(catalog::ReceiptGpdStem(model)) + ".GPD");
        }
        const auto printer = sim::spooler::FindPrinter(name);
        ASSERT_TRUE(printer) << model;
        EXPECT_EQ(printer->driver, name);
        EXPECT_EQ(printer->port, "LPT3:");
        EXPECT_EQ(Text(IDC_INSTALL), "&Finish") << model;
        EXPECT_TRUE(sim::ui::MessageBoxes().empty()) << model;
    }
}

}  // namespace
