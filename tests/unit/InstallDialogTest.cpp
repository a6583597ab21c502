// The main dialog end to end on the simulated platform: its start-up state, the worker's
// preparation, the form's behaviours, the install command's guards, and the clean-up on close.
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "app/InstallDialog.h"
#include "catalog/ArchiveExtractor.h"
#include "install/RunInstallation.h"
#include "platform/Clock.h"
#include "platform/Library.h"
#include "platform/Thread.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"
#ifdef HAVE_SEVENZIP_SIM
#include "tools/sevenzip/SimModule.h"
#endif

namespace {

constexpr int D = IDD_INSTALL;

bool InstallEnabled() {
    auto c = sim::ui::Control(D, IDC_INSTALL);
    return c && c->enabled;
}

void WaitForReady() {
    sim::ui::WaitUntil(D, InstallEnabled, "the worker to enable Install");
}

std::string StatusLine() {
    return sim::ui::Control(D, IDC_STATUS)->text;
}

const char* const kCatalogue =
    "[Receipt A]\nPrintName1=TR-210 Receipt\n"
    "[Receipt B]\nPrintName1=TR-220 Receipt\nPrintName2=TR-220 Kitchen\n"
    "[Receipt C]\nPrintName1=TR-230 Receipt\n";

}  // namespace

class InstallDialogTest : public SimTest {};

