// Conformance cases of the print spooler calls: buffer sizes, levels, error codes, and the life
// of a driver and a printer made through the calls themselves.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Spooler.h"
#include "tests/conformance/Conformance.h"

#ifndef _WIN32
#include "platform/sim/Sim.h"
#endif

namespace {

using conformance::kFill;
using conformance::kMarker;
using sys::Dword;

constexpr char kX86[] = "Windows NT x86";
constexpr char kX64[] = "Windows x64";

// Set-up the calls cannot make (there is no WriteFile): a file through the C runtime.
void WriteStub(const std::string& windowsPath, const std::string& content) {
#ifdef _WIN32
    std::ofstream(windowsPath, std::ios::binary) << content;
#else
    std::ofstream(sim::HostPath(windowsPath), std::ios::binary) << content;
#endif
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) {
        return false;
    }
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) !=
            std::tolower(static_cast<unsigned char>(tail[i]))) {
            return false;
        }
    }
    return true;
}

std::string DriverDirectory(const char* environment) {
    Dword needed = 0;
    sys::GetPrinterDriverDirectoryA(nullptr, environment, 1, nullptr, 0, &needed);
    std::vector<std::uint8_t> buffer(needed + 1, 0);
    if (!sys::GetPrinterDriverDirectoryA(nullptr, environment, 1, buffer.data(), needed, &needed)) {
        return {};
    }
    return reinterpret_cast<const char*>(buffer.data());
}

struct Call {
    int result = 0;
    Dword error = 0;
    Dword needed = kMarker;
    Dword returned = kMarker;
};

Call EnumPorts(Dword level, std::uint8_t* buffer, Dword size) {
    Call call;
    sys::SetLastError(kMarker);
    call.result = sys::EnumPortsA(nullptr, level, buffer, size, &call.needed, &call.returned);
    call.error = sys::GetLastError();
    return call;
}

Call EnumLocalPrinters(std::uint8_t* buffer, Dword size) {
    Call call;
    sys::SetLastError(kMarker);
    call.result = sys::EnumPrintersA(sys::spool::EnumLocal, nullptr, 2, buffer, size, &call.needed,
                                     &call.returned);
    call.error = sys::GetLastError();
    return call;
}

std::vector<std::string> PortNames(Dword level) {
    Dword needed = 0;
    Dword returned = 0;
    sys::EnumPortsA(nullptr, level, nullptr, 0, &needed, &returned);
    std::vector<std::uint8_t> buffer(needed);
    std::vector<std::string> names;
    if (!sys::EnumPortsA(nullptr, level, buffer.data(), needed, &needed, &returned)) {
        return names;
    }
    for (Dword i = 0; i < returned; ++i) {
        names.emplace_back(level == 1
                               ? reinterpret_cast<sys::PORT_INFO_1*>(buffer.data())[i].pName
                               : reinterpret_cast<sys::PORT_INFO_2*>(buffer.data())[i].pPortName);
    }
    return names;
}

