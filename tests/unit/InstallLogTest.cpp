// The installation's log: stamped lines written through at once, a failure with its code, and
// a file that cannot be written costing only its lines.
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/InstallLog.h"
#include "app/InstallerApp.h"
#include "app/Unattended.h"
#include "platform/Types.h"
#include "tests/unit/SimFixture.h"

namespace {

std::string HostText(const std::string& windowsPath) {
    std::ifstream in(sim::HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class InstallLogTest : public SimTest {};

TEST_F(InstallLogTest, EachLineIsStampedAndOnDiskOnceWritten) {
    WriteFile("C:\\logs\\setup.log", "an earlier run\r\n");
    InstallLog log;
    ASSERT_TRUE(log.Open("C:\\logs\\setup.log"));
    log.Line("Adding the driver...");
    // Read while the log is still open: a run killed now keeps it.
    EXPECT_EQ(HostText("C:\\logs\\setup.log"),
              "an earlier run\r\n2026-01-01 00:00:01.000  Adding the driver...\r\n");
    log.Failed("AddPrinterDriverExA", 1797);
    log.Line("two\r\nlines");
    EXPECT_EQ(HostText("C:\\logs\\setup.log"),
              "an earlier run\r\n2026-01-01 00:00:01.000  Adding the driver...\r\n"
              "2026-01-01 00:00:01.000  AddPrinterDriverExA failed, error 1797\r\n"
              "2026-01-01 00:00:01.000  two  lines\r\n");
}

TEST_F(InstallLogTest, AFileThatCannotBeWrittenDropsItsLinesOnly) {
    InstallLog missing;
    EXPECT_FALSE(missing.Open("C:\\no such folder\\setup.log"));
    missing.Line("dropped");
    EXPECT_FALSE(Exists("C:\\no such folder"));

    InstallLog log;
    ASSERT_TRUE(log.Open("C:\\setup.log"));
    sim::FailCall("AppendFileA", sys::err::AccessDenied);
    log.Line("lost to a full disk");
    log.Line("kept");
    EXPECT_EQ(HostText("C:\\setup.log"), "2026-01-01 00:00:01.000  kept\r\n");
}

TEST_F(InstallLogTest, LinesFromTwoThreadsStayWhole) {
    InstallLog log;
    ASSERT_TRUE(log.Open("C:\\setup.log"));
    const std::string a(300, 'a');
    const std::string b(300, 'b');
    std::thread other([&] {
        for (int i = 0; i < 50; ++i) {
            log.Line(a);
        }
    });
    for (int i = 0; i < 50; ++i) {
        log.Line(b);
    }
    other.join();
    const std::string text = HostText("C:\\setup.log");
    const std::string stamp = "2026-01-01 00:00:01.000  ";
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(at, end - at);
        EXPECT_TRUE(line == stamp + a || line == stamp + b) << line.substr(0, 40);
        at = end + 2;
    }
    EXPECT_EQ(lines, 100u);
}

TEST_F(InstallLogTest, TheDefaultLogIsInTheTemporaryFolder) {
    EXPECT_EQ(DefaultLogPath(), "C:\\Windows\\Temp\\ThermalDriverSetup.log");
    InstallLog log;
    EXPECT_TRUE(log.Open(DefaultLogPath()));
}

// A bad line runs nothing: its reason goes to the log and, with the usage, to the console.
TEST_F(InstallLogTest, ABadCommandLineIsLoggedAndPrintedWithTheUsage) {
    EXPECT_EQ(RunInstaller("/quiet /model \"TR-210 Series\" /port LPT1: /colour red"),
              unattended::kBadCommandLine);
    const std::string log = HostText("C:\\Windows\\Temp\\ThermalDriverSetup.log");
    EXPECT_NE(log.find("  Unknown option: /colour\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  Result: 87\r\n"), std::string::npos) << log;
    EXPECT_EQ(sim::ConsoleOutput().rfind("Unknown option: /colour\r\n\r\nThermal Driver Setup", 0),
              0u)
        << sim::ConsoleOutput();

    EXPECT_EQ(RunInstaller("/? /log C:\\usage.log"), unattended::kBadCommandLine);
    EXPECT_NE(sim::ConsoleOutput().find("DriverInstaller.exe /quiet /model"), std::string::npos);
    EXPECT_EQ(sim::CallCount("DialogBoxParamA") + sim::CallCount("MessageBoxA"), 0);
}

}  // namespace