TEST_F(InstallDialogTest, StartsWithItsDefaultsAndBecomesReadyWithoutAPackage) {
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Close(D);
    EXPECT_EQ(dialog.DoModal(), ui::id::Cancel);

    EXPECT_EQ(sim::ui::Caption(D), "Configure & Install");
    EXPECT_EQ(sim::ui::Control(D, IDC_SET_DEFAULT)->check, 1);
    EXPECT_EQ(sim::ui::Control(D, IDC_DRIVER_COMBO)->items.size(), 0u);
    EXPECT_EQ(StatusLine(), "Current Systems is Microsoft Windows 7  32\xCE\xBB");
    EXPECT_EQ(sim::ui::Control(D, IDC_INSTALL)->text, "&Install");
    EXPECT_EQ(sim::ui::Control(D, ui::id::Cancel)->text, "&Cancel");

    auto list = *sim::ui::Control(D, IDC_PORT_TYPES);
    EXPECT_EQ(list.columns, (std::vector<std::string>{"Port", "Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{110, 450}));
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(
        list.rows[3].texts,
        (std::vector<std::string>{
            "TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"}));
    EXPECT_NE(list.rows[0].state & ui::ListView::StateSelected, 0u);
    EXPECT_EQ(list.extendedStyle & (ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect |
                                    ui::ListView::ExTrackSelect),
              ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect);

    EXPECT_EQ(dialog.installation.receiptGroup1Size + dialog.installation.receiptGroup2Size +
                  dialog.installation.receiptGroup3Size + dialog.installation.receiptGroup4Size,
              30);
    EXPECT_EQ(dialog.installation.labelModelCount, 5);
    EXPECT_EQ(dialog.installation.parity, 'N');
    EXPECT_EQ(dialog.installation.dataBits, 8);
    EXPECT_EQ(dialog.installation.stopBits, 1);
    EXPECT_EQ(dialog.installation.serialEventMask, 3);
    EXPECT_EQ(dialog.installation.baudRate, 0);
    EXPECT_EQ(dialog.installation.is64BitWindows, 0);
}

TEST_F(InstallDialogTest, InstallStaysDisabledUntilThePreparationIsDone) {
    // An archiver that holds the worker inside the extraction until the test lets it go.
    static std::mutex mu;
    static std::condition_variable cv;
    static bool release = false;
    release = false;
    sim::Module slow;
    slow.exports["SevenZip"] =
        reinterpret_cast<sys::ProcAddress>(+[](void*, const char*, char*, sys::Dword) -> int {
            std::unique_lock lock(mu);
            cv.wait(lock, [] { return release; });
            return 1;
        });
    sim::RegisterModule("7-zip32.dll", slow);
    WriteFile("C:\\7-zip32.dll", "dll");
    WriteFile("C:\\DriverData.Drv", "package");

    InstallDialog dialog;
    sim::ui::WaitUntil(
        D, [] { return StatusLine() == "Reading driver file..."; }, "unpacking");
    sim::ui::Call(D, [] {
        EXPECT_FALSE(InstallEnabled());
        std::lock_guard lock(mu);
        release = true;
        cv.notify_all();
    });
    WaitForReady();
    sim::ui::Close(D);
    dialog.DoModal();
    EXPECT_EQ(sim::LoadedModuleCount(), 0);  // unloaded after the extraction
}

TEST_F(InstallDialogTest, WithoutAWorkerThreadThePreparationStillRuns) {
    WriteFile("C:\\DriverName.cfg", kCatalogue);
    sim::FailCall("CreateThread", 8 /* ERROR_NOT_ENOUGH_MEMORY */);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Close(D);
    dialog.DoModal();
    EXPECT_EQ(sim::ui::Control(D, IDC_DRIVER_COMBO)->items.size(), 4u);
    EXPECT_EQ(StatusLine().rfind("Current Systems is ", 0), 0u);
}

TEST_F(InstallDialogTest, ChoosingADriverOverwritesThePrinterName) {
    WriteFile("C:\\DriverName.cfg", kCatalogue);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Call(D, [] {
        auto combo = *sim::ui::Control(D, IDC_DRIVER_COMBO);
        EXPECT_EQ(combo.items, (std::vector<std::string>{"TR-210 Receipt", "TR-220 Receipt",
                                                         "TR-220 Kitchen", "TR-230 Receipt"}));
        EXPECT_EQ(combo.curSel, 0);
        EXPECT_EQ(sim::ui::Control(D, IDC_PRINTER_NAME)->text, "TR-210 Receipt");
    });
    sim::ui::TypeText(D, IDC_PRINTER_NAME, "Front desk");
    sim::ui::SelectCombo(D, IDC_DRIVER_COMBO, 2);
    sim::ui::Close(D);
    dialog.DoModal();
    EXPECT_EQ(sim::ui::Control(D, IDC_PRINTER_NAME)->text, "TR-220 Kitchen");
}

TEST_F(InstallDialogTest, StatusAndSerialMessagesFromOtherThreadsReachTheDialog) {
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Call(D, [&] {
        dialog.installation.serialSearch.portNumber = 3;  // the port being probed
        sys::Thread other;
        other.Start([&] {
            dialog.ShowStatus("Checking COM3:");
            dialog.SendMessageA(InstallDialog::kSerialDataMessage, 0x41, 3);
        });
        EXPECT_TRUE(dialog.WaitForThread(other, 10000));
        // The send was synchronous: the line shows the text before the sender went on.
        EXPECT_EQ(StatusLine(), "Checking COM3:");
        EXPECT_EQ(dialog.installation.serialResponseSeen, 1);
    });
    sim::ui::Close(D);
    dialog.DoModal();
}

TEST_F(InstallDialogTest, CloseBoxCancelsAndRemovesTheUnpackedFiles) {
    WriteFile("C:\\Barcode\\x86\\qlvMONNT.dll", "m");
    WriteFile("C:\\Ticket\\x64\\TR240.GPD", "g");
    WriteFile("C:\\DriverName.cfg", kCatalogue);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Close(D);
    EXPECT_EQ(dialog.DoModal(), ui::id::Cancel);
    EXPECT_FALSE(Exists("C:\\Barcode"));
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
}

TEST_F(InstallDialogTest, CancelBeforeThePackageWasUnpackedStillCleansUp) {
    WriteFile("C:\\Ticket\\x86\\old.GPD", "left from an earlier run");
    {
        InstallDialog dialog;
        sim::ui::Click(D, ui::id::Cancel);
        EXPECT_EQ(dialog.DoModal(), ui::id::Cancel);
    }  // the worker may still prepare when the window goes: the clean-up follows its end
    EXPECT_FALSE(Exists("C:\\Ticket"));
}

TEST_F(InstallDialogTest, InstallWithoutDriverListSaysSoAndStaysAvailable) {
    sim::ui::AnswerMessageBox("No driver list was found", ui::id::Ok);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Click(D, IDC_INSTALL);
    sim::ui::Call(D, [] { EXPECT_TRUE(InstallEnabled()); });
    sim::ui::Close(D);
    dialog.DoModal();

    auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].scripted);
    EXPECT_NE(boxes[0].text.find("DriverData.Drv"), std::string::npos);
}

TEST_F(InstallDialogTest, InstallReadsTheFormPortTypeAndModel) {
    WriteFile("C:\\DriverName.cfg", kCatalogue);
    sim::ui::AnswerMessageBox("There is no available parallel port.", ui::id::Ok);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Call(D, [&] {
        dialog.installation.parallelPorts = {"LPT1:", "LPT2:"};
        dialog.installation.portName = "unchanged";
    });
    sim::ui::ClickCheck(D, IDC_SET_DEFAULT);
    sim::ui::SelectCombo(D, IDC_DRIVER_COMBO, 2);  // the second name of the second section
    sim::ui::SelectListRow(D, IDC_PORT_TYPES, 2);
    sim::ui::Click(D, IDC_INSTALL);
    // The form is read by the time the parallel port dialog asks for the port.
    sim::ui::Call(IDD_PARALLEL_PORTS, [&] {
        EXPECT_EQ(dialog.installation.setDefaultPrinter, 0);
        EXPECT_EQ(dialog.installation.portType, 2);
        EXPECT_EQ(dialog.installation.portName, "LPT1:");
        EXPECT_EQ(dialog.installation.selectedModel, 1);
    });
    sim::ui::Click(IDD_PARALLEL_PORTS, IDC_PORTS_CANCEL);
    // No row selected: the previous port type holds.
    sim::ui::SelectListRow(D, IDC_PORT_TYPES, 3);
    sim::ui::SelectListRow(D, IDC_PORT_TYPES, -1);
    sim::ui::Click(D, IDC_INSTALL);
    sim::ui::Call(IDD_PARALLEL_PORTS, [&] { EXPECT_EQ(dialog.installation.portType, 2); });
    sim::ui::Click(IDD_PARALLEL_PORTS, IDC_PORTS_CANCEL);
    // An empty list leaves the port alone.
    sim::ui::Call(D, [&] {
        dialog.installation.parallelPorts.clear();
        dialog.installation.portName = "kept";
    });
    sim::ui::Click(D, IDC_INSTALL);
    sim::ui::Call(D, [&] { EXPECT_EQ(dialog.installation.portName, "kept"); });
    sim::ui::Close(D);
    dialog.DoModal();
    EXPECT_EQ(sim::ui::TimesShown(IDD_PARALLEL_PORTS), 2);
    EXPECT_EQ(sim::ui::MessageBoxes().size(), 1u);
}

TEST_F(InstallDialogTest, FinishEndsTheProgramWithoutInstallingAgain) {
    WriteFile("C:\\DriverName.cfg", kCatalogue);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Call(D, [&] { dialog.installButton.SetWindowTextA("&Finish"); });
    sim::ui::Click(D, IDC_INSTALL);
    EXPECT_EQ(dialog.DoModal(), ui::id::Ok);
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
}

#ifdef HAVE_SEVENZIP_SIM
TEST_F(InstallDialogTest, ThePackageIsUnpackedAndItsCatalogueFillsTheList) {
    // A real package made with the 7z command, beside the program in C:\Setup.
    const std::string stage = sim::Root() + "/stage";
    WriteFile("C:\\stage\\DriverName.cfg", kCatalogue);
    WriteFile("C:\\stage\\Ticket\\x86\\TR240.GPD", "*GPDFileVersion: \"1.0\"");
    std::filesystem::create_directories(sim::HostPath("C:\\Setup"));
    const std::string archive = sim::HostPath("C:\\Setup") + "/DriverData.Drv";
    const std::string command =
        "cd '" + stage + "' && 7z a -t7z -bd '" + archive + "' . > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    WriteFile("C:\\Setup\\7-zip32.dll", "dll");
    sevenzip::RegisterSimModule();
    sim::SetCurrentDirectory("C:\\Setup");

    InstallDialog dialog;
    WaitForReady();
    sim::ui::Call(D, [&] {
        EXPECT_TRUE(Exists("C:\\Ticket\\x86\\TR240.GPD"));
        EXPECT_EQ(sim::ui::Control(D, IDC_DRIVER_COMBO)->items.size(), 4u);
    });
    sim::ui::Close(D);
    dialog.DoModal();
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
}
#endif

namespace {

// Holds the worker until the main window has gone; true when it went. A closing that waits for
// the worker would keep the window for ever: this gives up after 10 s.
bool HoldUntilTheWindowHasGone() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sim::ui::IsOpen(D) && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !sim::ui::IsOpen(D);
}

}  // namespace