std::vector<std::string> LocalPrinterNames() {
    Dword needed = 0;
    Dword returned = 0;
    sys::EnumPrintersA(sys::spool::EnumLocal, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<std::uint8_t> buffer(needed + 1);
    std::vector<std::string> names;
    if (sys::EnumPrintersA(sys::spool::EnumLocal, nullptr, 2, buffer.data(), needed, &needed,
                           &returned)) {
        for (Dword i = 0; i < returned; ++i) {
            names.emplace_back(
                reinterpret_cast<sys::PRINTER_INFO_2*>(buffer.data())[i].pPrinterName);
        }
    }
    return names;
}

Call EnumDrivers(const char* environment, Dword level, std::uint8_t* buffer, Dword size) {
    Call call;
    sys::SetLastError(kMarker);
    call.result = sys::EnumPrinterDriversA(nullptr, environment, level, buffer, size, &call.needed,
                                           &call.returned);
    call.error = sys::GetLastError();
    return call;
}

// The names of the drivers of an environment, or nothing when the call failed.
std::optional<std::vector<std::string>> DriverNames(const char* environment) {
    Dword needed = 0;
    Dword returned = 0;
    sys::EnumPrinterDriversA(nullptr, environment, 3, nullptr, 0, &needed, &returned);
    std::vector<std::uint8_t> buffer(needed + 1);
    if (!sys::EnumPrinterDriversA(nullptr, environment, 3, buffer.data(), needed, &needed,
                                  &returned)) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (Dword i = 0; i < returned; ++i) {
        names.emplace_back(reinterpret_cast<sys::DRIVER_INFO_3*>(buffer.data())[i].pName);
    }
    return names;
}

bool DriverListed(const std::string& driver) {
    const auto names = DriverNames(kX86);
    return names && std::find(names->begin(), names->end(), driver) != names->end();
}

bool Listed(const std::string& printer) {
    for (const auto& name : LocalPrinterNames()) {
        if (name == printer) {
            return true;
        }
    }
    return false;
}

// Every string of the records lies in the buffer after the records and before `needed`.
template <class Record>
void ExpectStringsInside(const std::vector<std::uint8_t>& buffer, Dword needed, Dword returned,
                         std::initializer_list<char * Record::*> fields) {
    const auto* records = reinterpret_cast<const Record*>(buffer.data());
    const char* first = reinterpret_cast<const char*>(buffer.data() + returned * sizeof(Record));
    const char* end = reinterpret_cast<const char*>(buffer.data() + needed);
    for (Dword i = 0; i < returned; ++i) {
        for (auto field : fields) {
            const char* text = records[i].*field;
            ASSERT_NE(text, nullptr) << "record " << i;
            EXPECT_GE(text, first) << "record " << i;
            EXPECT_LT(text + std::strlen(text), end) << "record " << i;
        }
    }
}

// The DRIVER_INFO_3 of the stub driver, with storage of its own for every string: the files
// named as the installer names them, with and without a leading backslash, after `stem`.
struct StubDriverRecord {
    StubDriverRecord(std::string name, std::string environment,
                     std::string dataFile = "\\CFSTUB.GPD", const std::string& stem = "CFSTUB")
        : name_(std::move(name)),
          environment_(std::move(environment)),
          data_(std::move(dataFile)),
          driver_("\\" + stem + ".DLL"),
          config_(stem + "UI.DLL"),
          help_("\\" + stem + ".HLP") {
        info.cVersion = 3;
        info.pName = name_.data();
        info.pEnvironment = environment_.data();
        info.pDriverPath = driver_.data();
        info.pDataFile = data_.data();
        info.pConfigFile = config_.data();
        info.pHelpFile = help_.data();
        info.pDefaultDataType = raw_.data();
    }
    StubDriverRecord(const StubDriverRecord&) = delete;
    StubDriverRecord& operator=(const StubDriverRecord&) = delete;
    sys::DRIVER_INFO_3 info;

  private:
    std::string name_, environment_, data_, driver_, config_, help_, raw_ = "RAW";
};

// A driver of stub files named after `stem`, installed through the calls for the environments
// the machine has. The spooler does not load the files (Wine and Windows alike), so any content
// does.
void InstallStubDriver(const std::string& name, const std::string& stem = "CFSTUB") {
    for (const char* environment : {kX86, kX64}) {
        const std::string directory = DriverDirectory(environment);
        if (directory.empty()) {
            continue;
        }
        for (const char* suffix : {".DLL", "UI.DLL", ".GPD", ".HLP"}) {
            WriteStub(directory + "\\" + stem + suffix, "stub");
        }
        StubDriverRecord record(name, environment, "\\" + stem + ".GPD", stem);
        const int added =
            sys::AddPrinterDriverExA(nullptr, 3, &record.info, sys::spool::CopyAllFiles);
        if (environment == kX86) {  // the 32-bit one must be there; the other where it exists
            ASSERT_EQ(added, 1) << "stub driver: error " << sys::GetLastError();
        }
    }
}

void DeletePrinterNamed(const std::string& name) {
    sys::PRINTER_DEFAULTS defaults;
    defaults.DesiredAccess = sys::spool::PrinterAllAccess;
    sys::Printer printer;
    if (sys::OpenPrinterA(name.c_str(), printer.Receive(), &defaults)) {
        sys::DeletePrinter(printer.Get());
    }
}

// The record AddPrinterA gets, with storage of its own for every string.
struct PrinterRecord {
    explicit PrinterRecord(std::string name, std::string port, std::string driver)
        : name_(std::move(name)), port_(std::move(port)), driver_(std::move(driver)) {
        info.pPrinterName = name_.data();
        info.pPortName = port_.data();
        info.pDriverName = driver_.data();
        info.pPrintProcessor = processor_.data();
        info.pDatatype = datatype_.data();
    }
    PrinterRecord(const PrinterRecord&) = delete;
    PrinterRecord& operator=(const PrinterRecord&) = delete;
    sys::PRINTER_INFO_2 info;

  private:
    std::string name_, port_, driver_, processor_ = "WinPrint", datatype_ = "RAW";
};

// A printer of a case: named after it, removed before and after.
class SpoolerTest : public conformance::Test {
  protected:
    void SetUp() override {
        conformance::Test::SetUp();
        printer_ =
            std::string("Cf ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        DeletePrinterNamed(printer_);
    }
    void TearDown() override {
        DeletePrinterNamed(printer_);
        conformance::Test::TearDown();
    }

    const std::string& PrinterName() const { return printer_; }
    static std::string FirstPort() {
        auto ports = PortNames(2);
        return ports.empty() ? std::string() : ports.front();
    }

  private:
    std::string printer_;
};

constexpr char kStubDriver[] = "Cf Stub Driver";

// --- Ports ---------------------------------------------------------------------------------

TEST_F(SpoolerTest, EnumPortsSizeQueryExactAndOneShort) {
    for (Dword level : {1u, 2u}) {
        SCOPED_TRACE("level " + std::to_string(level));
        const Call query = EnumPorts(level, nullptr, 0);
        EXPECT_EQ(query.result, 0);
        EXPECT_EQ(query.error, sys::err::InsufficientBuffer);
        EXPECT_EQ(query.returned, 0u);
        ASSERT_NE(query.needed, kMarker);
        ASSERT_GT(query.needed, 0u);
        const Dword needed = query.needed;

        std::vector<std::uint8_t> buffer(needed + 16, kFill);
        const Call exact = EnumPorts(level, buffer.data(), needed);
        EXPECT_EQ(exact.result, 1);
        EXPECT_EQ(exact.needed, needed);
        ASSERT_GT(exact.returned, 0u);
        for (Dword i = needed; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], kFill) << "written past the size at " << i;
        }
        if (level == 1) {
            ExpectStringsInside<sys::PORT_INFO_1>(buffer, needed, exact.returned,
                                                  {&sys::PORT_INFO_1::pName});
        } else {
            ExpectStringsInside<sys::PORT_INFO_2>(
                buffer, needed, exact.returned,
                {&sys::PORT_INFO_2::pPortName, &sys::PORT_INFO_2::pMonitorName,
                 &sys::PORT_INFO_2::pDescription});
        }

        std::vector<std::uint8_t> shortBuffer(needed, kFill);
        const Call oneShort = EnumPorts(level, shortBuffer.data(), needed - 1);
        EXPECT_EQ(oneShort.result, 0);
        EXPECT_EQ(oneShort.error, sys::err::InsufficientBuffer);
        EXPECT_EQ(oneShort.needed, needed);
        EXPECT_EQ(oneShort.returned, 0u);
    }
}

