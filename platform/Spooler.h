// The print spooler calls (winspool) the logic makes, with their Win32 records and buffer rules.
#pragma once

#include <cstdint>

#include "platform/Owned.h"
#include "platform/Types.h"

namespace sys {

using PrinterHandle = void*;  // a HANDLE from OpenPrinterA or AddPrinterA

// The records, field for field as their ANSI Win32 forms, so the Win32 back end passes them
// through unchanged. Strings in records returned by an Enum call point into the caller's buffer.
struct DRIVER_INFO_3 {
    Dword cVersion = 0;
    char* pName = nullptr;
    char* pEnvironment = nullptr;
    char* pDriverPath = nullptr;
    char* pDataFile = nullptr;
    char* pConfigFile = nullptr;
    char* pHelpFile = nullptr;
    char* pDependentFiles = nullptr;  // NUL-separated names ending in a double NUL
    char* pMonitorName = nullptr;
    char* pDefaultDataType = nullptr;
};

struct PRINTER_INFO_2 {
    char* pServerName = nullptr;
    char* pPrinterName = nullptr;
    char* pShareName = nullptr;
    char* pPortName = nullptr;
    char* pDriverName = nullptr;
    char* pComment = nullptr;
    char* pLocation = nullptr;
    void* pDevMode = nullptr;
    char* pSepFile = nullptr;
    char* pPrintProcessor = nullptr;
    char* pDatatype = nullptr;
    char* pParameters = nullptr;
    void* pSecurityDescriptor = nullptr;
    Dword Attributes = 0;
    Dword Priority = 0;
    Dword DefaultPriority = 0;
    Dword StartTime = 0;
    Dword UntilTime = 0;
    Dword Status = 0;
    Dword cJobs = 0;
    Dword AveragePPM = 0;
};

struct PORT_INFO_1 {
    char* pName = nullptr;
};

struct PORT_INFO_2 {
    char* pPortName = nullptr;
    char* pMonitorName = nullptr;
    char* pDescription = nullptr;
    Dword fPortType = 0;
    Dword Reserved = 0;
};

struct MONITOR_INFO_2 {
    char* pName = nullptr;
    char* pEnvironment = nullptr;
    char* pDLLName = nullptr;
};

struct PRINTER_DEFAULTS {
    char* pDatatype = nullptr;
    void* pDevMode = nullptr;
    Dword DesiredAccess = 0;
};

namespace spool {
constexpr Dword PrinterAllAccess = 0xF000C;    // PRINTER_ALL_ACCESS
constexpr Dword ServerAccessAdminister = 0x1;  // SERVER_ACCESS_ADMINISTER
constexpr Dword PrinterControlPurge = 3;       // PRINTER_CONTROL_PURGE
constexpr Dword CopyAllFiles = 0x4;            // APD_COPY_ALL_FILES
constexpr Dword EnumLocal = 0x2;               // PRINTER_ENUM_LOCAL
constexpr Dword EnumConnections = 0x4;         // PRINTER_ENUM_CONNECTIONS
constexpr Dword DeleteUnusedFiles = 0x1;       // DPD_DELETE_UNUSED_FILES
constexpr Dword DeleteSpecificVersion = 0x2;   // DPD_DELETE_SPECIFIC_VERSION
constexpr Dword DeleteAllFiles = 0x4;          // DPD_DELETE_ALL_FILES
}  // namespace spool

// BOOL results are int, as Win32's: callers that must see exactly 1 can.
int GetPrinterDriverDirectoryA(const char* server, const char* environment, Dword level,
                               std::uint8_t* buffer, Dword size, Dword* needed);
int AddPrinterDriverExA(const char* server, Dword level, const void* info, Dword copyFlags);
// DeletePrinterDriverExA: `versionFlag` counts only with DeleteSpecificVersion.
int DeletePrinterDriverExA(const char* server, const char* environment, const char* driverName,
                           Dword deleteFlags, Dword versionFlag);
// Levels as EnumPrintersA's; level 3 fills DRIVER_INFO_3 records.
int EnumPrinterDriversA(const char* server, const char* environment, Dword level,
                        std::uint8_t* buffer, Dword size, Dword* needed, Dword* returned);
int AddMonitorA(const char* server, Dword level, const void* info);
int DeleteMonitorA(const char* server, const char* environment, const char* monitorName);
PrinterHandle AddPrinterA(const char* server, Dword level, const void* info);  // null: failed
int OpenPrinterA(const char* printerName, PrinterHandle* handle, const PRINTER_DEFAULTS* defaults);
int SetPrinterA(PrinterHandle printer, Dword level, std::uint8_t* info, Dword command);
int DeletePrinter(PrinterHandle printer);
int ClosePrinter(PrinterHandle printer);
int EnumPrintersA(Dword flags, const char* name, Dword level, std::uint8_t* buffer, Dword size,
                  Dword* needed, Dword* returned);
int EnumPortsA(const char* server, Dword level, std::uint8_t* buffer, Dword size, Dword* needed,
               Dword* returned);
// The three port calls run the port monitor's own user interface, owned by window.
int AddPortA(const char* server, WindowHandle window, const char* monitorName);
int ConfigurePortA(const char* server, WindowHandle window, const char* portName);
int DeletePortA(const char* server, WindowHandle window, const char* portName);

// A printer handle closed when it goes out of scope.
using Printer = Owned<&ClosePrinter>;

}  // namespace sys
