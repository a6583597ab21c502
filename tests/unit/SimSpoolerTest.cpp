// Host tests of the simulated spooler's own side: the scripted port dialogs, driver files in
// their version directories, printers pending deletion, the machine's architecture.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/Registry.h"
#include "platform/Service.h"
#include "platform/Spooler.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/SimFixture.h"

namespace {

using sys::Dword;
namespace spooler = sim::spooler;

constexpr char kTcpMonitor[] = "Standard TCP/IP Port";

class SimSpoolerTest : public SimTest {
  protected:
    static std::vector<std::string> PortNames() {
        std::vector<std::string> names;
        for (const auto& port : spooler::Ports()) {
            names.push_back(port.name);
        }
        return names;
    }

    // Driver files as an installation leaves them in the driver directory.
    static void StageDriverFiles(const std::string& environment) {
        const std::string directory = spooler::DriverDirectory(environment);
        for (const char* file :
             {"drv.dll", "drvui.dll", "drv.gpd", "drv.hlp", "dep1.dll", "dep2.gpd"}) {
            WriteFile(directory + "\\" + file, std::string("content of ") + file);
        }
    }

    struct DriverRecord {
        std::string name = "Sim Driver";
        std::string environment = "Windows NT x86";
        std::string driverPath = "\\drv.dll";
        std::string dataFile = "drv.gpd";
        std::string configFile = "\\drvui.dll";
        std::string helpFile = "\\drv.hlp";
        std::string dependents = std::string("\\dep1.dll\0dep2.gpd\0", 20);
        std::string monitor;
        std::string datatype = "RAW";
        sys::DRIVER_INFO_3 Info(Dword version) {
            sys::DRIVER_INFO_3 info;
            info.cVersion = version;
            info.pName = name.data();
            info.pEnvironment = environment.data();
            info.pDriverPath = driverPath.data();
            info.pDataFile = dataFile.data();
            info.pConfigFile = configFile.data();
            info.pHelpFile = helpFile.data();
            info.pDependentFiles = dependents.data();
            info.pMonitorName = monitor.data();
            info.pDefaultDataType = datatype.data();
            return info;
        }
    };

    static void InstalledEarlier(const std::string& driver) {
        spooler::Driver record;
        record.name = driver;
        record.environment = "Windows NT x86";
        record.version = 3;
        spooler::AddDriver(record);
    }

    static sys::PrinterHandle AddPrinter(const std::string& name, const std::string& port,
                                         const std::string& driver) {
        std::string printerName = name, portName = port, driverName = driver,
                    processor = "WinPrint", datatype = "RAW";
        sys::PRINTER_INFO_2 info;
        info.pPrinterName = printerName.data();
        info.pPortName = portName.data();
        info.pDriverName = driverName.data();
        info.pPrintProcessor = processor.data();
        info.pDatatype = datatype.data();
        return sys::AddPrinterA(nullptr, 2, &info);
    }

    static int AddMonitor(std::string name, std::string environment, std::string dll) {
        sys::MONITOR_INFO_2 info;
        info.pName = name.data();
        info.pEnvironment = environment.data();
        info.pDLLName = dll.data();
        return sys::AddMonitorA(nullptr, 2, &info);
    }