TEST_F(InstallDialogTest, ClosingWhileUnpackingEndsTheWindowAtOnceAndCleansUpAfterTheExtraction) {
    // An archiver that writes part of the package to the private folder, holds the worker until
    // the window has gone, then takes 61 s more on the clock, longer than any bound of ours, and
    // writes the rest.
    static std::atomic<bool> goneWhileExtracting;
    static std::atomic<bool> partKept;
    goneWhileExtracting = false;
    partKept = false;
    sim::Module slow;
    slow.exports["SevenZip"] =
        reinterpret_cast<sys::ProcAddress>(+[](void*, const char*, char*, sys::Dword) -> int {
            const std::string staging = catalog::kStagingDir;
            WriteFile(staging + "\\DriverName.cfg", kCatalogue);
            goneWhileExtracting = HoldUntilTheWindowHasGone();
            sys::Sleep(61000);
            // A clean-up beside the extraction would have taken what was written before.
            partKept = Exists(staging + "\\DriverName.cfg");
            WriteFile(staging + "\\Ticket\\x86\\TR240.GPD", "g");
            WriteFile(staging + "\\Barcode\\x86\\qlvMONNT.dll", "m");
            return 0;
        });
    sim::RegisterModule("7-zip32.dll", slow);
    WriteFile("C:\\7-zip32.dll", "dll");
    WriteFile("C:\\DriverData.Drv", "package");
    {
        InstallDialog dialog;
        sim::ui::WaitUntil(
            D, [] { return Exists(std::string(catalog::kStagingDir) + "\\DriverName.cfg"); },
            "the archiver to write");
        sim::ui::Close(D);
        EXPECT_EQ(dialog.DoModal(), ui::id::Cancel);
    }
    EXPECT_TRUE(goneWhileExtracting);
    EXPECT_TRUE(partKept);
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\Barcode"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(Exists(catalog::kStagingDir));
}