TEST_F(SpoolerTest, EnumPortsRefusesNullCounters) {
    Dword count = 0;
    for (bool nullNeeded : {true, false}) {
        SCOPED_TRACE(nullNeeded ? "NULL needed" : "NULL returned");
        std::vector<std::uint8_t> buffer(4096, kFill);
        sys::SetLastError(kMarker);
        const int result =
            sys::EnumPortsA(nullptr, 2, buffer.data(), 4096, nullNeeded ? nullptr : &count,
                            nullNeeded ? &count : nullptr);
        EXPECT_EQ(result, 0);
        const Dword error = sys::GetLastError();
        EXPECT_TRUE(error == sys::err::RpcNullRefPointer || error == sys::err::InvalidParameter)
            << "error " << error;
    }
}

TEST_F(SpoolerTest, EnumPortsKnowsLevelsOneAndTwoOnly) {
    for (Dword level : {0u, 3u}) {
        SCOPED_TRACE("level " + std::to_string(level));
        const Call call = EnumPorts(level, nullptr, 0);
        EXPECT_EQ(call.result, 0);
        EXPECT_EQ(call.error, sys::err::InvalidLevel);
    }
}

TEST_F(SpoolerTest, EnumPortsLevelsListTheSamePortsInTheSameOrder) {
    const auto level1 = PortNames(1);
    const auto level2 = PortNames(2);
    EXPECT_EQ(level1, level2);
    EXPECT_NE(std::find(level2.begin(), level2.end(), "LPT1:"), level2.end());
}

