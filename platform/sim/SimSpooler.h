// The test-facing side of the simulated print spooler: its ports, monitors, drivers and printers,
// and the script of the port monitors' own dialogs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace sim::spooler {

// Reset() (Sim.h) gives a fresh spooler: the local monitor "Local Port" with ports "LPT1:",
// "LPT2:", "LPT3:", "COM1:" … "COM4:", "FILE:" (description "Local Port"); the monitor
// "Standard TCP/IP Port"; driver directories "C:\Windows\System32\spool\drivers\w32x86"
// ("Windows NT x86") and "…\x64" ("Windows x64"), both created on the simulated drive; no
// drivers and no printers.
void Clear();  // no ports, monitors, drivers or printers at all (driver directories stay)

struct Port {
    std::string name;
    std::string monitor;
    std::string description;
};
void AddPort(const Port& port);  // appended: enumeration order is insertion order
void RemovePort(const std::string& name);
std::vector<Port> Ports();

struct Monitor {
    std::string name;
    std::string environment;
    std::string dllName;
};
void AddMonitor(const Monitor& monitor);
std::vector<Monitor> Monitors();

struct Driver {
    std::string name;
    std::string environment;
    sys::Dword version = 0;
    std::string driverPath;  // as stored: the full path in the version subdirectory
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    std::vector<std::string> dependentFiles;
    std::string monitorName;
    std::string defaultDataType;
};
void AddDriver(const Driver& driver);  // as if installed earlier
std::vector<Driver> Drivers();

struct Printer {
    std::string name;
    std::string port;
    std::string driver;
    std::string printProcessor;
    std::string datatype;
    int openHandles = 0;
    bool purged = false;
};
void AddPrinter(const Printer& printer);  // as if installed earlier
std::vector<Printer> Printers();
std::optional<Printer> FindPrinter(const std::string& name);

// A printer's device on this port. Each time the "Spooler" service has started, the spooler
// takes every printer's port from the "Port" value of the printer's key under HKLM
// SYSTEM\CurrentControlSet\Control\Print\Printers, and sets "PrinterOnLine" = 1 (REG_DWORD)
// in the hardware-profile key (HKCC, the same path) of each printer on a port named here.
// Reset: no such port.
void SetPrinterOnlineAt(const std::string& portName);

// The driver directory of an environment ("Windows NT x86", "Windows x64").
std::string DriverDirectory(const std::string& environment);

// The monitor's add-port dialog that AddPortA opens: each call takes the next scripted answer.
// A name: the user creates that port (added with the monitor's name as description).
// Nothing: the user cancels (AddPortA fails with ERROR_CANCELLED, 1223). An AddPortA with no
// answer left records a window-layer failure and cancels.
void ScriptAddPort(std::optional<std::string> createdPort);
// ConfigurePortA's dialog: the next answers; true = OK. With no answer left: as above.
void ScriptConfigurePort(bool ok);
int AddPortDialogsShown();
int ConfigurePortDialogsShown();

// AddMonitorA loads the named DLL: missing on the simulated drive gives 126; a file that does
// not contain the text "InitializePrintMonitor2" gives 127.
//
// The spooler's own environment is the machine's: "Windows x64" once sim::SetWow64 makes it a
// 64-bit Windows, else "Windows NT x86". AddPrinterA wants the driver installed for it (else
// 1797) and AddMonitorA a monitor for it (else 1805); a NULL environment elsewhere means the
// 32-bit caller's, "Windows NT x86". DeletePrinter takes the printer out of the list (and its
// registry keys away) at once; its handles stay valid for ClosePrinter, other calls on them
// give ERROR_PRINTER_DELETED (1905). The Enum calls ask for the size the Unicode strings need,
// as winspool's ANSI forms do.

}  // namespace sim::spooler
