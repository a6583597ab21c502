// The simulated print spooler: ports, monitors, drivers per environment and printers, with the
// buffer rules, error codes, driver files and registry keys of the Windows spooler.
#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/Spooler.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "platform/sim/Trace.h"

namespace fs = std::filesystem;
using sim::detail::Lower;
using sys::Dword;
namespace tr = sim::trace;

namespace {

// Codes only the spooler gives; their sources are named where they are used.
constexpr Dword kErrorBusy = 170;
constexpr Dword kErrorInvalidUserBuffer = 1784;
constexpr Dword kErrorUnknownPrintProcessor = 1798;
constexpr Dword kErrorPrinterDeleted = 1905;

constexpr Dword kPrinterAccessAdminister = 0x4;  // PRINTER_ACCESS_ADMINISTER
constexpr Dword kPrinterAccessUse = 0x8;         // PRINTER_ACCESS_USE
constexpr Dword kDelete = 0x10000;               // DELETE
constexpr Dword kPrinterControlPause = 1;
constexpr Dword kPrinterControlResume = 2;
constexpr Dword kAttributeLocal = 0x40;  // PRINTER_ATTRIBUTE_LOCAL
constexpr Dword kPortTypeWrite = 0x1;    // PORT_TYPE_WRITE

struct Environment {
    const char* name;
    const char* directory;
};
constexpr Environment kEnvironments[] = {{"Windows NT x86", "w32x86"}, {"Windows x64", "x64"}};
constexpr char kDriversRoot[] = "C:\\Windows\\System32\\spool\\drivers\\";
constexpr char kSystemDirectory[] = "C:\\Windows\\System32\\";
// The product is a 32-bit program: a NULL environment means its own.
constexpr char kCallerEnvironment[] = "Windows NT x86";

struct PrinterObject {
    sim::spooler::Printer record;
    bool deleted = false;  // DeletePrinter: gone from the list, its handles still valid
};

struct OpenHandle {
    std::shared_ptr<PrinterObject> printer;
    Dword access = 0;
};

struct Spooler {
    std::mutex mu;
    std::vector<sim::spooler::Port> ports;
    std::vector<sim::spooler::Monitor> monitors;
    std::vector<sim::spooler::Driver> drivers;
    std::vector<std::shared_ptr<PrinterObject>> printers;
    std::map<sys::PrinterHandle, OpenHandle> handles;
    std::uintptr_t lastHandle = 0x5000;
    std::deque<std::optional<std::string>> addPortAnswers;
    std::deque<bool> configureAnswers;
    int addPortShown = 0;
    int configureShown = 0;
    std::set<std::string> onlinePorts;  // lower-case names of ports with a printer's device
};

Spooler& S() {
    static Spooler spooler;
    return spooler;
}

bool Empty(const char* text) {
    return text == nullptr || *text == '\0';
}

bool Same(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

const Environment* FindEnvironment(const std::string& name) {
    for (const auto& environment : kEnvironments) {
        if (Same(name, environment.name)) {
            return &environment;
        }
    }
    return nullptr;
}

std::string DirectoryOf(const Environment& environment) {
    return std::string(kDriversRoot) + environment.directory;
}

// The spooler's own environment: that of the machine, not of the 32-bit caller.
std::string NativeEnvironment() {
    std::lock_guard lock(sim::detail::M().mu);
    return sim::detail::M().wow64 ? "Windows x64" : "Windows NT x86";
}

template <class T>
auto FindByName(std::vector<T>& items, const std::string& name) {
    return std::find_if(items.begin(), items.end(),
                        [&](const T& item) { return Same(item.name, name); });
}

std::shared_ptr<PrinterObject> ListedPrinter(const std::string& name) {
    for (auto& printer : S().printers) {
        if (Same(printer->record.name, name)) {
            return printer;
        }
    }
    return nullptr;
}

int HandlesOf(const PrinterObject& printer) {
    return static_cast<int>(
        std::count_if(S().handles.begin(), S().handles.end(),
                      [&](const auto& h) { return h.second.printer.get() == &printer; }));
}

sys::PrinterHandle NewHandle(std::shared_ptr<PrinterObject> printer, Dword access) {
    S().lastHandle += 8;
    auto handle = reinterpret_cast<sys::PrinterHandle>(S().lastHandle);
    sim::trace::Name(sim::trace::Kind::Printer, handle,
                     [&] { return "printer " + sim::trace::Q(printer->record.name); });
    S().handles[handle] = OpenHandle{std::move(printer), access};
    return handle;
}

bool Fail(Dword error) {
    sys::SetLastError(error);
    return false;
}

const char* const kControlPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

// The keys Windows keeps for each printer, and only those: the spooler writes more values under
// them, which nothing here reads.
void WritePrinterKeys(const std::string& name, const std::string& port) {
    const std::string control = kControlPrinters + name;
    const std::string software =
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\" + name;
    sim::registry::CreateKey("HKLM", control);
    sim::registry::SetString("HKLM", control, "Port", port);
    sim::registry::CreateKey("HKLM", software + "\\DsSpooler");
    sim::registry::CreateKey("HKCC", control);
}

void RemovePrinterKeys(const std::string& name) {
    sim::registry::DeleteKey("HKLM",
                             "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name);
    sim::registry::DeleteKey(
        "HKLM", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\" + name);
    sim::registry::DeleteKey("HKCC",
                             "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name);
}

bool HostFileExists(const std::string& windowsPath) {
    std::error_code ec;
    return fs::is_regular_file(sim::HostPath(windowsPath), ec);
}

std::string BaseName(const std::string& path) {
    auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The buffer of an Enum call: the records first, then their strings. The size is that of the
// Unicode form: on Windows EnumPrintersA asks for as much as EnumPrintersW, the ANSI calls
// running the Unicode call into the caller's buffer and converting the strings in place.
// (Wine 8 asks for the ANSI size; the cases do not depend on either.)
class EnumBuffer {
  public:
    EnumBuffer(std::size_t recordSize, std::size_t count)
        : recordSize_(recordSize), count_(count), needed_(recordSize * count) {}

    void Measure(const std::string& text) { needed_ += 2 * (text.size() + 1); }
    Dword Needed() const { return static_cast<Dword>(needed_); }

    void Start(std::uint8_t* buffer) {
        buffer_ = buffer;
        strings_ = reinterpret_cast<char*>(buffer + recordSize_ * count_);
    }
    char* Put(const std::string& text) {
        char* at = strings_;
        std::memcpy(at, text.c_str(), text.size() + 1);
        strings_ += text.size() + 1;
        return at;
    }
    template <class Record>
    void Write(std::size_t index, const Record& record) {
        std::memcpy(buffer_ + index * recordSize_, &record, sizeof record);
    }

  private:
    std::size_t recordSize_;
    std::size_t count_;
    std::size_t needed_;
    std::uint8_t* buffer_ = nullptr;
    char* strings_ = nullptr;
};

// The checks every Enum call starts with. RPC_X_NULL_REF_POINTER (1780): the client stub
// refuses NULL out pointers before the call reaches the spooler; ERROR_INVALID_USER_BUFFER
// (1784): a NULL buffer with a size.
bool EnumArgumentsValid(const std::uint8_t* buffer, Dword size, Dword* needed, Dword* returned) {
    if (needed == nullptr || returned == nullptr) {
        return Fail(sys::err::RpcNullRefPointer);
    }
    if (buffer == nullptr && size != 0) {
        return Fail(kErrorInvalidUserBuffer);
    }
    return true;
}

// The size triad: FALSE with ERROR_INSUFFICIENT_BUFFER and the full size in `needed` when the
// buffer is short, nothing written.
bool Fits(Dword size, Dword required, Dword* needed, Dword* returned) {
    *needed = required;
    *returned = 0;
    return size >= required || Fail(sys::err::InsufficientBuffer);
}

// A driver file named by a DRIVER_INFO_3: a bare name or "\name" is a file in the environment's
// driver directory; a full path is itself.
std::string DriverSource(const std::string& directory, const std::string& name) {
    if (name.size() >= 2 && name[1] == ':') {
        return name;
    }
    return directory + "\\" + (name[0] == '\\' ? name.substr(1) : name);
}

std::vector<std::string> MultiString(const char* list) {
    std::vector<std::string> names;
    while (list != nullptr && *list != '\0') {
        names.emplace_back(list);
        list += names.back().size() + 1;
    }
    return names;
}

bool ContainsEntryPoint(const std::string& windowsPath) {
    std::ifstream file(sim::HostPath(windowsPath), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return content.find("InitializePrintMonitor2") != std::string::npos;
}

std::vector<std::string> SplitPorts(const std::string& list) {
    std::vector<std::string> ports;
    std::stringstream in(list);
    for (std::string port; std::getline(in, port, ',');) {
        port.erase(0, port.find_first_not_of(' '));
        port.erase(port.find_last_not_of(' ') + 1);
        if (!port.empty()) {
            ports.push_back(port);
        }
    }
    return ports;
}

}  // namespace

namespace sim::detail {

void ResetSpooler() {
    {
        std::lock_guard lock(S().mu);
        S().handles.clear();
        S().addPortAnswers.clear();
        S().configureAnswers.clear();
        S().addPortShown = 0;
        S().configureShown = 0;
        S().onlinePorts.clear();
    }
    sim::spooler::Clear();
    const std::string monitorEnvironment = NativeEnvironment();
    for (const char* port :
         {"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:"}) {
        sim::spooler::AddPort({port, "Local Port", "Local Port"});
    }
    sim::spooler::AddMonitor({"Local Port", monitorEnvironment, "localspl.dll"});
    sim::spooler::AddMonitor({"Standard TCP/IP Port", monitorEnvironment, "tcpmon.dll"});
    for (const auto& environment : kEnvironments) {
        std::error_code ec;
        fs::create_directories(sim::HostPath(DirectoryOf(environment)), ec);
    }
}

// The spooler, once started, takes each printer's port from the printer's key (where a program
// may have written another one), and marks the printers on a port with a device online in their
// hardware-profile key.
void ServiceStarted(const std::string& service) {
    if (Lower(service) != "spooler") {
        return;
    }
    std::vector<std::string> names;
    {
        std::lock_guard lock(S().mu);
        for (const auto& printer : S().printers) {
            names.push_back(printer->record.name);
        }
    }
    std::vector<std::string> online;
    for (const auto& name : names) {
        const auto port = sim::registry::GetString("HKLM", kControlPrinters + name, "Port");
        std::lock_guard lock(S().mu);
        auto printer = ListedPrinter(name);
        if (!printer) {
            continue;
        }
        if (port) {
            printer->record.port = *port;
        }
        for (const auto& used : SplitPorts(printer->record.port)) {
            if (S().onlinePorts.count(Lower(used)) != 0) {
                online.push_back(name);
                break;
            }
        }
    }
    for (const auto& name : online) {
        sim::registry::SetDword("HKCC", kControlPrinters + name, "PrinterOnLine", 1);
    }
}

std::function<void()> SaveSpooler() {
    std::lock_guard lock(S().mu);
    auto ports = S().ports;
    auto monitors = S().monitors;
    auto drivers = S().drivers;
    auto online = S().onlinePorts;
    std::vector<sim::spooler::Printer> printers;
    for (const auto& printer : S().printers) {
        if (!printer->deleted) {
            printers.push_back(printer->record);
            printers.back().openHandles = 0;  // the process that held them is gone
        }
    }
    return [=] {
        std::lock_guard lock(S().mu);
        S().ports = ports;
        S().monitors = monitors;
        S().drivers = drivers;
        S().onlinePorts = online;
        S().printers.clear();
        for (const auto& record : printers) {
            S().printers.push_back(std::make_shared<PrinterObject>(PrinterObject{record, false}));
        }
    };
}
}  // namespace sim::detail

namespace sim::spooler {

void SetPrinterOnlineAt(const std::string& portName) {
    std::lock_guard lock(S().mu);
    S().onlinePorts.insert(Lower(portName));
}

void Clear() {
    std::lock_guard lock(S().mu);
    S().ports.clear();
    S().monitors.clear();
    S().drivers.clear();
    S().printers.clear();
}

void AddPort(const Port& port) {
    std::lock_guard lock(S().mu);
    S().ports.push_back(port);
}

void RemovePort(const std::string& name) {
    std::lock_guard lock(S().mu);
    auto it = FindByName(S().ports, name);
    if (it != S().ports.end()) {
        S().ports.erase(it);
    }
}

std::vector<Port> Ports() {
    std::lock_guard lock(S().mu);
    return S().ports;
}

void AddMonitor(const Monitor& monitor) {
    std::lock_guard lock(S().mu);
    S().monitors.push_back(monitor);
}

std::vector<Monitor> Monitors() {
    std::lock_guard lock(S().mu);
    return S().monitors;
}

void AddDriver(const Driver& driver) {
    std::lock_guard lock(S().mu);
    auto& drivers = S().drivers;
    drivers.erase(std::remove_if(drivers.begin(), drivers.end(),
                                 [&](const Driver& d) {
                                     return Same(d.name, driver.name) &&
                                            Same(d.environment, driver.environment);
                                 }),
                  drivers.end());
    drivers.push_back(driver);
}

std::vector<Driver> Drivers() {
    std::lock_guard lock(S().mu);
    return S().drivers;
}

void AddPrinter(const Printer& printer) {
    {
        std::lock_guard lock(S().mu);
        auto object = std::make_shared<PrinterObject>();
        object->record = printer;
        object->record.openHandles = 0;
        S().printers.push_back(object);
    }
    WritePrinterKeys(printer.name, printer.port);
}

std::vector<Printer> Printers() {
    std::lock_guard lock(S().mu);
    std::vector<Printer> printers;
    for (const auto& object : S().printers) {
        printers.push_back(object->record);
        printers.back().openHandles = HandlesOf(*object);
    }
    return printers;
}

std::optional<Printer> FindPrinter(const std::string& name) {
    std::lock_guard lock(S().mu);
    auto object = ListedPrinter(name);
    if (!object) {
        return std::nullopt;
    }
    Printer printer = object->record;
    printer.openHandles = HandlesOf(*object);
    return printer;
}

std::string DriverDirectory(const std::string& environment) {
    const Environment* found = FindEnvironment(environment);
    return found ? DirectoryOf(*found) : std::string();
}

void ScriptAddPort(std::optional<std::string> createdPort) {
    std::lock_guard lock(S().mu);
    S().addPortAnswers.push_back(std::move(createdPort));
}

void ScriptConfigurePort(bool ok) {
    std::lock_guard lock(S().mu);
    S().configureAnswers.push_back(ok);
}

int AddPortDialogsShown() {
    std::lock_guard lock(S().mu);
    return S().addPortShown;
}

int ConfigurePortDialogsShown() {
    std::lock_guard lock(S().mu);
    return S().configureShown;
}

}  // namespace sim::spooler

namespace sys {

int GetPrinterDriverDirectoryA(const char* /*server*/, const char* environment, Dword level,
                               std::uint8_t* buffer, Dword size, Dword* needed) {
    tr::Call trace("GetPrinterDriverDirectoryA", [&] {
        return tr::Args(tr::Q(environment), std::to_string(level), std::to_string(size));
    });
    sim::CountCall("GetPrinterDriverDirectoryA");
    if (sim::ShouldFail("GetPrinterDriverDirectoryA")) {
        return 0;
    }
    if (needed == nullptr) {
        return Fail(err::RpcNullRefPointer);
    }
    if (buffer == nullptr && size != 0) {
        return Fail(kErrorInvalidUserBuffer);
    }
    if (level != 1) {
        return Fail(err::InvalidLevel);
    }
    const Environment* found = FindEnvironment(environment ? environment : kCallerEnvironment);
    if (found == nullptr) {
        return Fail(err::InvalidEnvironment);
    }
    const std::string directory = DirectoryOf(*found);
    *needed = static_cast<Dword>(directory.size() + 1);
    if (size < *needed) {
        return Fail(err::InsufficientBuffer);
    }
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return 1;
}

int AddPrinterDriverExA(const char* /*server*/, Dword level, const void* info, Dword copyFlags) {
    tr::Call trace("AddPrinterDriverExA", [&] {
        return tr::Args(std::to_string(level),
                        level == 3 ? tr::Of(static_cast<const DRIVER_INFO_3*>(info)) : "?",
                        tr::Hex(copyFlags));
    });
    sim::CountCall("AddPrinterDriverExA");
    if (sim::ShouldFail("AddPrinterDriverExA")) {
        return 0;
    }
    // Levels 2, 4, 6 and 8 exist on Windows; the model knows level 3 only.
    if (level != 3) {
        return Fail(err::InvalidLevel);
    }
    const auto* d = static_cast<const DRIVER_INFO_3*>(info);
    if (d == nullptr || Empty(d->pName) || Empty(d->pDriverPath) || Empty(d->pDataFile) ||
        Empty(d->pConfigFile)) {
        return Fail(err::InvalidParameter);
    }
    const Environment* environment =
        FindEnvironment(d->pEnvironment ? d->pEnvironment : kCallerEnvironment);
    if (environment == nullptr) {
        return Fail(err::InvalidEnvironment);
    }
    if (!Empty(d->pMonitorName)) {
        std::lock_guard lock(S().mu);
        if (FindByName(S().monitors, d->pMonitorName) == S().monitors.end()) {
            return Fail(err::UnknownPrintMonitor);  // the driver's language monitor is missing
        }
    }
    const std::string directory = DirectoryOf(*environment);
    std::vector<std::string> names = {d->pDriverPath, d->pDataFile, d->pConfigFile};
    if (!Empty(d->pHelpFile)) {
        names.emplace_back(d->pHelpFile);
    }
    const auto dependents = MultiString(d->pDependentFiles);
    names.insert(names.end(), dependents.begin(), dependents.end());
    for (const auto& name : names) {
        if (!HostFileExists(DriverSource(directory, name))) {
            return Fail(err::FileNotFound);
        }
    }
    // APD_COPY_ALL_FILES and the other copy flags alike: every file goes into the version
    // subdirectory, replacing what is there.
    const std::string versionDirectory = directory + "\\" + std::to_string(d->cVersion);
    std::error_code ec;
    fs::create_directories(sim::HostPath(versionDirectory), ec);
    auto install = [&](const std::string& name) {
        const std::string target = versionDirectory + "\\" + BaseName(name);
        fs::copy_file(sim::HostPath(DriverSource(directory, name)), sim::HostPath(target),
                      fs::copy_options::overwrite_existing, ec);
        return target;
    };
    sim::spooler::Driver driver;
    driver.name = d->pName;
    driver.environment = environment->name;
    driver.version = d->cVersion;
    driver.driverPath = install(d->pDriverPath);
    driver.dataFile = install(d->pDataFile);
    driver.configFile = install(d->pConfigFile);
    driver.helpFile = Empty(d->pHelpFile) ? std::string() : install(d->pHelpFile);
    for (const auto& name : dependents) {
        driver.dependentFiles.push_back(install(name));
    }
    driver.monitorName = d->pMonitorName ? d->pMonitorName : "";
    driver.defaultDataType = d->pDefaultDataType ? d->pDefaultDataType : "";
    sim::spooler::AddDriver(driver);
    return 1;
}

int DeletePrinterDriverExA(const char* /*server*/, const char* environment, const char* driverName,
                           Dword deleteFlags, Dword versionFlag) {
    tr::Call trace("DeletePrinterDriverExA", [&] {
        return tr::Args(tr::Q(environment), tr::Q(driverName), tr::Hex(deleteFlags),
                        std::to_string(versionFlag));
    });
    sim::CountCall("DeletePrinterDriverExA");
    if (sim::ShouldFail("DeletePrinterDriverExA")) {
        return 0;
    }
    constexpr Dword kKnownFlags =
        spool::DeleteUnusedFiles | spool::DeleteSpecificVersion | spool::DeleteAllFiles;
    if ((deleteFlags & ~kKnownFlags) != 0) {
        return Fail(err::InvalidParameter);
    }
    if ((deleteFlags & spool::DeleteAllFiles) != 0) {
        return Fail(err::CallNotImplemented);  // refusing for a shared file is not modelled
    }
    const Environment* found = FindEnvironment(environment ? environment : kCallerEnvironment);
    if (found == nullptr) {
        return Fail(err::InvalidEnvironment);
    }
    if (Empty(driverName)) {
        return Fail(err::UnknownPrinterDriver);
    }
    const bool native = Same(found->name, NativeEnvironment());
    std::vector<std::string> unused;
    {
        std::lock_guard lock(S().mu);
        auto& drivers = S().drivers;
        auto it = std::find_if(drivers.begin(), drivers.end(), [&](const sim::spooler::Driver& d) {
            return Same(d.name, driverName) && Same(d.environment, found->name) &&
                   ((deleteFlags & spool::DeleteSpecificVersion) == 0 || d.version == versionFlag);
        });
        if (it == drivers.end()) {
            return Fail(err::UnknownPrinterDriver);
        }
        // Printers use the driver of the spooler's own environment; one deleted while a handle
        // is still open keeps it too (MS-RPRN, RpcDeletePrinterDriverEx: 3001).
        if (native) {
            for (const auto& [handle, open] : S().handles) {
                if (Same(open.printer->record.driver, driverName)) {
                    return Fail(err::PrinterDriverInUse);
                }
            }
            for (const auto& printer : S().printers) {
                if (Same(printer->record.driver, driverName)) {
                    return Fail(err::PrinterDriverInUse);
                }
            }
        }
        const sim::spooler::Driver gone = *it;
        drivers.erase(it);
        if ((deleteFlags & spool::DeleteUnusedFiles) != 0) {
            std::vector<std::string> files = {gone.driverPath, gone.dataFile, gone.configFile,
                                              gone.helpFile};
            files.insert(files.end(), gone.dependentFiles.begin(), gone.dependentFiles.end());
            for (const auto& file : files) {
                const bool shared =
                    std::any_of(drivers.begin(), drivers.end(), [&](const sim::spooler::Driver& d) {
                        std::vector<std::string> used = {d.driverPath, d.dataFile, d.configFile,
                                                         d.helpFile};
                        used.insert(used.end(), d.dependentFiles.begin(), d.dependentFiles.end());
                        return std::any_of(used.begin(), used.end(),
                                           [&](const std::string& u) { return Same(u, file); });
                    });
                if (!file.empty() && !shared) {
                    unused.push_back(file);
                }
            }
        }
    }
    for (const auto& file : unused) {
        std::error_code ec;
        fs::remove(sim::HostPath(file), ec);
    }
    return 1;
}

int EnumPrinterDriversA(const char* /*server*/, const char* environment, Dword level,
                        std::uint8_t* buffer, Dword size, Dword* needed, Dword* returned) {
    tr::Call trace("EnumPrinterDriversA", [&] {
        return tr::Args(tr::Q(environment), std::to_string(level), std::to_string(size));
    });
    trace.Out([=] {
        return returned != nullptr && needed != nullptr
                   ? "needed=" + std::to_string(*needed) + " returned=" + std::to_string(*returned)
                   : std::string();
    });
    sim::CountCall("EnumPrinterDriversA");
    if (sim::ShouldFail("EnumPrinterDriversA")) {
        return 0;
    }
    if (!EnumArgumentsValid(buffer, size, needed, returned)) {
        return 0;
    }
    if (level == 1 || level == 2 || level == 4 || level == 5 || level == 6 || level == 8) {
        return Fail(err::CallNotImplemented);  // Windows levels the model does not fill
    }
    if (level != 3) {
        return Fail(err::InvalidLevel);
    }
    const Environment* found = FindEnvironment(environment ? environment : kCallerEnvironment);
    if (found == nullptr) {
        return Fail(err::InvalidEnvironment);
    }
    std::lock_guard lock(S().mu);
    std::vector<sim::spooler::Driver> drivers;
    for (const auto& driver : S().drivers) {
        if (Same(driver.environment, found->name)) {
            drivers.push_back(driver);
        }
    }
    EnumBuffer out(sizeof(DRIVER_INFO_3), drivers.size());
    for (const auto& d : drivers) {
        for (const std::string* text :
             {&d.name, &d.environment, &d.driverPath, &d.dataFile, &d.configFile, &d.helpFile,
              &d.monitorName, &d.defaultDataType}) {
            out.Measure(*text);
        }
        std::string list;
        for (const auto& file : d.dependentFiles) {
            list += file + '\0';
        }
        out.Measure(list);  // its final NUL ends the list
    }
    if (!Fits(size, out.Needed(), needed, returned)) {
        return 0;
    }
    out.Start(buffer);
    for (std::size_t i = 0; i < drivers.size(); ++i) {
        const auto& d = drivers[i];
        DRIVER_INFO_3 record;
        record.cVersion = d.version;
        record.pName = out.Put(d.name);
        record.pEnvironment = out.Put(d.environment);
        record.pDriverPath = out.Put(d.driverPath);
        record.pDataFile = out.Put(d.dataFile);
        record.pConfigFile = out.Put(d.configFile);
        record.pHelpFile = out.Put(d.helpFile);
        std::string list;
        for (const auto& file : d.dependentFiles) {
            list += file + '\0';
        }
        record.pDependentFiles = out.Put(list);
        record.pMonitorName = out.Put(d.monitorName);
        record.pDefaultDataType = out.Put(d.defaultDataType);
        out.Write(i, record);
    }
    *returned = static_cast<Dword>(drivers.size());
    return 1;
}

int AddMonitorA(const char* /*server*/, Dword level, const void* info) {
    tr::Call trace("AddMonitorA", [&] {
        return tr::Args(std::to_string(level),
                        level == 2 ? tr::Of(static_cast<const MONITOR_INFO_2*>(info)) : "?");
    });
    sim::CountCall("AddMonitorA");
    if (sim::ShouldFail("AddMonitorA")) {
        return 0;
    }
    if (level != 2) {
        return Fail(err::InvalidLevel);
    }
    const auto* m = static_cast<const MONITOR_INFO_2*>(info);
    if (m == nullptr) {
        return 0;  // Windows leaves the last error as it was
    }
    if (Empty(m->pName) || Empty(m->pDLLName)) {
        return Fail(err::InvalidParameter);
    }
    // Only a monitor for the server's own architecture can be added (AddMonitor docs).
    const std::string environment = m->pEnvironment ? m->pEnvironment : kCallerEnvironment;
    if (!Same(environment, NativeEnvironment())) {
        return Fail(err::InvalidEnvironment);
    }
    {
        std::lock_guard lock(S().mu);
        if (FindByName(S().monitors, m->pName) != S().monitors.end()) {
            return Fail(err::PrintMonitorAlreadyInstalled);
        }
    }
    const std::string dll = m->pDLLName;
    const std::string path =
        dll.find_first_of("\\/") == std::string::npos ? kSystemDirectory + dll : dll;
    if (!HostFileExists(path)) {
        return Fail(err::ModNotFound);
    }
    if (!ContainsEntryPoint(path)) {
        return Fail(err::ProcNotFound);
    }
    {
        std::lock_guard lock(S().mu);
        if (FindByName(S().monitors, m->pName) != S().monitors.end()) {
            return Fail(err::PrintMonitorAlreadyInstalled);
        }
        S().monitors.push_back({m->pName, environment, dll});
    }
    SetLastError(err::Success);
    return 1;
}

int DeleteMonitorA(const char* /*server*/, const char* environment, const char* monitorName) {
    tr::Call trace("DeleteMonitorA",
                   [&] { return tr::Args(tr::Q(environment), tr::Q(monitorName)); });
    sim::CountCall("DeleteMonitorA");
    if (sim::ShouldFail("DeleteMonitorA")) {
        return 0;
    }
    if (Empty(monitorName)) {
        return Fail(err::InvalidParameter);
    }
    if (environment != nullptr && FindEnvironment(environment) == nullptr) {
        return Fail(err::InvalidEnvironment);
    }
    std::lock_guard lock(S().mu);
    auto it = FindByName(S().monitors, monitorName);
    if (it == S().monitors.end()) {
        return Fail(err::UnknownPrintMonitor);
    }
    S().monitors.erase(it);
    return 1;
}

PrinterHandle AddPrinterA(const char* /*server*/, Dword level, const void* info) {
    tr::Call trace("AddPrinterA", [&] {
        return tr::Args(std::to_string(level),
                        level == 2 ? tr::Of(static_cast<const PRINTER_INFO_2*>(info)) : "?");
    });
    sim::CountCall("AddPrinterA");
    if (sim::ShouldFail("AddPrinterA")) {
        return nullptr;
    }
    if (level != 2) {
        Fail(err::InvalidLevel);
        return nullptr;
    }
    const auto* p = static_cast<const PRINTER_INFO_2*>(info);
    if (p == nullptr) {
        Fail(err::InvalidParameter);
        return nullptr;
    }
    // Printer names hold neither commas nor backslashes.
    if (Empty(p->pPrinterName) || std::strpbrk(p->pPrinterName, ",\\") != nullptr) {
        Fail(err::InvalidPrinterName);
        return nullptr;
    }
    const std::string environment = NativeEnvironment();
    PrinterHandle handle = nullptr;
    std::string name = p->pPrinterName;
    std::string port = p->pPortName ? p->pPortName : "";
    {
        std::lock_guard lock(S().mu);
        // The order of the checks is that of RpcAddPrinter (MS-RPRN 3.1.4.2.3): driver, port,
        // print processor, then the name.
        auto& drivers = S().drivers;
        const bool driverInstalled =
            !Empty(p->pDriverName) &&
            std::any_of(drivers.begin(), drivers.end(), [&](const sim::spooler::Driver& d) {
                return Same(d.name, p->pDriverName) && Same(d.environment, environment);
            });
        if (!driverInstalled) {
            Fail(err::UnknownPrinterDriver);
            return nullptr;
        }
        const auto ports = SplitPorts(port);
        const bool portsExist =
            !ports.empty() && std::all_of(ports.begin(), ports.end(), [](const std::string& n) {
                return FindByName(S().ports, n) != S().ports.end();
            });
        if (!portsExist) {
            Fail(err::UnknownPort);
            return nullptr;
        }
        if (Empty(p->pPrintProcessor) || !Same(p->pPrintProcessor, "WinPrint")) {
            Fail(kErrorUnknownPrintProcessor);
            return nullptr;
        }
        if (ListedPrinter(name)) {
            Fail(err::PrinterAlreadyExists);
            return nullptr;
        }
        auto object = std::make_shared<PrinterObject>();
        object->record.name = name;
        object->record.port = port;
        object->record.driver = p->pDriverName;
        object->record.printProcessor = p->pPrintProcessor;
        object->record.datatype = p->pDatatype ? p->pDatatype : "";
        S().printers.push_back(object);
        handle = NewHandle(object, spool::PrinterAllAccess);
    }
    WritePrinterKeys(name, port);
    return handle;
}

int OpenPrinterA(const char* printerName, PrinterHandle* handle, const PRINTER_DEFAULTS* defaults) {
    tr::Call trace("OpenPrinterA", [&] { return tr::Args(tr::Q(printerName), tr::Of(defaults)); });
    sim::CountCall("OpenPrinterA");
    if (sim::ShouldFail("OpenPrinterA")) {
        return 0;
    }
    if (handle == nullptr) {
        return Fail(err::InvalidParameter);
    }
    *handle = nullptr;
    // A NULL name (the local server) and the ",XcvMonitor"/"\\server" forms are not modelled.
    if (printerName == nullptr || printerName[0] == ',' ||
        (printerName[0] == '\\' && printerName[1] == '\\')) {
        return Fail(err::CallNotImplemented);
    }
    if (*printerName == '\0' || std::strchr(printerName, ',') != nullptr) {
        return Fail(err::InvalidPrinterName);
    }
    std::lock_guard lock(S().mu);
    auto printer = ListedPrinter(printerName);
    if (!printer) {
        return Fail(err::InvalidPrinterName);
    }
    const Dword access = defaults != nullptr && defaults->DesiredAccess != 0
                             ? defaults->DesiredAccess
                             : kPrinterAccessUse;
    *handle = NewHandle(printer, access);
    return 1;
}

int SetPrinterA(PrinterHandle printer, Dword level, std::uint8_t* info, Dword command) {
    tr::Call trace("SetPrinterA", [&] {
        return tr::Args(tr::H(tr::Kind::Printer, printer), std::to_string(level),
                        level == 2 ? tr::Of(reinterpret_cast<const PRINTER_INFO_2*>(info))
                                   : tr::Q(info == nullptr ? nullptr : "?"),
                        std::to_string(command));
    });
    sim::CountCall("SetPrinterA");
    if (sim::ShouldFail("SetPrinterA")) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    auto it = S().handles.find(printer);
    if (it == S().handles.end()) {
        return Fail(err::InvalidHandle);
    }
    if (it->second.printer->deleted) {
        return Fail(kErrorPrinterDeleted);
    }
    if (level != 0) {
        return Fail(err::CallNotImplemented);  // setting printer records is not modelled
    }
    if (command != spool::PrinterControlPurge && command != kPrinterControlPause &&
        command != kPrinterControlResume) {
        return Fail(err::InvalidParameter);
    }
    if ((it->second.access & kPrinterAccessAdminister) == 0) {
        return Fail(err::AccessDenied);
    }
    if (command == spool::PrinterControlPurge) {
        it->second.printer->record.purged = true;
    }
    return 1;
}

int DeletePrinter(PrinterHandle printer) {
    tr::Call trace("DeletePrinter", [&] { return tr::H(tr::Kind::Printer, printer); });
    sim::CountCall("DeletePrinter");
    if (sim::ShouldFail("DeletePrinter")) {
        return 0;
    }
    std::string name;
    {
        std::lock_guard lock(S().mu);
        auto it = S().handles.find(printer);
        if (it == S().handles.end()) {
            return Fail(err::InvalidHandle);
        }
        auto object = it->second.printer;
        if (object->deleted) {
            return Fail(kErrorPrinterDeleted);
        }
        if ((it->second.access & kDelete) == 0) {
            return Fail(err::AccessDenied);
        }
        // Pending deletion: the name is free at once, the open handles stay valid until closed.
        object->deleted = true;
        auto& printers = S().printers;
        printers.erase(std::remove(printers.begin(), printers.end(), object), printers.end());
        name = object->record.name;
    }
    RemovePrinterKeys(name);
    return 1;
}

int ClosePrinter(PrinterHandle printer) {
    tr::Call trace("ClosePrinter", [&] { return tr::H(tr::Kind::Printer, printer); });
    sim::CountCall("ClosePrinter");
    if (sim::ShouldFail("ClosePrinter")) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    if (S().handles.erase(printer) == 0) {
        return Fail(err::InvalidHandle);
    }
    return 1;
}

int EnumPrintersA(Dword flags, const char* name, Dword level, std::uint8_t* buffer, Dword size,
                  Dword* needed, Dword* returned) {
    tr::Call trace("EnumPrintersA", [&] {
        return tr::Args(tr::Hex(flags), tr::Q(name), std::to_string(level), std::to_string(size));
    });
    trace.Out([=] {
        return returned != nullptr && needed != nullptr
                   ? "needed=" + std::to_string(*needed) + " returned=" + std::to_string(*returned)
                   : std::string();
    });
    sim::CountCall("EnumPrintersA");
    if (sim::ShouldFail("EnumPrintersA")) {
        return 0;
    }
    if (!EnumArgumentsValid(buffer, size, needed, returned)) {
        return 0;
    }
    if (level == 1 || level == 4 || level == 5) {
        return Fail(err::CallNotImplemented);  // Windows levels the model does not fill
    }
    if (level != 2) {
        return Fail(err::InvalidLevel);
    }
    std::lock_guard lock(S().mu);
    // Connections to other servers do not exist here; the local printers are all there is.
    std::vector<sim::spooler::Printer> printers;
    if ((flags & spool::EnumLocal) != 0) {
        for (const auto& object : S().printers) {
            printers.push_back(object->record);
        }
    }
    EnumBuffer out(sizeof(PRINTER_INFO_2), printers.size());
    for (const auto& p : printers) {
        for (const std::string* text :
             {&p.name, &p.port, &p.driver, &p.printProcessor, &p.datatype}) {
            out.Measure(*text);
        }
        for (int i = 0; i < 5; ++i) {  // share name, comment, location, separator, parameters
            out.Measure("");
        }
    }
    if (!Fits(size, out.Needed(), needed, returned)) {
        return 0;
    }
    out.Start(buffer);
    for (std::size_t i = 0; i < printers.size(); ++i) {
        const auto& p = printers[i];
        PRINTER_INFO_2 record;
        record.pPrinterName = out.Put(p.name);
        record.pShareName = out.Put("");
        record.pPortName = out.Put(p.port);
        record.pDriverName = out.Put(p.driver);
        record.pComment = out.Put("");
        record.pLocation = out.Put("");
        record.pSepFile = out.Put("");
        record.pPrintProcessor = out.Put(p.printProcessor);
        record.pDatatype = out.Put(p.datatype);
        record.pParameters = out.Put("");
        record.Attributes = kAttributeLocal;
        record.Priority = 1;
        out.Write(i, record);
    }
    *returned = static_cast<Dword>(printers.size());
    // The local query succeeds with the last error set to 0, also when there is no printer at
    // all (and so nothing to ask a size for).
    if ((flags & spool::EnumLocal) != 0) {
        SetLastError(err::Success);
    }
    return 1;
}

int EnumPortsA(const char* /*server*/, Dword level, std::uint8_t* buffer, Dword size, Dword* needed,
               Dword* returned) {
    tr::Call trace("EnumPortsA",
                   [&] { return tr::Args(std::to_string(level), std::to_string(size)); });
    trace.Out([=] {
        return returned != nullptr && needed != nullptr
                   ? "needed=" + std::to_string(*needed) + " returned=" + std::to_string(*returned)
                   : std::string();
    });
    sim::CountCall("EnumPortsA");
    if (sim::ShouldFail("EnumPortsA")) {
        return 0;
    }
    if (!EnumArgumentsValid(buffer, size, needed, returned)) {
        return 0;
    }
    if (level != 1 && level != 2) {
        return Fail(err::InvalidLevel);
    }
    std::lock_guard lock(S().mu);
    const auto& ports = S().ports;
    EnumBuffer out(level == 1 ? sizeof(PORT_INFO_1) : sizeof(PORT_INFO_2), ports.size());
    for (const auto& port : ports) {
        out.Measure(port.name);
        if (level == 2) {
            out.Measure(port.monitor);
            out.Measure(port.description);
        }
    }
    if (!Fits(size, out.Needed(), needed, returned)) {
        return 0;
    }
    out.Start(buffer);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (level == 1) {
            PORT_INFO_1 record;
            record.pName = out.Put(ports[i].name);
            out.Write(i, record);
        } else {
            PORT_INFO_2 record;
            record.pPortName = out.Put(ports[i].name);
            record.pMonitorName = out.Put(ports[i].monitor);
            record.pDescription = out.Put(ports[i].description);
            record.fPortType = kPortTypeWrite;
            out.Write(i, record);
        }
    }
    *returned = static_cast<Dword>(ports.size());
    return 1;
}

int AddPortA(const char* /*server*/, WindowHandle window, const char* monitorName) {
    tr::Call trace("AddPortA",
                   [&] { return tr::Args(tr::H(tr::Kind::Window, window), tr::Q(monitorName)); });
    sim::CountCall("AddPortA");
    if (sim::ShouldFail("AddPortA")) {
        return 0;
    }
    std::optional<std::string> answer;
    std::string monitor;
    {
        std::lock_guard lock(S().mu);
        // 50 (ERROR_NOT_SUPPORTED): no monitor of that name, or "" (XP and later).
        if (monitorName == nullptr) {
            return Fail(err::RpcNullRefPointer);
        }
        auto it = FindByName(S().monitors, monitorName);
        if (it == S().monitors.end()) {
            return Fail(err::NotSupported);
        }
        monitor = it->name;
        ++S().addPortShown;
        if (S().addPortAnswers.empty()) {
            answer = std::nullopt;
        } else {
            answer = S().addPortAnswers.front();
            S().addPortAnswers.pop_front();
            if (!answer) {
                return Fail(err::Cancelled);  // the user cancelled the monitor's dialog
            }
            // ERROR_ALREADY_EXISTS: the port is there already (MS-RPRN, RpcAddPortEx).
            if (FindByName(S().ports, *answer) != S().ports.end()) {
                return Fail(err::AlreadyExists);
            }
            S().ports.push_back({*answer, monitor, monitor});
            return 1;
        }
    }
    sim::detail::RecordUiFailure("AddPortA: the add-port dialog of \"" + monitor +
                                 "\" opened with no scripted answer; cancelled");
    return Fail(err::Cancelled);
}

int ConfigurePortA(const char* /*server*/, WindowHandle window, const char* portName) {
    tr::Call trace("ConfigurePortA",
                   [&] { return tr::Args(tr::H(tr::Kind::Window, window), tr::Q(portName)); });
    sim::CountCall("ConfigurePortA");
    if (sim::ShouldFail("ConfigurePortA")) {
        return 0;
    }
    {
        std::lock_guard lock(S().mu);
        // 50 (ERROR_NOT_SUPPORTED): no monitor owns a port of that name, or "" (XP and later).
        if (portName == nullptr) {
            return Fail(err::RpcNullRefPointer);
        }
        if (FindByName(S().ports, portName) == S().ports.end()) {
            return Fail(err::NotSupported);
        }
        ++S().configureShown;
        if (!S().configureAnswers.empty()) {
            const bool ok = S().configureAnswers.front();
            S().configureAnswers.pop_front();
            return ok ? 1 : Fail(err::Cancelled);
        }
    }
    sim::detail::RecordUiFailure(std::string("ConfigurePortA: the dialog of port \"") + portName +
                                 "\" opened with no scripted answer; cancelled");
    return Fail(err::Cancelled);
}

int DeletePortA(const char* /*server*/, WindowHandle window, const char* portName) {
    tr::Call trace("DeletePortA",
                   [&] { return tr::Args(tr::H(tr::Kind::Window, window), tr::Q(portName)); });
    sim::CountCall("DeletePortA");
    if (sim::ShouldFail("DeletePortA")) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    // 50 (ERROR_NOT_SUPPORTED) for a port no monitor owns, or "" (XP and later); then 170
    // (ERROR_BUSY) while a printer uses the port.
    if (portName == nullptr) {
        return Fail(err::RpcNullRefPointer);
    }
    auto it = FindByName(S().ports, portName);
    if (it == S().ports.end()) {
        return Fail(err::NotSupported);
    }
    for (const auto& printer : S().printers) {
        for (const auto& used : SplitPorts(printer->record.port)) {
            if (Same(used, portName)) {
                return Fail(kErrorBusy);
            }
        }
    }
    S().ports.erase(it);
    return 1;
}

}  // namespace sys