    static sys::PrinterHandle Open(const std::string& name, Dword access) {
        sys::PRINTER_DEFAULTS defaults;
        defaults.DesiredAccess = access;
        sys::PrinterHandle handle = nullptr;
        sys::OpenPrinterA(name.c_str(), &handle, access != 0 ? &defaults : nullptr);
        return handle;
    }
};

TEST_F(SimSpoolerTest, FreshSpoolerHasTheLocalPortsTwoMonitorsAndEmptyDriverDirectories) {
    EXPECT_EQ(PortNames(), (std::vector<std::string>{"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:",
                                                     "COM3:", "COM4:", "FILE:"}));
    for (const auto& port : spooler::Ports()) {
        EXPECT_EQ(port.monitor, "Local Port") << port.name;
        EXPECT_EQ(port.description, "Local Port") << port.name;
    }
    std::vector<std::string> monitors;
    for (const auto& monitor : spooler::Monitors()) {
        monitors.push_back(monitor.name);
    }
    EXPECT_EQ(monitors, (std::vector<std::string>{"Local Port", kTcpMonitor}));
    EXPECT_TRUE(Exists("C:\\Windows\\System32\\spool\\drivers\\w32x86"));
    EXPECT_TRUE(Exists("C:\\Windows\\System32\\spool\\drivers\\x64"));
    EXPECT_EQ(spooler::DriverDirectory("windows x64"),
              "C:\\Windows\\System32\\spool\\drivers\\x64");
    EXPECT_TRUE(spooler::Drivers().empty());
    EXPECT_TRUE(spooler::Printers().empty());
}

// --- Port dialogs -----------------------------------------------------------------------------

TEST_F(SimSpoolerTest, AddPortWizardCreatesTheScriptedPortOrCancels) {
    spooler::ScriptAddPort("IP_10.0.0.9");
    spooler::ScriptAddPort(std::nullopt);
    spooler::ScriptAddPort("LPT1:");

    EXPECT_EQ(sys::AddPortA(nullptr, nullptr, kTcpMonitor), 1);
    const auto added = spooler::Ports().back();
    EXPECT_EQ(added.name, "IP_10.0.0.9");
    EXPECT_EQ(added.monitor, kTcpMonitor);
    EXPECT_EQ(added.description, kTcpMonitor);

    sys::SetLastError(0);
    EXPECT_EQ(sys::AddPortA(nullptr, nullptr, kTcpMonitor), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::Cancelled);

    sys::SetLastError(0);
    EXPECT_EQ(sys::AddPortA(nullptr, nullptr, kTcpMonitor), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::AlreadyExists);

    EXPECT_EQ(spooler::Ports().size(), 9u);
    EXPECT_EQ(spooler::AddPortDialogsShown(), 3);
}

TEST_F(SimSpoolerTest, PortDialogsWithoutScriptRecordAFailureAndCancel) {
    sys::SetLastError(0);
    EXPECT_EQ(sys::AddPortA(nullptr, nullptr, kTcpMonitor), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::Cancelled);
    sys::SetLastError(0);
    EXPECT_EQ(sys::ConfigurePortA(nullptr, nullptr, "LPT1:"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::Cancelled);

    const auto failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("AddPortA"), std::string::npos) << failures[0];
    EXPECT_NE(failures[1].find("ConfigurePortA"), std::string::npos) << failures[1];
    EXPECT_EQ(spooler::Ports().size(), 8u);
    sim::ui::Reset();  // the failures were the point here
}

TEST_F(SimSpoolerTest, ConfigurePortFollowsTheScriptAndInjectedFailures) {
    spooler::ScriptConfigurePort(true);
    spooler::ScriptConfigurePort(false);
    EXPECT_EQ(sys::ConfigurePortA(nullptr, nullptr, "com1:"), 1);
    sys::SetLastError(0);
    EXPECT_EQ(sys::ConfigurePortA(nullptr, nullptr, "COM1:"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::Cancelled);

    for (Dword error : {sys::err::NotSupported, sys::err::AdapHdwErr}) {
        sim::FailCall("ConfigurePortA", error);
        sys::SetLastError(0);
        EXPECT_EQ(sys::ConfigurePortA(nullptr, nullptr, "COM1:"), 0);
        EXPECT_EQ(sys::GetLastError(), error);
    }
    EXPECT_EQ(spooler::ConfigurePortDialogsShown(), 2);
    EXPECT_EQ(sim::CallCount("ConfigurePortA"), 4);
}

TEST_F(SimSpoolerTest, DeletePortRefusesAPortInUseAndRemovesAFreeOne) {
    spooler::AddPort({"IP_10.0.0.7", kTcpMonitor, kTcpMonitor});
    spooler::AddPrinter({"On TCP", "IP_10.0.0.7", "Some Driver", "WinPrint", "RAW"});
    sys::SetLastError(0);
    EXPECT_EQ(sys::DeletePortA(nullptr, nullptr, "IP_10.0.0.7"), 0);
    EXPECT_EQ(sys::GetLastError(), 170u);  // ERROR_BUSY

    sys::Printer printer(Open("On TCP", sys::spool::PrinterAllAccess));
    ASSERT_TRUE(printer);
    ASSERT_EQ(sys::DeletePrinter(printer.Get()), 1);
    EXPECT_EQ(sys::DeletePortA(nullptr, nullptr, "IP_10.0.0.7"), 1);
    EXPECT_EQ(PortNames().back(), "FILE:");
}

// --- Drivers and monitors ---------------------------------------------------------------------

TEST_F(SimSpoolerTest, DriverFilesGoIntoTheDirectoryOfTheirVersion) {
    StageDriverFiles("Windows NT x86");
    const std::string directory = spooler::DriverDirectory("Windows NT x86");
    for (Dword version : {3u, 2u}) {
        SCOPED_TRACE("version " + std::to_string(version));
        DriverRecord record;
        auto info = record.Info(version);
        ASSERT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles), 1);
        const std::string versionDirectory = directory + "\\" + std::to_string(version);
        for (const char* file :
             {"drv.dll", "drvui.dll", "drv.gpd", "drv.hlp", "dep1.dll", "dep2.gpd"}) {
            EXPECT_TRUE(Exists(versionDirectory + "\\" + file)) << file;
        }
        // Same name and environment: the record is replaced, not added.
        const auto drivers = spooler::Drivers();
        ASSERT_EQ(drivers.size(), 1u);
        EXPECT_EQ(drivers[0].version, version);
        EXPECT_EQ(drivers[0].driverPath, versionDirectory + "\\drv.dll");
        EXPECT_EQ(drivers[0].dataFile, versionDirectory + "\\drv.gpd");
        EXPECT_EQ(drivers[0].dependentFiles,
                  (std::vector<std::string>{versionDirectory + "\\dep1.dll",
                                            versionDirectory + "\\dep2.gpd"}));
        EXPECT_EQ(drivers[0].defaultDataType, "RAW");
    }
    EXPECT_TRUE(Exists(directory + "\\drv.dll")) << "the staged files stay";
}

