// The serial journal: what a killed search leaves, and what the next start does with it.
#include <optional>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "app/InstallLog.h"
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

// A journal is replayed only from a key none but SYSTEM and Administrators may change: a
// standard user could otherwise point any printer at a port (or file) of their choice.
TEST_F(JournalTest, AJournalOthersMayChangeIsNotReplayed) {
    const std::string user = "S-1-5-21-1004336348-1177238915-682003330-1001";
    const sys::Dword all = sys::key::AllAccess;
    const struct {
        const char* what;
        sys::KeySecurity security;
        bool replayed;
    } cases[] = {
        {"as made",
         {sys::sid::Administrators,
          false,
          {{sys::sid::System, all}, {sys::sid::Administrators, all}}},
         true},
        {"owned by SYSTEM, users read",
         {sys::sid::System, false, {{sys::sid::System, all}, {sys::sid::Users, sys::key::Read}}},
         true},
        {"owned by a user", {user, false, {{sys::sid::Administrators, all}}}, false},
        {"users set values", {sys::sid::Administrators, false, {{sys::sid::Users, 0x2}}}, false},
        {"a user may rewrite its access list",
         {sys::sid::Administrators, false, {{user, 0x40000}}},
         false},
        {"everyone generic write",
         {sys::sid::Administrators, false, {{"S-1-1-0", 0x40000000}}},
         false},
        {"an entry of another kind", {sys::sid::Administrators, false, {{"?", 0xFFFFFFFF}}}, false},
        {"no access list", {sys::sid::Administrators, true, {}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Reset();
        AddPrinter("Shop", "COM4:");
        sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
        ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}}));
        sim::registry::SetKeySecurity("HKLM", journal::kKey, c.security);
        int restarts = 0;
        const auto replayed = journal::Replay([&] { return ++restarts, true; });
        EXPECT_EQ(replayed.refused, !c.replayed);
        EXPECT_EQ(restarts, c.replayed ? 1 : 0);
        EXPECT_EQ(PortOf("Shop"), c.replayed ? "COM4:" : "LPT1:");
        if (!c.replayed) {
            EXPECT_NE(journal::ReplayStatus(replayed).find("was not used"), std::string::npos);
        }
    }
}

TEST_F(JournalTest, RepairExitCodes) {
    InstallLog log;
    EXPECT_EQ(RunRepair(log), kRepaired);  // nothing to do
    AddPrinter("Shop", "COM4:");
    sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
    ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}}));
    sim::service::SetDisabled("Spooler", true);
    sim::service::SetState("Spooler", sim::service::State::Stopped);
    EXPECT_EQ(RunRepair(log), kRepairFailed);
    sim::service::SetDisabled("Spooler", false);
    EXPECT_EQ(RunRepair(log), kRepaired);
    EXPECT_EQ(PortOf("Shop"), "COM4:");
    EXPECT_EQ(sim::service::GetState("Spooler"), sim::service::State::Running);
    EXPECT_TRUE(journal::Read().empty());
    // A journal in a key users may write is not used, and the technician is told.
    sim::registry::SetString("HKLM", kControl + "Shop", "Port", "LPT1:");
    ASSERT_TRUE(journal::Record({{"Shop", "COM4:"}}));
    sim::registry::SetKeySecurity("HKLM", journal::kKey,
                                  {sys::sid::Administrators, false, {{sys::sid::Users, 0x2}}});
    EXPECT_EQ(RunRepair(log), kRepairFailed);
    EXPECT_EQ(PortOf("Shop"), "LPT1:");
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
