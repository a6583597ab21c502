// One installer at a time: a second one beside an open one is refused (box or 1618); one started
// while the first closes waits for the first's clean-up and then installs.
#include <fstream>
#include <iterator>
#include <string>

#include "app/InstallLog.h"
#include "app/InstallerApp.h"
#include "app/Unattended.h"
#include "install/SingleInstance.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/InstallTestSupport.h"

namespace {

using installtest::D;

const char* const kAnotherRunning = "Another installation is running.";
const char* const kWaiting = "Waiting for the other installation to finish closing...";

std::string HostText(const std::string& windowsPath) {
    std::ifstream in(sim::HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SingleInstanceTest : public installtest::InstallTest {
  protected:
    // A first installer whose window has gone while its clean-up still runs, and a second one
    // started then: it is let in but does not have the files.
    install::SingleInstance first;
    install::SingleInstance second;
    void StartWhileTheFirstCloses() {
        ASSERT_TRUE(first.Claim());
        first.ReleaseOpen();
        ASSERT_TRUE(second.Claim());
        EXPECT_FALSE(second.HoldsFiles());
    }
};

TEST_F(SingleInstanceTest, ASecondInstallerBesideAnOpenOneIsRefused) {
    sim::ui::AnswerMessageBox(kAnotherRunning, ui::id::Ok);
    int quiet = -1;
    int window = -1;
    sim::ui::WaitUntil(D, installtest::InstallEnabled, "the worker to enable Install");
    sim::ui::Call(D, [&] {
        quiet = RunInstaller("/quiet /model \"TR-210 Receipt\" /port LPT1: /log C:\\second.log");
        window = RunInstaller("/log C:\\third.log");
    });
    sim::ui::Close(D);
    InstallLog log;
    ASSERT_TRUE(log.Open("C:\\first.log"));
    InstallerApp firstApp(&log);
    EXPECT_TRUE(firstApp.InitInstance());
    // The window's status lines reach its log, and its end: the locks go after the clean-up.
    const std::string firstLog = HostText("C:\\first.log");
    EXPECT_NE(firstLog.find("  Status: Reading driver file...\r\n"), std::string::npos);
    EXPECT_NE(firstLog.find("  The window has closed\r\n"), std::string::npos) << firstLog;
    EXPECT_GT(firstLog.find("  The unpacked files are removed\r\n"),
              firstLog.find("  The window has closed\r\n"));

    EXPECT_EQ(quiet, unattended::kAnotherRunning);
    EXPECT_EQ(window, unattended::kAnotherRunning);
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind(kAnotherRunning, 0), 0u) << boxes[0].text;
    EXPECT_NE(HostText("C:\\second.log").find("Another installation is running"),
              std::string::npos);
    EXPECT_NE(HostText("C:\\second.log").find("Result: 1618"), std::string::npos);
    // Once the first has ended, the next one is not refused.
    install::SingleInstance next;
    EXPECT_TRUE(next.Claim());
    EXPECT_TRUE(next.HoldsFiles());
}

TEST_F(SingleInstanceTest, OneStartedWhileTheFirstClosesWaitsForItsCleanUpThenInstalls) {
    StartWhileTheFirstCloses();
    installtest::RecordingDialog dialog;
    dialog.singleInstance = &second;
    sim::ui::WaitUntil(
        D, [&] { return sim::ui::Control(D, IDC_STATUS)->text == kWaiting; },
        "the second installer to wait");
    sim::ui::Call(D, [&] {
        EXPECT_FALSE(installtest::InstallEnabled());
        first.ReleaseFiles();
    });
    Install(dialog, 0, 2, [] { installtest::ChooseParallelRow(0); });

    EXPECT_TRUE(second.HoldsFiles());
    EXPECT_TRUE(sim::spooler::FindPrinter(std::string(catalog::ReceiptDriverName(0))).has_value());
    EXPECT_TRUE(installtest::Contains(dialog.statuses, kWaiting));
}

TEST_F(SingleInstanceTest, AFirstThatNeverFinishesClosingHoldsTheSecondOnlyForTheBound) {
    StartWhileTheFirstCloses();
    const sys::Dword start = sys::GetTickCount();
    EXPECT_FALSE(second.WaitForFiles(install::kCloseWait));
    EXPECT_EQ(sys::GetTickCount() - start, install::kCloseWait);
}

// The catalogue removed behind the installer's back after the list was filled (as a closing
// installer's clean-up did): the box says so, not that the package is wrong.
TEST_F(SingleInstanceTest, ACatalogueThatVanishedAfterItWasReadIsNotBlamedOnThePackage) {
    sim::ui::AnswerMessageBox("The unpacked driver files have disappeared.", ui::id::Ok);
    installtest::RecordingDialog dialog;
    sim::ui::WaitUntil(D, installtest::InstallEnabled, "the worker to enable Install");
    sim::ui::Call(D, [] { ASSERT_TRUE(sys::DeleteFileA("C:\\DriverName.cfg")); });
    sim::ui::Click(D, IDC_INSTALL);
    sim::ui::Call(D, [] { EXPECT_TRUE(installtest::InstallEnabled()); });
    sim::ui::Close(D);
    dialog.DoModal();
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.find("does not match"), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("unpacked again"), std::string::npos) << boxes[0].text;
}

}  // namespace