TEST_F(SpoolerTest, PortDialogsOfUnknownPortsAndMonitors) {
    // ERROR_NOT_SUPPORTED (50) on XP and later: no monitor owns the port, or has the name.
    for (const char* missing : {"CFNOSUCHPORT:", ""}) {
        SCOPED_TRACE(std::string("\"") + missing + "\"");
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::ConfigurePortA(nullptr, nullptr, missing), 0);
        EXPECT_EQ(sys::GetLastError(), sys::err::NotSupported);
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::DeletePortA(nullptr, nullptr, missing), 0);
        EXPECT_EQ(sys::GetLastError(), sys::err::NotSupported);
    }
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddPortA(nullptr, nullptr, "Cf No Such Monitor"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::NotSupported);
    // No name at all is refused by the RPC layer: RPC_X_NULL_REF_POINTER (1780).
    for (auto* call : {&sys::ConfigurePortA, &sys::DeletePortA, &sys::AddPortA}) {
        sys::SetLastError(kMarker);
        EXPECT_EQ(call(nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(sys::GetLastError(), sys::err::RpcNullRefPointer);
    }
}

// --- Driver directory -------------------------------------------------------------------------

TEST_F(SpoolerTest, DriverDirectorySizeQueryExactAndOneShort) {
    Dword needed = kMarker;
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::GetPrinterDriverDirectoryA(nullptr, kX86, 1, nullptr, 0, &needed), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InsufficientBuffer);
    ASSERT_NE(needed, kMarker);
    ASSERT_GT(needed, 1u);
    const Dword size = needed;

    std::vector<std::uint8_t> buffer(size + 8, kFill);
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::GetPrinterDriverDirectoryA(nullptr, kX86, 1, buffer.data(), size, &needed), 1);
    const std::string directory(reinterpret_cast<const char*>(buffer.data()));
    EXPECT_EQ(directory.size() + 1, size);
    EXPECT_TRUE(EndsWithNoCase(directory, "\\spool\\drivers\\w32x86")) << directory;
    for (Dword i = size; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], kFill) << "written past the size at " << i;
    }

    std::vector<std::uint8_t> shortBuffer(size, kFill);
    needed = kMarker;
    sys::SetLastError(kMarker);
    EXPECT_EQ(
        sys::GetPrinterDriverDirectoryA(nullptr, kX86, 1, shortBuffer.data(), size - 1, &needed),
        0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InsufficientBuffer);
    EXPECT_EQ(needed, size);
}

TEST_F(SpoolerTest, DriverDirectoryEnvironmentNames) {
    const std::string x86 = DriverDirectory(kX86);
    ASSERT_FALSE(x86.empty());
    EXPECT_EQ(DriverDirectory("windows nt x86"), x86);
    EXPECT_EQ(DriverDirectory("WINDOWS NT X86"), x86);
    EXPECT_TRUE(EndsWithNoCase(DriverDirectory(kX64), "\\spool\\drivers\\x64"));
    if (sizeof(void*) == 4) {  // NULL is the caller's own environment
        EXPECT_EQ(DriverDirectory(nullptr), x86);
    }
}

TEST_F(SpoolerTest, DriverDirectoryRefusals) {
    struct Case {
        const char* environment;
        Dword level;
        Dword error;
    };
    for (const Case& c : {Case{"Windows NT bogus", 1, sys::err::InvalidEnvironment},
                          Case{kX86, 2, sys::err::InvalidLevel}}) {
        SCOPED_TRACE(std::string(c.environment) + " level " + std::to_string(c.level));
        std::vector<std::uint8_t> buffer(512, kFill);
        Dword needed = kMarker;
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::GetPrinterDriverDirectoryA(nullptr, c.environment, c.level, buffer.data(),
                                                  512, &needed),
                  0);
        EXPECT_EQ(sys::GetLastError(), c.error);
    }
}

// --- Monitors -------------------------------------------------------------------------------

struct MonitorRecord {
    MonitorRecord(std::string name, std::string dll)
        : name_(std::move(name)), dll_(std::move(dll)) {
        info.pName = name_.data();
        info.pDLLName = dll_.data();
    }
    sys::MONITOR_INFO_2 info;

  private:
    std::string name_, dll_;
};

TEST_F(SpoolerTest, AddMonitorRefusesOtherLevelsEmptyNamesAndNullRecord) {
    MonitorRecord monitor("Cf Monitor", "cfmonitor.dll");
    for (Dword level : {1u, 3u}) {
        SCOPED_TRACE("level " + std::to_string(level));
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::AddMonitorA(nullptr, level, &monitor.info), 0);
        EXPECT_EQ(sys::GetLastError(), sys::err::InvalidLevel);
    }
    for (auto [name, dll] : {std::pair{"", "cfmonitor.dll"}, std::pair{"Cf Monitor", ""}}) {
        SCOPED_TRACE(std::string("name \"") + name + "\" dll \"" + dll + "\"");
        MonitorRecord empty(name, dll);
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::AddMonitorA(nullptr, 2, &empty.info), 0);
        EXPECT_EQ(sys::GetLastError(), sys::err::InvalidParameter);
    }
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddMonitorA(nullptr, 2, nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), kMarker);
}

TEST_F(SpoolerTest, AddMonitorOfMissingDll) {
    MonitorRecord monitor("Cf Missing Monitor", "C:\\cf-no-such-monitor.dll");
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddMonitorA(nullptr, 2, &monitor.info), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::ModNotFound);
}

TEST_F(SpoolerTest, AddMonitorOfDllWithoutEntryPoint) {
    SIM_ONLY(
        "a loadable DLL without InitializePrintMonitor2; the sim takes any file without the name");
    WriteStub("C:\\Windows\\System32\\cfplain.dll", "a module with other exports");
    MonitorRecord monitor("Cf Plain Monitor", "cfplain.dll");
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddMonitorA(nullptr, 2, &monitor.info), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::ProcNotFound);
}