TEST_F(SimSpoolerTest, DriverWithAMissingFileOrMonitorIsNotRecorded) {
    StageDriverFiles("Windows x64");
    DriverRecord missingDependent;
    missingDependent.environment = "Windows x64";
    missingDependent.dependents = std::string("\\dep1.dll\0gone.dll\0", 20);
    auto info = missingDependent.Info(3);
    sys::SetLastError(0);
    EXPECT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::FileNotFound);
    EXPECT_FALSE(Exists(spooler::DriverDirectory("Windows x64") + "\\3\\drv.dll"));

    DriverRecord languageMonitor;
    languageMonitor.environment = "Windows x64";
    languageMonitor.monitor = "Sim Language Monitor";
    info = languageMonitor.Info(3);
    sys::SetLastError(0);
    EXPECT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPrintMonitor);
    EXPECT_TRUE(spooler::Drivers().empty());

    spooler::AddMonitor({"Sim Language Monitor", "Windows x64", "simlm.dll"});
    EXPECT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles), 1);
    EXPECT_EQ(spooler::Drivers().at(0).monitorName, "Sim Language Monitor");
}

TEST_F(SimSpoolerTest, MonitorDllIsLookedUpInTheSystemDirectoryUnlessAPathIsGiven) {
    WriteFile("C:\\Windows\\System32\\simmon.dll", "InitializePrintMonitor2");
    WriteFile("C:\\Windows\\SysWOW64\\simmon64.dll", "InitializePrintMonitor2");
    EXPECT_EQ(AddMonitor("Sim Monitor", "Windows NT x86", "simmon.dll"), 1);
    EXPECT_EQ(spooler::Monitors().back().dllName, "simmon.dll");

    sys::SetLastError(0);
    EXPECT_EQ(AddMonitor("Sim Monitor 2", "Windows NT x86", "simmon64.dll"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::ModNotFound);
    EXPECT_EQ(AddMonitor("Sim Monitor 2", "Windows NT x86", "C:\\Windows\\SysWOW64\\simmon64.dll"),
              1);
}

TEST_F(SimSpoolerTest, SixtyFourBitMachineWantsItsOwnEnvironment) {
    sim::SetWow64(true, true);
    StageDriverFiles("Windows NT x86");
    StageDriverFiles("Windows x64");
    DriverRecord x86;
    auto info = x86.Info(3);
    ASSERT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles), 1);
    sys::SetLastError(0);
    EXPECT_EQ(AddPrinter("Sim Printer", "LPT1:", "Sim Driver"), nullptr);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPrinterDriver);

    DriverRecord x64;
    x64.environment = "Windows x64";
    info = x64.Info(3);
    ASSERT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles), 1);
    sys::Printer printer(AddPrinter("Sim Printer", "LPT1:", "Sim Driver"));
    EXPECT_TRUE(printer);

    WriteFile("C:\\Windows\\System32\\simmon.dll", "InitializePrintMonitor2");
    sys::SetLastError(0);
    EXPECT_EQ(AddMonitor("Sim Monitor", "Windows NT x86", "simmon.dll"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InvalidEnvironment);
    EXPECT_EQ(AddMonitor("Sim Monitor", "Windows x64", "simmon.dll"), 1);
}

