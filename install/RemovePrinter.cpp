// The removal: printer, then its driver, then the label monitor and its module, each only where
// nothing left behind still uses it.
#include "install/RemovePrinter.h"

#include <strings.h>

#include <cstdint>
#include <optional>

#include "catalog/ModelTables.h"
#include "catalog/SystemDetect.h"
#include "install/DriverSteps.h"
#include "install/InstallLabelPrinter.h"
#include "install/RestartService.h"
#include "platform/Files.h"
#include "platform/Spooler.h"

namespace install {
namespace {

using Log = std::function<void(const std::string&)>;

bool Same(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

std::string Code(sys::Dword error) {
    return std::to_string(static_cast<int>(error));
}

// An Enum call's records: asked for the size, then filled; asked again if the list grew in
// between. Nothing when the call fails.
template <class Call>
std::optional<std::vector<std::uint8_t>> Enumerate(Call call, sys::Dword& returned) {
    std::vector<std::uint8_t> buffer;
    for (int attempt = 0; attempt < 3; ++attempt) {
        sys::Dword needed = 0;
        returned = 0;
        if (call(buffer.empty() ? nullptr : buffer.data(), static_cast<sys::Dword>(buffer.size()),
                 &needed, &returned)) {
            return buffer;
        }
        if (sys::GetLastError() != sys::err::InsufficientBuffer || needed <= buffer.size()) {
            break;
        }
        buffer.assign(needed, 0);
    }
    returned = 0;
    return std::nullopt;
}

struct PrinterEntry {
    std::string name;
    std::string driver;
};

std::optional<std::vector<PrinterEntry>> LocalPrinters() {
    sys::Dword returned = 0;
    const auto buffer = Enumerate(
        [](std::uint8_t* data, sys::Dword size, sys::Dword* needed, sys::Dword* count) {
            return sys::EnumPrintersA(sys::spool::EnumLocal, nullptr, 2, data, size, needed, count);
        },
        returned);
    if (!buffer) {
        return std::nullopt;
    }
    std::vector<PrinterEntry> printers;
    const auto* records = reinterpret_cast<const sys::PRINTER_INFO_2*>(buffer->data());
    for (sys::Dword i = 0; i < returned; ++i) {
        printers.push_back({Text(records[i].pPrinterName), Text(records[i].pDriverName)});
    }
    return printers;
}

struct DriverEntry {
    std::string name;
    std::string monitor;
};

std::optional<std::vector<DriverEntry>> Drivers(const char* environment) {
    sys::Dword returned = 0;
    const auto buffer = Enumerate(
        [&](std::uint8_t* data, sys::Dword size, sys::Dword* needed, sys::Dword* count) {
            return sys::EnumPrinterDriversA(nullptr, environment, 3, data, size, needed, count);
        },
        returned);
    if (!buffer) {
        return std::nullopt;
    }
    std::vector<DriverEntry> drivers;
    const auto* records = reinterpret_cast<const sys::DRIVER_INFO_3*>(buffer->data());
    for (sys::Dword i = 0; i < returned; ++i) {
        drivers.push_back({Text(records[i].pName), Text(records[i].pMonitorName)});
    }
    return drivers;
}

class Remover {
  public:
    Remover(const std::string& printer, const Log& log)
        : printer_(printer), log_(log), x64_(catalog::Is64BitWindows()) {}

    Removal Run() {
        const auto printers = LocalPrinters();
        if (!printers) {
            Fail("the list of printers (EnumPrintersA)", sys::GetLastError());
            return result_;
        }
        std::string driver;
        bool found = false;
        for (const auto& p : *printers) {
            if (Same(p.name, printer_)) {
                found = true;
                driver = p.driver;
            }
        }
        if (!found) {
            log_("No printer named \"" + printer_ + "\"");
            result_.code = kNoSuchPrinter;
            return result_;
        }
        // Read before the driver goes: whether it is a label driver.
        const std::string monitor = MonitorOf(driver);
        if (!DeletePrinter()) {
            return result_;
        }
        for (const auto& p : *printers) {
            if (!Same(p.name, printer_) && Same(p.driver, driver)) {
                log_("Kept the driver " + driver + ": the printer " + p.name + " uses it");
                return result_;
            }
        }
        DeleteDriver(driver);
        if (Same(monitor, kLabelMonitorName)) {
            DeleteMonitor();
        }
        return result_;
    }

  private:
    void Removed(const std::string& what) {
        log_("Removed " + what);
        result_.removed.push_back(what);
    }

    void Fail(const std::string& what, sys::Dword error) {
        const std::string line = what + ": error " + Code(error);
        log_("Could not remove " + line);
        result_.failed.push_back(line);
        result_.code = kNotAllRemoved;
    }

    std::string MonitorOf(const std::string& driver) {
        const auto drivers = Drivers(EnvironmentOf(x64_));
        for (const auto& d : drivers.value_or(std::vector<DriverEntry>{})) {
            if (Same(d.name, driver)) {
                return d.monitor;
            }
        }
        return {};
    }

    bool DeletePrinter() {
        const std::string what = "the printer " + printer_;
        std::string raw = "RAW";
        sys::PRINTER_DEFAULTS defaults{raw.data(), nullptr, sys::spool::PrinterAllAccess};
        sys::Printer handle;
        if (sys::OpenPrinterA(printer_.c_str(), handle.Receive(), &defaults) != 1) {
            Fail(what + " (OpenPrinterA)", sys::GetLastError());
            return false;
        }
        // Its jobs go with it anyway: a purge that fails does not keep the printer.
        if (sys::SetPrinterA(handle.Get(), 0, nullptr, sys::spool::PrinterControlPurge) != 1) {
            log_("SetPrinterA purge failed: " + Code(sys::GetLastError()));
        }
        if (sys::DeletePrinter(handle.Get()) != 1) {
            Fail(what + " (DeletePrinter)", sys::GetLastError());
            return false;
        }
        // The spooler keeps the driver in use while a handle of the printer is open (3001).
        handle.Close();
        Removed(what);
        return true;
    }

    void DeleteDriver(const std::string& driver) {
        const char* environment = EnvironmentOf(x64_);
        if (sys::DeletePrinterDriverExA(nullptr, environment, driver.c_str(),
                                        sys::spool::DeleteUnusedFiles, 0) == 1) {
            Removed("the driver " + driver);
            return;
        }
        sys::Dword error = sys::GetLastError();
        // Wine refuses every delete flag with 87 (ERROR_INVALID_PARAMETER): there the driver
        // goes without its files.
        if (error == sys::err::InvalidParameter) {
            log_("DeletePrinterDriverExA refused to delete the files (87); the driver alone");
            if (sys::DeletePrinterDriverExA(nullptr, environment, driver.c_str(), 0, 0) == 1) {
                Removed("the driver " + driver);
                return;
            }
            error = sys::GetLastError();
        }
        if (error == sys::err::UnknownPrinterDriver) {
            log_("The driver " + driver + " was not installed for " + environment);
            return;
        }
        Fail("the driver " + driver + " (DeletePrinterDriverExA)", error);
    }

    // The monitor goes once no driver of either environment names it; its module with it.
    void DeleteMonitor() {
        for (const char* environment : {kEnvironmentX86, kEnvironmentX64}) {
            const auto drivers = Drivers(environment);
            if (!drivers) {
                // 1805: a system without that environment has none of its drivers.
                if (sys::GetLastError() == sys::err::InvalidEnvironment) {
                    continue;
                }
                Fail(std::string(kLabelMonitorName) + " (EnumPrinterDriversA)",
                     sys::GetLastError());
                return;
            }
            for (const auto& d : *drivers) {
                if (Same(d.monitor, kLabelMonitorName)) {
                    log_(std::string("Kept ") + kLabelMonitorName + ": the driver " + d.name +
                         " names it");
                    return;
                }
            }
        }
        if (sys::DeleteMonitorA(nullptr, EnvironmentOf(x64_), kLabelMonitorName) == 1) {
            Removed(kLabelMonitorName);
        } else if (sys::GetLastError() != sys::err::UnknownPrintMonitor) {
            Fail(std::string(kLabelMonitorName) + " (DeleteMonitorA)", sys::GetLastError());
            return;
        }
        DeleteModule();
    }

    void DeleteModule() {
        const std::string module = MonitorDirectory(x64_) + "\\" + catalog::LabelFiles(x64_)[0];
        if (sys::GetFileAttributesA(module) == sys::attr::Invalid) {
            return;
        }
        if (!sys::DeleteFileA(module)) {
            const sys::Dword error = sys::GetLastError();
            // 5 (ERROR_ACCESS_DENIED) or 32 (ERROR_SHARING_VIOLATION): the spooler still has
            // the deleted monitor's module loaded, until it restarts.
            if (error != sys::err::AccessDenied && error != kSharingViolation) {
                Fail(module + " (DeleteFileA)", error);
                return;
            }
            log_("The monitor module is in use; restarting the spooler");
            RestartService("Spooler", 0, log_);
            if (!sys::DeleteFileA(module)) {
                Fail(module + " (DeleteFileA)", sys::GetLastError());
                return;
            }
        }
        Removed(module);
    }

    static constexpr sys::Dword kSharingViolation = 32;

    std::string printer_;
    const Log& log_;
    bool x64_;
    Removal result_;
};

}  // namespace

bool PrinterMissing(const std::string& printerName) {
    const auto printers = LocalPrinters();
    if (!printers) {
        return false;
    }
    for (const auto& p : *printers) {
        if (Same(p.name, printerName)) {
            return false;
        }
    }
    return true;
}

Removal RemovePrinter(const std::string& printerName, const Log& log) {
    return Remover(printerName, log).Run();
}

}  // namespace install