TEST_F(SpoolerTest, MonitorAddedTwiceThenDeletedTwice) {
    SIM_ONLY("a working monitor DLL");
    WriteStub("C:\\Windows\\System32\\cfmon.dll", "...InitializePrintMonitor2...");
    MonitorRecord monitor("Cf Working Monitor", "cfmon.dll");
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddMonitorA(nullptr, 2, &monitor.info), 1);
    EXPECT_EQ(sys::GetLastError(), sys::err::Success);
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddMonitorA(nullptr, 2, &monitor.info), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::PrintMonitorAlreadyInstalled);
    EXPECT_EQ(sys::DeleteMonitorA(nullptr, kX86, "Cf Working Monitor"), 1);
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::DeleteMonitorA(nullptr, kX86, "Cf Working Monitor"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPrintMonitor);
}

TEST_F(SpoolerTest, DeleteMonitorThatIsNotThere) {
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::DeleteMonitorA(nullptr, kX86, "Cf No Such Monitor"), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPrintMonitor);
}

// --- Drivers --------------------------------------------------------------------------------

TEST_F(SpoolerTest, AddPrinterDriverCopiesIntoTheVersionDirectory) {
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    const std::string directory = DriverDirectory(kX86);
    for (const char* file : {"CFSTUB.DLL", "CFSTUBUI.DLL", "CFSTUB.GPD", "CFSTUB.HLP"}) {
        EXPECT_NE(sys::GetFileAttributesA(directory + "\\3\\" + file), sys::attr::Invalid) << file;
    }
}

TEST_F(SpoolerTest, AddPrinterDriverWithAMissingFile) {
    WINE_DIFFERS("AddPrinterDriverExA succeeds although a file it names is missing");
    const std::string directory = DriverDirectory(kX86);
    for (const char* file : {"CFSTUB.DLL", "CFSTUBUI.DLL", "CFSTUB.HLP"}) {  // not the data file
        WriteStub(directory + "\\" + file, "stub");
    }
    StubDriverRecord record("Cf Refused Driver", kX86, "\\CFNOSUCH.GPD");
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddPrinterDriverExA(nullptr, 3, &record.info, sys::spool::CopyAllFiles), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::FileNotFound);
}

TEST_F(SpoolerTest, AddPrinterDriverRefusals) {
    struct Case {
        const char* what;
        Dword level;
        const char* environment;
        const char* dataFile;
        Dword error;
    };
    for (const Case& c : {Case{"unknown environment", 3, "Windows NT bogus", "\\CFSTUB.DLL",
                               sys::err::InvalidEnvironment},
                          Case{"level 1", 1, kX86, "\\CFSTUB.DLL", sys::err::InvalidLevel},
                          Case{"level 5", 5, kX86, "\\CFSTUB.DLL", sys::err::InvalidLevel}}) {
        SCOPED_TRACE(c.what);
        StubDriverRecord record("Cf Refused Driver", c.environment, c.dataFile);
        sys::SetLastError(kMarker);
        EXPECT_EQ(
            sys::AddPrinterDriverExA(nullptr, c.level, &record.info, sys::spool::CopyAllFiles), 0);
        EXPECT_EQ(sys::GetLastError(), c.error);
    }
}

TEST_F(SpoolerTest, EnumPrinterDriversSizeQueryExactAndOneShort) {
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    const Call query = EnumDrivers(kX86, 3, nullptr, 0);
    EXPECT_EQ(query.result, 0);
    EXPECT_EQ(query.error, sys::err::InsufficientBuffer);
    ASSERT_GT(query.needed, 0u);
    ASSERT_NE(query.needed, kMarker);
    std::vector<std::uint8_t> buffer(query.needed + 16, kFill);
    const Call exact = EnumDrivers(kX86, 3, buffer.data(), query.needed);
    EXPECT_EQ(exact.result, 1);
    ASSERT_GT(exact.returned, 0u);
    for (Dword i = query.needed; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], kFill) << "written past the size at " << i;
    }
    ExpectStringsInside<sys::DRIVER_INFO_3>(
        buffer, query.needed, exact.returned,
        {&sys::DRIVER_INFO_3::pName, &sys::DRIVER_INFO_3::pEnvironment,
         &sys::DRIVER_INFO_3::pDriverPath, &sys::DRIVER_INFO_3::pDataFile,
         &sys::DRIVER_INFO_3::pConfigFile});
    const auto* records = reinterpret_cast<const sys::DRIVER_INFO_3*>(buffer.data());
    const auto* stub = std::find_if(records, records + exact.returned, [](const auto& r) {
        return std::string(r.pName) == kStubDriver;
    });
    ASSERT_NE(stub, records + exact.returned) << "the stub driver is not listed";
    EXPECT_EQ(stub->cVersion, 3u);
    EXPECT_EQ(std::string(stub->pEnvironment), kX86);
    // The files as the spooler keeps them: full paths in the version directory.
    EXPECT_TRUE(EndsWithNoCase(stub->pDriverPath, "\\3\\CFSTUB.DLL")) << stub->pDriverPath;
    EXPECT_TRUE(EndsWithNoCase(stub->pConfigFile, "\\3\\CFSTUBUI.DLL")) << stub->pConfigFile;
    const Call oneShort = EnumDrivers(kX86, 3, buffer.data(), query.needed - 1);
    EXPECT_EQ(oneShort.result, 0);
    EXPECT_EQ(oneShort.error, sys::err::InsufficientBuffer);
    EXPECT_EQ(oneShort.needed, query.needed);
}