// --- Printers ---------------------------------------------------------------------------------

TEST_F(SimSpoolerTest, PrinterKeysInTheRegistryComeAndGoWithThePrinter) {
    const std::string control = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Sim Printer";
    const std::string software =
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Sim Printer";
    InstalledEarlier("Sim Driver");
    sys::Printer added(AddPrinter("Sim Printer", "COM2:", "Sim Driver"));
    ASSERT_TRUE(added);
    EXPECT_EQ(sim::registry::GetString("HKLM", control, "Port"), "COM2:");
    EXPECT_TRUE(sim::registry::KeyExists("HKLM", software + "\\DsSpooler"));
    EXPECT_TRUE(sim::registry::KeyExists("HKCC", control));

    ASSERT_EQ(sys::DeletePrinter(added.Get()), 1);
    EXPECT_FALSE(sim::registry::KeyExists("HKLM", control));
    EXPECT_FALSE(sim::registry::KeyExists("HKLM", software));
    EXPECT_FALSE(sim::registry::KeyExists("HKCC", control));
    EXPECT_TRUE(
        sim::registry::KeyExists("HKLM", "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"));

    spooler::AddPrinter({"Sim Printer", "LPT2:", "Sim Driver", "WinPrint", "RAW"});
    EXPECT_EQ(sim::registry::GetString("HKLM", control, "Port"), "LPT2:")
        << "as if installed earlier";
}

