// Removal on the simulated machine: printers installed by the unattended run, removed again;
// what stays, what goes, the exit codes, and a second installation like the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/InstallLog.h"
#include "app/Remove.h"
#include "app/Unattended.h"
#include "install/InstallLabelPrinter.h"
#include "install/RemovePrinter.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/FlowScripts.h"

namespace {

namespace fs = std::filesystem;

const std::string kReceiptDriver(catalog::ReceiptDriverName(0));
const std::string kLabelDriver(catalog::LabelDriverName(0));
const std::string kMonitorModule = "C:\\Windows\\System32\\qlvMONNT.dll";

// The whole machine as text: spooler, files on drive C (with their contents) and registry.
std::string MachineState() {
    std::ostringstream out;
    for (const auto& p : sim::spooler::Printers()) {
        out << "printer " << p.name << " | " << p.port << " | " << p.driver << "\n";
    }
    for (const auto& d : sim::spooler::Drivers()) {
        out << "driver " << d.name << " | " << d.environment << " | " << d.version << " | "
            << d.monitorName << "\n";
    }
    for (const auto& m : sim::spooler::Monitors()) {
        out << "monitor " << m.name << " | " << m.dllName << "\n";
    }
    for (const auto& p : sim::spooler::Ports()) {
        out << "port " << p.name << "\n";
    }
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(sim::Root())) {
        std::string line = fs::relative(entry.path(), sim::Root()).string();
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            line += " = " + std::string(std::istreambuf_iterator<char>(in), {});
        }
        files.push_back(line);
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        out << "file " << file << "\n";
    }
    out << sim::registry::Dump("HKLM") << sim::registry::Dump("HKCU");
    return out.str();
}

bool HasPrinter(const std::string& name) {
    return sim::spooler::FindPrinter(name).has_value();
}

bool HasDriver(const std::string& name) {
    const auto drivers = sim::spooler::Drivers();
    return std::any_of(drivers.begin(), drivers.end(),
                       [&](const auto& d) { return d.name == name; });
}

bool HasMonitor() {
    const auto monitors = sim::spooler::Monitors();
    return std::any_of(monitors.begin(), monitors.end(),
                       [](const auto& m) { return m.name == install::kLabelMonitorName; });
}

class RemovePrinterTest : public flows::FlowTest {
  protected:
    // A fresh machine with the package; every case starts here.
    void Start() {
        bothArchitectures = false;
        Fresh({"removal", nullptr, nullptr, nullptr});
        // The run removes the unpacked package at its end: kept aside for the next one.
        package_ = fs::path(sim::Root()).parent_path() /
                   (fs::path(sim::Root()).filename().string() + "-package");
        fs::remove_all(package_);
        fs::create_directories(package_);
        for (const char* item : {"Ticket", "Barcode", "DriverName.cfg"}) {
            fs::copy(fs::path(sim::Root()) / item, package_ / item, fs::copy_options::recursive);
        }
    }
    void TearDown() override {
        fs::remove_all(package_);
        flows::FlowTest::TearDown();
    }