TEST_F(SpoolerTest, EnumPrinterDriversRefusals) {
    struct Case {
        const char* what;
        const char* environment;
        Dword level;
        Dword error;
    };
    for (const Case& c :
         {Case{"unknown environment", "Windows NT bogus", 3, sys::err::InvalidEnvironment},
          Case{"level 0", kX86, 0, sys::err::InvalidLevel},
          Case{"level 9", kX86, 9, sys::err::InvalidLevel}}) {
        SCOPED_TRACE(c.what);
        const Call call = EnumDrivers(c.environment, c.level, nullptr, 0);
        EXPECT_EQ(call.result, 0);
        EXPECT_EQ(call.error, c.error);
    }
}

TEST_F(SpoolerTest, DeletePrinterDriverRefusals) {
    WINE_DIFFERS("DeletePrinterDriverExA of a driver not installed leaves the last error alone");
    struct Case {
        const char* what;
        const char* environment;
        const char* driver;
        Dword error;
    };
    for (const Case& c : {Case{"unknown environment", "Windows NT bogus", kStubDriver,
                               sys::err::InvalidEnvironment},
                          Case{"driver not installed", kX86, "Cf Driver Never Installed",
                               sys::err::UnknownPrinterDriver}}) {
        SCOPED_TRACE(c.what);
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, c.environment, c.driver, 0, 0), 0);
        EXPECT_EQ(sys::GetLastError(), c.error);
    }
}

TEST_F(SpoolerTest, DeletedDriverIsNotListedAndItsUnusedFilesGo) {
    WINE_DIFFERS("DeletePrinterDriverExA refuses every delete flag with 87");
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver("Cf Deleted Driver", "CFGONE"));
    ASSERT_TRUE(DriverListed("Cf Deleted Driver"));
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Deleted Driver",
                                          sys::spool::DeleteUnusedFiles, 0),
              1)
        << "error " << sys::GetLastError();
    EXPECT_FALSE(DriverListed("Cf Deleted Driver"));
    const std::string version = DriverDirectory(kX86) + "\\3\\";
    for (const char* file : {"CFGONE.DLL", "CFGONEUI.DLL", "CFGONE.GPD", "CFGONE.HLP"}) {
        EXPECT_EQ(sys::GetFileAttributesA(version + file), sys::attr::Invalid) << file;
    }
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Deleted Driver",
                                          sys::spool::DeleteUnusedFiles, 0),
              0);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPrinterDriver);
}

TEST_F(SpoolerTest, DeletedDriverWithoutFlagsIsNotListed) {
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver("Cf Plainly Deleted Driver", "CFPLAIN"));
    ASSERT_TRUE(DriverListed("Cf Plainly Deleted Driver"));
    EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Plainly Deleted Driver", 0, 0), 1)
        << "error " << sys::GetLastError();
    EXPECT_FALSE(DriverListed("Cf Plainly Deleted Driver"));
}

TEST_F(SpoolerTest, DeletePrinterDriverKeepsFilesAnotherDriverUses) {
    WINE_DIFFERS("DeletePrinterDriverExA refuses every delete flag with 87");
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver("Cf Sharing Driver 1", "CFSHARE"));
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver("Cf Sharing Driver 2", "CFSHARE"));
    EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Sharing Driver 1",
                                          sys::spool::DeleteUnusedFiles, 0),
              1)
        << "error " << sys::GetLastError();
    EXPECT_TRUE(DriverListed("Cf Sharing Driver 2"));
    EXPECT_NE(sys::GetFileAttributesA(DriverDirectory(kX86) + "\\3\\CFSHARE.DLL"),
              sys::attr::Invalid);
    sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Sharing Driver 2", sys::spool::DeleteUnusedFiles,
                                0);
}