TEST_F(SimSpoolerTest, AStartedSpoolerTakesPortsFromTheRegistryAndMarksPrintersOnADeviceOnline) {
    const std::string printers = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
    const std::string profile =
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\"
        "Control\\Print\\Printers\\";
    spooler::AddPrinter({"Moved", "USB001", "Sim Driver", "WinPrint", "RAW"});
    spooler::AddPrinter({"Stays", "LPT1:", "Sim Driver", "WinPrint", "RAW"});
    spooler::AddPrinter({"Offline", "USB001", "Sim Driver", "WinPrint", "RAW"});
    spooler::SetPrinterOnlineAt("usb002");
    sim::registry::SetString("HKLM", printers + "Moved", "Port", "USB002");

    // A running spooler reads nothing; one that is started again does.
    EXPECT_EQ(spooler::FindPrinter("Moved")->port, "USB001");
    sim::service::SetState("Spooler", sim::service::State::Stopped);
    sys::ScHandle manager(sys::OpenSCManagerA(nullptr, nullptr, sys::svc::ManagerAllAccess));
    sys::ScHandle service(sys::OpenServiceA(manager.Get(), "Spooler", sys::svc::AllAccess));
    ASSERT_EQ(sys::StartServiceA(service.Get(), 0, nullptr), 1);
    EXPECT_EQ(spooler::FindPrinter("Moved")->port, "USB001") << "still starting";
    EXPECT_FALSE(sim::registry::GetValue("HKLM", profile + "Moved", "PrinterOnLine"));
    sim::Advance(300);
    sys::SERVICE_STATUS status{};
    ASSERT_EQ(sys::QueryServiceStatus(service.Get(), &status), 1);
    EXPECT_EQ(status.dwCurrentState, sys::svc::Running);

    EXPECT_EQ(spooler::FindPrinter("Moved")->port, "USB002");
    EXPECT_EQ(spooler::FindPrinter("Stays")->port, "LPT1:");
    const auto online = sim::registry::GetValue("HKLM", profile + "Moved", "PrinterOnLine");
    ASSERT_TRUE(online);
    EXPECT_EQ(online->type, sys::reg::Dword32);
    EXPECT_EQ(online->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(sim::registry::GetValue("HKLM", profile + "Stays", "PrinterOnLine"));
    EXPECT_FALSE(sim::registry::GetValue("HKLM", profile + "Offline", "PrinterOnLine"));
}

TEST_F(SimSpoolerTest, DeletedPrinterLeavesTheListWhileItsHandlesStayValid) {
    InstalledEarlier("Sim Driver");
    sys::PrinterHandle added = AddPrinter("Sim Printer", "COM2:", "Sim Driver");
    ASSERT_NE(added, nullptr);
    sys::PrinterHandle other = Open("Sim Printer", sys::spool::PrinterAllAccess);
    ASSERT_NE(other, nullptr);
    const auto before = spooler::FindPrinter("sim printer");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->openHandles, 2);
    EXPECT_EQ(before->port, "COM2:");
    EXPECT_EQ(before->driver, "Sim Driver");
    EXPECT_EQ(before->printProcessor, "WinPrint");
    EXPECT_EQ(before->datatype, "RAW");

    ASSERT_EQ(sys::DeletePrinter(added), 1);
    EXPECT_FALSE(spooler::FindPrinter("Sim Printer"));
    EXPECT_EQ(Open("Sim Printer", sys::spool::PrinterAllAccess), nullptr);
    sys::SetLastError(0);
    EXPECT_EQ(sys::SetPrinterA(other, 0, nullptr, sys::spool::PrinterControlPurge), 0);
    EXPECT_EQ(sys::GetLastError(), 1905u);  // ERROR_PRINTER_DELETED

    sys::Printer again(AddPrinter("Sim Printer", "COM3:", "Sim Driver"));
    ASSERT_TRUE(again);
    EXPECT_EQ(spooler::FindPrinter("Sim Printer")->port, "COM3:");
    sys::SetLastError(0);
    EXPECT_EQ(sys::DeletePrinter(other), 0) << "the old handle must not reach the new printer";
    EXPECT_EQ(sys::GetLastError(), 1905u);
    EXPECT_TRUE(spooler::FindPrinter("Sim Printer"));
    EXPECT_EQ(sys::ClosePrinter(added), 1);
    EXPECT_EQ(sys::ClosePrinter(other), 1);
    EXPECT_EQ(spooler::FindPrinter("Sim Printer")->openHandles, 1);
}