    void Install(const std::string& model, const std::string& printer) {
        fs::copy(package_, sim::Root(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        unattended::Options options;
        options.model = model;
        options.printerName = printer;
        options.port = "LPT1:";
        InstallLog log;
        ASSERT_EQ(unattended::Run(options, log), unattended::kInstalled) << printer;
        ASSERT_TRUE(HasPrinter(printer));
    }

    // The removal as the command line runs it, quiet; the spooler's service calls it made.
    int Remove(const std::string& printer, int* serviceCalls = nullptr) {
        const int before = sim::CallCount("StartServiceA") + sim::CallCount("ControlService");
        InstallLog log;
        const int code = uninstall::RunRemove(printer, true, log);
        if (serviceCalls != nullptr) {
            *serviceCalls =
                sim::CallCount("StartServiceA") + sim::CallCount("ControlService") - before;
        }
        return code;
    }

  private:
    fs::path package_;
};

struct Kind {
    const char* name;
    std::string model;
    bool label;
};

const Kind kKinds[] = {{"receipt", kReceiptDriver, false}, {"label", kLabelDriver, true}};

TEST_F(RemovePrinterTest, InstalledThenRemovedLeavesNothingAndRestartsNothing) {
    Start();
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        Install(kind.model, "Shop");
        EXPECT_EQ(HasMonitor(), kind.label);
        EXPECT_EQ(Exists(kMonitorModule), kind.label);
        const auto versionFiles = sim::spooler::Drivers().back();
        int serviceCalls = -1;
        EXPECT_EQ(Remove("shop", &serviceCalls), install::kRemoved);
        EXPECT_FALSE(HasPrinter("Shop"));
        EXPECT_FALSE(HasDriver(kind.model));
        EXPECT_FALSE(HasMonitor());
        EXPECT_FALSE(Exists(kMonitorModule));
        for (const auto& file : versionFiles.dependentFiles) {
            EXPECT_FALSE(Exists(file)) << file;
        }
        EXPECT_FALSE(Exists(versionFiles.driverPath));
        EXPECT_EQ(serviceCalls, 0);
        EXPECT_TRUE(sim::ui::MessageBoxes().empty()) << "quiet shows nothing";
    }
    EXPECT_TRUE(HasPrinter(flows::kOther));
}

TEST_F(RemovePrinterTest, ASecondPrinterKeepsTheSharedDriverAndMonitor) {
    Start();
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        Install(kind.model, "First");
        Install(kind.model, "Second");
        EXPECT_EQ(Remove("First"), install::kRemoved);
        EXPECT_FALSE(HasPrinter("First"));
        EXPECT_TRUE(HasPrinter("Second"));
        EXPECT_TRUE(HasDriver(kind.model));
        EXPECT_EQ(HasMonitor(), kind.label);
        EXPECT_EQ(Exists(kMonitorModule), kind.label);
        EXPECT_EQ(Remove("Second"), install::kRemoved);
        EXPECT_FALSE(HasDriver(kind.model));
        EXPECT_FALSE(HasMonitor());
        EXPECT_FALSE(Exists(kMonitorModule));
    }
}

TEST_F(RemovePrinterTest, AnotherLabelDriverKeepsTheMonitor) {
    Start();
    const std::string otherModel(catalog::LabelDriverName(1));
    Install(kLabelDriver, "Label");
    Install(otherModel, "Other label");
    EXPECT_EQ(Remove("Label"), install::kRemoved);
    EXPECT_FALSE(HasDriver(kLabelDriver));
    EXPECT_TRUE(HasMonitor()) << "the other label driver names it";
    EXPECT_TRUE(Exists(kMonitorModule));
    EXPECT_EQ(Remove("Other label"), install::kRemoved);
    EXPECT_FALSE(HasMonitor());
    EXPECT_FALSE(Exists(kMonitorModule));
}

TEST_F(RemovePrinterTest, InstalledRemovedAndInstalledAgainEndsAsTheFirstInstallation) {
    Start();
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        Install(kind.model, "Again");
        const std::string first = MachineState();
        EXPECT_EQ(Remove("Again"), install::kRemoved);
        Install(kind.model, "Again");
        EXPECT_EQ(MachineState(), first);
        EXPECT_EQ(Remove("Again"), install::kRemoved);
    }
}

TEST_F(RemovePrinterTest, NoSuchPrinterChangesNothing) {
    Start();
    Install(kLabelDriver, "Shop");
    const std::string before = MachineState();
    EXPECT_EQ(Remove("Shop 2"), install::kNoSuchPrinter);
    EXPECT_EQ(MachineState(), before);
}

// A step the spooler or the file system refuses: the exit code, what stays, what the log says.
struct Refusal {
    const char* call;
    sys::Dword error;
    int times;
    int code;
    bool printerStays, driverStays, monitorStays;
    int restarts;        // of the spooler
    std::string logged;  // a line of the log
};