TEST_F(SpoolerTest, DeletePrinterDriverOfDriverAPrinterUses) {
    WINE_DIFFERS("DeletePrinterDriverExA deletes a driver a printer uses");
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver("Cf Used Driver", "CFUSED"));
    PrinterRecord record(PrinterName(), FirstPort(), "Cf Used Driver");
    sys::Printer added(sys::AddPrinterA(nullptr, 2, &record.info));
    ASSERT_TRUE(added) << "AddPrinterA: error " << sys::GetLastError();
    added.Close();
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Used Driver", 0, 0), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::PrinterDriverInUse);
    EXPECT_TRUE(DriverListed("Cf Used Driver"));
    DeletePrinterNamed(PrinterName());
    EXPECT_EQ(sys::DeletePrinterDriverExA(nullptr, kX86, "Cf Used Driver", 0, 0), 1)
        << "once the printer is gone: error " << sys::GetLastError();
}

// --- Printers -------------------------------------------------------------------------------

TEST_F(SpoolerTest, EnumPrintersWithNoPrintersSucceedsWithNothing) {
    // A fresh simulated machine has no printer; elsewhere the machine is what it is, and with
    // local printers the size query fails as usual. Only the local query is known to set the
    // last error to 0 (Wine leaves it for the connections).
    struct Case {
        Dword flags;
        const char* name;
    };
    for (const Case& c :
         {Case{sys::spool::EnumLocal, nullptr}, Case{sys::spool::EnumLocal, ""},
          Case{sys::spool::EnumConnections, nullptr}, Case{sys::spool::EnumConnections, ""}}) {
        const bool local = c.flags == sys::spool::EnumLocal;
        SCOPED_TRACE((local ? "local," : "connections,") +
                     std::string(c.name ? " empty name" : " NULL name"));
        Call call;
        sys::SetLastError(kMarker);
        call.result =
            sys::EnumPrintersA(c.flags, c.name, 2, nullptr, 0, &call.needed, &call.returned);
        call.error = sys::GetLastError();
        EXPECT_EQ(call.returned, 0u);
        if (conformance::OnSim() || !local) {
            EXPECT_EQ(call.result, 1);
        }
        if (call.result == 1) {
            EXPECT_EQ(call.needed, 0u);
            if (local) {
                EXPECT_EQ(call.error, sys::err::Success);
            }
        } else {
            EXPECT_EQ(call.error, sys::err::InsufficientBuffer);
            EXPECT_GT(call.needed, 0u);
        }
    }
}

TEST_F(SpoolerTest, PrinterLifeFromAddToDelete) {
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    const std::string port = FirstPort();
    ASSERT_FALSE(port.empty());
    PrinterRecord record(PrinterName(), port, kStubDriver);
    const sys::PRINTER_INFO_2 before = record.info;

    sys::Printer added(sys::AddPrinterA(nullptr, 2, &record.info));
    ASSERT_TRUE(added) << "AddPrinterA: error " << sys::GetLastError();
    EXPECT_EQ(std::memcmp(&before, &record.info, sizeof before), 0)
        << "the caller's record changed";
    EXPECT_EQ(std::string(record.info.pPrinterName), PrinterName());
    EXPECT_TRUE(Listed(PrinterName()));

    // With a printer the size rules are those of the ports.
    const Call query = EnumLocalPrinters(nullptr, 0);
    EXPECT_EQ(query.result, 0);
    EXPECT_EQ(query.error, sys::err::InsufficientBuffer);
    EXPECT_EQ(query.returned, 0u);
    ASSERT_GT(query.needed, 0u);
    ASSERT_NE(query.needed, kMarker);
    std::vector<std::uint8_t> buffer(query.needed + 16, kFill);
    const Call exact = EnumLocalPrinters(buffer.data(), query.needed);
    EXPECT_EQ(exact.result, 1);
    ASSERT_GT(exact.returned, 0u);
    for (Dword i = query.needed; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], kFill) << "written past the size at " << i;
    }
    ExpectStringsInside<sys::PRINTER_INFO_2>(
        buffer, query.needed, exact.returned,
        {&sys::PRINTER_INFO_2::pPrinterName, &sys::PRINTER_INFO_2::pPortName,
         &sys::PRINTER_INFO_2::pDriverName});
    const Call oneShort = EnumLocalPrinters(buffer.data(), query.needed - 1);
    EXPECT_EQ(oneShort.result, 0);
    EXPECT_EQ(oneShort.error, sys::err::InsufficientBuffer);
    EXPECT_EQ(oneShort.needed, query.needed);

    sys::PRINTER_DEFAULTS defaults;
    defaults.DesiredAccess = sys::spool::PrinterAllAccess;
    sys::Printer opened;
    ASSERT_EQ(sys::OpenPrinterA(PrinterName().c_str(), opened.Receive(), &defaults), 1);
    EXPECT_EQ(sys::DeletePrinter(opened.Get()), 1);
    EXPECT_FALSE(Listed(PrinterName()));
    EXPECT_EQ(opened.Close(), 1);
    EXPECT_EQ(added.Close(), 1);

    // The name is free again.
    sys::Printer again(sys::AddPrinterA(nullptr, 2, &record.info));
    EXPECT_TRUE(again) << "AddPrinterA after DeletePrinter: error " << sys::GetLastError();
}

