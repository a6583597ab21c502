// The serial journal: what a killed search leaves, and what the next start does with it.
#include <optional>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "app/Repair.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "ports/SerialJournal.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace {

namespace journal = ports::journal;

const std::string kControl = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

std::optional<std::string> PortOf(const std::string& printer) {
    return sim::registry::GetString("HKLM", kControl + printer, "Port");
}

void AddPrinter(const std::string& name, const std::string& port) {
    sim::spooler::AddPrinter({name, port, "TR-210 Series", "WinPrint", "RAW"});
}

using JournalTest = SimTest;

TEST_F(JournalTest, RecordedPrintersReadBackAndAnEmptyRecordIsNoJournal) {
    EXPECT_TRUE(journal::Read().empty());
    ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}, {"Kitchen", "COM12:"}}));
    const auto value = sim::registry::GetValue("HKLM", journal::kKey, journal::kValue);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, 7u);  // one REG_MULTI_SZ: written in one call
    const auto moved = journal::Read();
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[1].printer, "Kitchen");
    EXPECT_EQ(moved[1].port, "COM12:");
    ASSERT_TRUE(journal::Record({}));
    EXPECT_TRUE(journal::Read().empty());
}

// Each recorded printer as the next start finds it: still on the free port, moved elsewhere by
// the user, or deleted. Only the first gets its port back; the spooler restarts once.
TEST_F(JournalTest, ReplayGivesBackOnlyPrintersStillOnTheFreePort) {
    AddPrinter("Shop", "COM4:");
    AddPrinter("Moved", "COM5:");
    sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
    sim::registry::SetString("HKLM", kControl + "Moved", "Port", "USB001");
    ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}, {"Moved", "COM5:"}, {"Gone", "COM6:"}}));
    int restarts = 0;
    const auto replayed = journal::Replay([&] { return ++restarts, true; });
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(replayed.failed);
    EXPECT_EQ(replayed.restored, std::vector<std::string>{"Shop (COM4:)"});
    EXPECT_EQ(journal::ReplayStatus(replayed), "Printers given back their ports: Shop (COM4:)");
    EXPECT_EQ(PortOf("Shop"), "COM4:");
    EXPECT_EQ(PortOf("Moved"), "USB001");
    EXPECT_FALSE(PortOf("Gone").has_value());
    EXPECT_TRUE(journal::Read().empty());
    // Nothing left: the next start restarts nothing.
    journal::Replay([&] { return ++restarts, true; });
    EXPECT_EQ(restarts, 1);
}

// A spooler that will not restart, or a key that will not take the port: the journal stays for
// the next start, and /repair says so.
TEST_F(JournalTest, AReplayThatFailsKeepsTheJournal) {
    for (const bool keyFails : {false, true}) {
        SCOPED_TRACE(keyFails ? "key" : "restart");
        sim::Reset();
        AddPrinter("Shop", "COM4:");
        sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
        ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}}));
        if (keyFails) {
            sim::FailCall("RegSetValueExA", 5, 100);
        }
        const auto replayed = journal::Replay([&] { return keyFails; });
        sim::ClearFailures();
        EXPECT_TRUE(replayed.failed);
        EXPECT_EQ(journal::Read().size(), 1u);
        EXPECT_NE(journal::ReplayStatus(replayed).find("could not be given back"),
                  std::string::npos);
    }
}

TEST_F(JournalTest, RepairExitCodes) {
    EXPECT_EQ(RepairSerialPorts(), kRepaired);  // nothing to do
    AddPrinter("Shop", "COM4:");
    sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
    ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}}));
    sim::service::SetDisabled("Spooler", true);
    sim::service::SetState("Spooler", sim::service::State::Stopped);
    EXPECT_EQ(RepairSerialPorts(), kRepairFailed);
    sim::service::SetDisabled("Spooler", false);
    EXPECT_EQ(RepairSerialPorts(), kRepaired);
    EXPECT_EQ(PortOf("Shop"), "COM4:");
    EXPECT_EQ(sim::service::GetState("Spooler"), sim::service::State::Running);
    EXPECT_TRUE(journal::Read().empty());
}

// The window's start after a killed search: the printer is on its port in its key and in the
// spooler (restarted) before Install is enabled, and the status line names it.
TEST_F(JournalTest, TheWindowReplaysTheJournalBeforeInstallIsEnabled) {
    AddPrinter("Shop", "COM4:");
    sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
    ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}}));
    sim::service::SetState("Spooler", sim::service::State::Stopped);
    std::optional<std::string> keyPort;
    std::optional<std::string> spoolerPort;
    std::string status;
    InstallDialog dialog;
    sim::ui::WaitUntil(
        IDD_INSTALL,
        [] {
            const auto install = sim::ui::Control(IDD_INSTALL, IDC_INSTALL);
            return install && install->enabled;
        },
        "Install enabled");
    sim::ui::Call(IDD_INSTALL, [&] {
        keyPort = PortOf("Shop");
        spoolerPort = sim::spooler::FindPrinter("Shop")->port;
        status = sim::ui::Control(IDD_INSTALL, IDC_STATUS)->text;
    });
    sim::ui::Close(IDD_INSTALL);
    dialog.DoModal();
    EXPECT_EQ(keyPort, "COM4:");
    EXPECT_EQ(spoolerPort, "COM4:");
    EXPECT_EQ(status, "Printers given back their ports: Shop (COM4:)");
    EXPECT_EQ(sim::service::GetState("Spooler"), sim::service::State::Running);
    EXPECT_TRUE(journal::Read().empty());
}

}  // namespace