std::vector<Refusal> Refusals() {
    const std::string module = "C:\\Windows\\system32\\qlvMONNT.dll (DeleteFileA): error ";
    return {
        {"DeletePrinter", 5, 1, install::kNotAllRemoved, true, true, true, 0,
         "Could not remove the printer Shop (DeletePrinter): error 5"},
        {"OpenPrinterA", 5, 1, install::kNotAllRemoved, true, true, true, 0,
         "Could not remove the printer Shop (OpenPrinterA): error 5"},
        {"SetPrinterA", 5, 1, install::kRemoved, false, false, false, 0,
         "SetPrinterA purge failed: 5"},
        {"DeletePrinterDriverExA", 5, 1, install::kNotAllRemoved, false, true, true, 0,
         "Could not remove the driver " + kLabelDriver + " (DeletePrinterDriverExA): error 5"},
        {"DeletePrinterDriverExA", 87, 1, install::kRemoved, false, false, false, 0,
         "DeletePrinterDriverExA refused to delete the files (87); the driver alone"},
        {"DeleteMonitorA", 5, 1, install::kNotAllRemoved, false, false, true, 0,
         "Could not remove Advanced Language Monitor (DeleteMonitorA): error 5"},
        // The module still loaded: one spooler restart frees it.
        {"DeleteFileA", 32, 1, install::kRemoved, false, false, false, 1,
         "The monitor module is in use; restarting the spooler"},
        {"DeleteFileA", 5, 2, install::kNotAllRemoved, false, false, false, 1,
         "Could not remove " + module + "5"},
        {"DeleteFileA", 2, 1, install::kNotAllRemoved, false, false, false, 0,
         "Could not remove " + module + "2"},
    };
}

TEST_F(RemovePrinterTest, RefusedStepsGiveTheirCodeAndKeepWhatWasRemoved) {
    for (const Refusal& r : Refusals()) {
        SCOPED_TRACE(std::string(r.call) + " " + std::to_string(r.error));
        Start();
        Install(kLabelDriver, "Shop");
        const int starts = sim::CallCount("StartServiceA");
        sim::FailCall(r.call, r.error, r.times);
        std::vector<std::string> log;
        const install::Removal removal = install::RemovePrinter(
            "Shop", [&log](const std::string& line) { log.push_back(line); });
        sim::ClearFailures();
        EXPECT_EQ(removal.code, r.code);
        EXPECT_EQ(HasPrinter("Shop"), r.printerStays);
        EXPECT_EQ(HasDriver(kLabelDriver), r.driverStays);
        EXPECT_EQ(HasMonitor(), r.monitorStays);
        EXPECT_EQ(Exists(kMonitorModule), r.monitorStays || r.code != install::kRemoved);
        EXPECT_NE(std::find(log.begin(), log.end(), r.logged), log.end())
            << "log:\n"
            << ::testing::PrintToString(log);
        EXPECT_EQ(sim::CallCount("StartServiceA") - starts, r.restarts)
            << "a spooler restart only for a module in use";
    }
}

TEST_F(RemovePrinterTest, BoxesAskFirstAndTellTheResult) {
    Start();
    Install(kReceiptDriver, "Shop");
    sim::ui::AnswerEveryBox(false);
    InstallLog log;

    sim::ui::AnswerMessageBox("Remove the printer \"Shop\"?", ui::id::No);
    EXPECT_EQ(uninstall::RunRemove("Shop", false, log), uninstall::kDeclined);
    EXPECT_TRUE(HasPrinter("Shop"));

    sim::ui::AnswerMessageBox("Remove the printer \"Shop\"?", ui::id::Yes);
    sim::ui::AnswerMessageBox("was removed", ui::id::Ok);
    EXPECT_EQ(uninstall::RunRemove("Shop", false, log), install::kRemoved);
    EXPECT_FALSE(HasPrinter("Shop"));

    sim::ui::AnswerMessageBox("There is no printer named \"Shop\".", ui::id::Ok);
    EXPECT_EQ(uninstall::RunRemove("Shop", false, log), install::kNoSuchPrinter);
    EXPECT_EQ(sim::ui::MessageBoxes().size(), 4u);
}

}  // namespace