TEST_F(SpoolerTest, ClosePrinterOfNullAndOfClosedHandles) {
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::ClosePrinter(nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InvalidHandle);

    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    PrinterRecord record(PrinterName(), FirstPort(), kStubDriver);
    sys::PrinterHandle handle = sys::AddPrinterA(nullptr, 2, &record.info);
    ASSERT_NE(handle, nullptr) << "AddPrinterA: error " << sys::GetLastError();
    EXPECT_EQ(sys::ClosePrinter(handle), 1);
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::ClosePrinter(handle), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InvalidHandle);
}

TEST_F(SpoolerTest, OpenPrinterOfEmptyName) {
    WINE_DIFFERS("OpenPrinterA(\"\") fails with 87 (ERROR_INVALID_PARAMETER)");
    sys::SetLastError(kMarker);
    sys::PrinterHandle handle = nullptr;
    EXPECT_EQ(sys::OpenPrinterA("", &handle, nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InvalidPrinterName);
}

TEST_F(SpoolerTest, OpenPrinterRefusals) {
    sys::PrinterHandle handle = nullptr;
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::OpenPrinterA(PrinterName().c_str(), &handle, nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InvalidPrinterName);

    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::OpenPrinterA(PrinterName().c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), sys::err::InvalidParameter);
}

TEST_F(SpoolerTest, AddPrinterKnowsLevelTwoOnly) {
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    PrinterRecord record(PrinterName(), FirstPort(), kStubDriver);
    for (Dword level : {0u, 3u}) {
        SCOPED_TRACE("level " + std::to_string(level));
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::AddPrinterA(nullptr, level, &record.info), nullptr);
        EXPECT_EQ(sys::GetLastError(), sys::err::InvalidLevel);
    }
    EXPECT_FALSE(Listed(PrinterName()));
}

TEST_F(SpoolerTest, AddPrinterOfDriverNotInstalled) {
    WINE_DIFFERS("AddPrinterA of a driver not installed fails with 87 (ERROR_INVALID_PARAMETER)");
    PrinterRecord record(PrinterName(), FirstPort(), "Cf Driver Never Installed");
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddPrinterA(nullptr, 2, &record.info), nullptr);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPrinterDriver);
    EXPECT_FALSE(Listed(PrinterName()));
}

TEST_F(SpoolerTest, AddPrinterOnPortThatDoesNotExist) {
    WINE_DIFFERS("AddPrinterA accepts a port that does not exist");
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    PrinterRecord record(PrinterName(), "CFNOSUCHPORT:", kStubDriver);
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddPrinterA(nullptr, 2, &record.info), nullptr);
    EXPECT_EQ(sys::GetLastError(), sys::err::UnknownPort);
    EXPECT_FALSE(Listed(PrinterName()));
}

TEST_F(SpoolerTest, AddPrinterOfExistingName) {
    WINE_DIFFERS("a second AddPrinterA of a name overwrites the printer");
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    PrinterRecord record(PrinterName(), FirstPort(), kStubDriver);
    sys::Printer first(sys::AddPrinterA(nullptr, 2, &record.info));
    ASSERT_TRUE(first) << "AddPrinterA: error " << sys::GetLastError();
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::AddPrinterA(nullptr, 2, &record.info), nullptr);
    EXPECT_EQ(sys::GetLastError(), sys::err::PrinterAlreadyExists);
}

TEST_F(SpoolerTest, PurgeOfPrinterOpenedWithAllAccess) {
    WINE_DIFFERS("SetPrinterA(PRINTER_CONTROL_PURGE) fails with 124");
    ASSERT_NO_FATAL_FAILURE(InstallStubDriver(kStubDriver));
    PrinterRecord record(PrinterName(), FirstPort(), kStubDriver);
    sys::Printer added(sys::AddPrinterA(nullptr, 2, &record.info));
    ASSERT_TRUE(added) << "AddPrinterA: error " << sys::GetLastError();
    std::string raw = "RAW";
    sys::PRINTER_DEFAULTS defaults;
    defaults.pDatatype = raw.data();
    defaults.DesiredAccess = sys::spool::PrinterAllAccess;
    sys::Printer opened;
    ASSERT_EQ(sys::OpenPrinterA(PrinterName().c_str(), opened.Receive(), &defaults), 1);
    EXPECT_EQ(sys::SetPrinterA(opened.Get(), 0, nullptr, sys::spool::PrinterControlPurge), 1);
}

}  // namespace