TEST_F(SimSpoolerTest, HandleOpenedForUseCannotPurgeOrDelete) {
    spooler::AddPrinter({"Sim Printer", "LPT1:", "Sim Driver", "WinPrint", "RAW"});
    sys::Printer user(Open("Sim Printer", 0));
    ASSERT_TRUE(user);
    for (bool purge : {true, false}) {
        sys::SetLastError(0);
        EXPECT_EQ(purge ? sys::SetPrinterA(user.Get(), 0, nullptr, sys::spool::PrinterControlPurge)
                        : sys::DeletePrinter(user.Get()),
                  0);
        EXPECT_EQ(sys::GetLastError(), sys::err::AccessDenied);
    }
    ASSERT_TRUE(spooler::FindPrinter("Sim Printer"));
    EXPECT_FALSE(spooler::FindPrinter("Sim Printer")->purged);

    sys::Printer admin(Open("Sim Printer", sys::spool::PrinterAllAccess));
    EXPECT_EQ(sys::SetPrinterA(admin.Get(), 0, nullptr, sys::spool::PrinterControlPurge), 1);
    EXPECT_TRUE(spooler::FindPrinter("Sim Printer")->purged);
}

TEST_F(SimSpoolerTest, EnumerationAsksForTheSizeOfTheUnicodeStrings) {
    spooler::Clear();
    spooler::AddPort({"P1", "Mon", "Desc"});
    Dword needed = 0;
    Dword returned = 0;
    EXPECT_EQ(sys::EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned), 0);
    EXPECT_EQ(needed, sizeof(sys::PORT_INFO_1) + 2 * 3);
    EXPECT_EQ(sys::EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned), 0);
    EXPECT_EQ(needed, sizeof(sys::PORT_INFO_2) + 2 * (3 + 4 + 5));
}

TEST_F(SimSpoolerTest, InjectedFailureComesFirstAndTouchesNothing) {
    sim::FailCall("EnumPortsA", sys::err::AccessDenied);
    Dword needed = 77;
    Dword returned = 77;
    EXPECT_EQ(sys::EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::AccessDenied);
    EXPECT_EQ(needed, 77u);
    EXPECT_EQ(sys::EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InsufficientBuffer);
    EXPECT_EQ(sim::CallCount("EnumPortsA"), 2);

    sim::FailCall("AddPrinterA", sys::err::AccessDenied);
    InstalledEarlier("Sim Driver");
    EXPECT_EQ(AddPrinter("Sim Printer", "LPT1:", "Sim Driver"), nullptr);
    EXPECT_TRUE(spooler::Printers().empty());
}

// The worker thread lists ports while the dialog thread adds and deletes them. A call that
// reads the lists without the spooler's lock shows here (under AddressSanitizer) in most runs.
TEST_F(SimSpoolerTest, WorkerEnumeratesWhileTheDialogThreadAddsAndDeletesPorts) {
    constexpr int kRounds = 2000;
    std::thread dialog([] {
        for (int i = 0; i < kRounds; ++i) {
            const std::string name = "IP_10.0.1." + std::to_string(i);
            spooler::ScriptAddPort(name);
            sys::AddPortA(nullptr, nullptr, kTcpMonitor);
            sys::DeletePortA(nullptr, nullptr, name.c_str());
        }
    });
    int complete = 0;
    for (int i = 0; i < kRounds; ++i) {
        Dword needed = 0;
        Dword returned = 0;
        sys::EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
        std::vector<std::uint8_t> buffer(needed);
        if (!sys::EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned)) {
            continue;  // a port came between the two calls
        }
        ++complete;
        const auto* ports = reinterpret_cast<const sys::PORT_INFO_2*>(buffer.data());
        for (Dword p = 0; p < returned; ++p) {
            ASSERT_GT(std::strlen(ports[p].pPortName), 0u);
            ASSERT_STREQ(ports[p].pDescription, ports[p].pMonitorName);
        }
    }
    dialog.join();
    EXPECT_GT(complete, 0);
    EXPECT_EQ(PortNames().size(), 8u);
}

}  // namespace