// The window goes while the worker, detecting the system, still has a status to show: what it
// sends then goes nowhere at once, and it reads the window's handle only atomically (the
// host-tsan build sees a race otherwise).
TEST_F(InstallDialogTest, AWorkerStillReportingWhenTheWindowGoesEndsWithoutIt) {
    static std::atomic<bool> held;
    static std::atomic<bool> gone;
    held = false;
    gone = false;
    const auto isWow64 = sys::GetProcAddress(sys::GetModuleHandleA("kernel32"), "IsWow64Process");
    const auto withIsWow64 = [](sys::ProcAddress address) {
        sim::Module kernel32;
        kernel32.needsFile = false;
        kernel32.exports["IsWow64Process"] = address;
        sim::RegisterModule("kernel32.dll", kernel32);
    };
    withIsWow64(reinterpret_cast<sys::ProcAddress>(+[](void*, int* wow64) -> int {
        held = true;
        gone = HoldUntilTheWindowHasGone();
        *wow64 = 0;
        return 1;
    }));
    {
        InstallDialog dialog;
        sim::ui::WaitUntil(
            D, [] { return held.load(); }, "the worker to detect the system");
        sim::ui::Close(D);
        EXPECT_EQ(dialog.DoModal(), ui::id::Cancel);
    }
    withIsWow64(isWow64);  // kernel32 outlives the reset of the machine
    EXPECT_TRUE(gone);
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

namespace {

// 36 sections of one name each: the combo index is the section index.
std::string WideCatalogue() {
    std::string text;
    for (int i = 0; i < 36; ++i) {
        text += "[Section " + std::to_string(i) + "]\nPrintName1=Model " + std::to_string(i) + "\n";
    }
    return text;
}

const char* const kUnknownModelText = "The chosen driver is not known to this installer.";

}  // namespace

TEST_F(InstallDialogTest, EveryCatalogueIndexUpTo34IsAcceptedAndALargerOneRefused) {
    WriteFile("C:\\DriverName.cfg", WideCatalogue());
    sim::ui::AnswerMessageBox(kUnknownModelText, ui::id::Ok);
    InstallDialog dialog;
    WaitForReady();
    for (int index = 0; index < 36; ++index) {
        sim::ui::SelectCombo(D, IDC_DRIVER_COMBO, index);
        sim::ui::Call(D, [&dialog, index] {
            dialog.installation.displayName = dialog.driverCombo.GetWindowTextA();
            EXPECT_EQ(install::ResolveModel(dialog.installation, dialog, index), index <= 34)
                << index;
            EXPECT_EQ(dialog.installation.selectedModel, index);
        });
    }
    sim::ui::Close(D);
    dialog.DoModal();
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "The chosen driver is not known to this installer.\r\n\r\nThe driver list "
              "(DriverName.cfg) in the driver package does not match this program.");
}

TEST_F(InstallDialogTest, InstallTakesTheFirstPortOfEachRowsType) {
    // Index 35 is refused after the form was read, so no installation starts.
    WriteFile("C:\\DriverName.cfg", WideCatalogue());
    sim::ui::AnswerMessageBox(kUnknownModelText, ui::id::Ok, 4);
    InstallDialog dialog;
    WaitForReady();
    sim::ui::Call(D, [&] {
        dialog.installation.serialPorts = {"COM3:", "COM4:"};
        dialog.installation.usbPorts = {"USB002", "USB001"};
        dialog.installation.parallelPorts = {"LPT2:", "LPT1:"};
        dialog.installation.tcpipPorts = {"IP_10.0.0.5", "IP_10.0.0.6"};
    });
    sim::ui::SelectCombo(D, IDC_DRIVER_COMBO, 35);
    const char* const expected[] = {"COM3:", "USB002", "LPT2:", "IP_10.0.0.5"};
    for (int row : {3, 1, 0, 2}) {
        sim::ui::SelectListRow(D, IDC_PORT_TYPES, row);
        sim::ui::Click(D, IDC_INSTALL);
        sim::ui::Call(D, [&dialog, &expected, row] {
            EXPECT_EQ(dialog.installation.portType, row);
            EXPECT_EQ(dialog.installation.portName, expected[row]) << row;
            EXPECT_TRUE(InstallEnabled());
        });
    }
    sim::ui::Close(D);
    dialog.DoModal();
    EXPECT_EQ(sim::ui::MessageBoxes().size(), 4u);
}
