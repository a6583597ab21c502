// Win32 back end of the print spooler calls: our records are the ANSI records, passed through.
#include <windows.h>
#include <winspool.h>

#include <cstddef>

#include "platform/Library.h"
#include "platform/Spooler.h"

namespace {

// Same size and same field offsets as the ANSI Win32 record, so a pointer to one is a pointer to
// the other.
#define SYS_SAME_FIELD(ours, theirs, field) \
    static_assert(offsetof(sys::ours, field) == offsetof(theirs, field), #ours "::" #field)

static_assert(sizeof(sys::DRIVER_INFO_3) == sizeof(DRIVER_INFO_3A));
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, cVersion);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pName);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pEnvironment);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pDriverPath);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pDataFile);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pConfigFile);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pHelpFile);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pDependentFiles);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pMonitorName);
SYS_SAME_FIELD(DRIVER_INFO_3, DRIVER_INFO_3A, pDefaultDataType);

static_assert(sizeof(sys::PRINTER_INFO_2) == sizeof(PRINTER_INFO_2A));
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pServerName);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pPrinterName);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pShareName);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pPortName);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pDriverName);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pComment);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pLocation);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pDevMode);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pSepFile);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pPrintProcessor);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pDatatype);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pParameters);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, pSecurityDescriptor);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, Attributes);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, Priority);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, DefaultPriority);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, StartTime);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, UntilTime);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, Status);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, cJobs);
SYS_SAME_FIELD(PRINTER_INFO_2, PRINTER_INFO_2A, AveragePPM);

static_assert(sizeof(sys::PORT_INFO_1) == sizeof(PORT_INFO_1A));
SYS_SAME_FIELD(PORT_INFO_1, PORT_INFO_1A, pName);

static_assert(sizeof(sys::PORT_INFO_2) == sizeof(PORT_INFO_2A));
SYS_SAME_FIELD(PORT_INFO_2, PORT_INFO_2A, pPortName);
SYS_SAME_FIELD(PORT_INFO_2, PORT_INFO_2A, pMonitorName);
SYS_SAME_FIELD(PORT_INFO_2, PORT_INFO_2A, pDescription);
SYS_SAME_FIELD(PORT_INFO_2, PORT_INFO_2A, fPortType);
SYS_SAME_FIELD(PORT_INFO_2, PORT_INFO_2A, Reserved);

static_assert(sizeof(sys::MONITOR_INFO_2) == sizeof(MONITOR_INFO_2A));
SYS_SAME_FIELD(MONITOR_INFO_2, MONITOR_INFO_2A, pName);
SYS_SAME_FIELD(MONITOR_INFO_2, MONITOR_INFO_2A, pEnvironment);
SYS_SAME_FIELD(MONITOR_INFO_2, MONITOR_INFO_2A, pDLLName);

static_assert(sizeof(sys::PRINTER_DEFAULTS) == sizeof(PRINTER_DEFAULTSA));
SYS_SAME_FIELD(PRINTER_DEFAULTS, PRINTER_DEFAULTSA, pDatatype);
SYS_SAME_FIELD(PRINTER_DEFAULTS, PRINTER_DEFAULTSA, pDevMode);
SYS_SAME_FIELD(PRINTER_DEFAULTS, PRINTER_DEFAULTSA, DesiredAccess);

#undef SYS_SAME_FIELD

static_assert(sys::spool::PrinterAllAccess == PRINTER_ALL_ACCESS);
static_assert(sys::spool::ServerAccessAdminister == SERVER_ACCESS_ADMINISTER);
static_assert(sys::spool::PrinterControlPurge == PRINTER_CONTROL_PURGE);
static_assert(sys::spool::CopyAllFiles == APD_COPY_ALL_FILES);
static_assert(sys::spool::EnumLocal == PRINTER_ENUM_LOCAL);
static_assert(sys::spool::EnumConnections == PRINTER_ENUM_CONNECTIONS);
static_assert(sys::spool::DeleteUnusedFiles == DPD_DELETE_UNUSED_FILES);
static_assert(sys::spool::DeleteSpecificVersion == DPD_DELETE_SPECIFIC_VERSION);
static_assert(sys::spool::DeleteAllFiles == DPD_DELETE_ALL_FILES);

// winspool takes non-const string and record pointers it does not write through.
char* Text(const char* text) {
    return const_cast<char*>(text);
}

BYTE* Bytes(const void* record) {
    return static_cast<BYTE*>(const_cast<void*>(record));
}

LPDWORD Out(sys::Dword* value) {
    static_assert(sizeof(sys::Dword) == sizeof(DWORD));
    return reinterpret_cast<LPDWORD>(value);
}

// WINSPOOL.DRV is not a known DLL: imported, a copy beside the program would be loaded before
// the system's. It is loaded from the system directory on the first call instead.
sys::ModuleHandle Winspool() {
    static const sys::ModuleHandle module = sys::LoadSystemLibraryA("winspool.drv");
    return module;
}

template <class Fn>
Fn Resolve(const char* name) {
    return Winspool() == nullptr ? nullptr
                                 : reinterpret_cast<Fn>(sys::GetProcAddress(Winspool(), name));
}

}  // namespace

// Makes name##Fn winspool's export; without it the call fails with 127 (ERROR_PROC_NOT_FOUND).
#define SYS_WINSPOOL(name)                                          \
    static const auto name##Fn = Resolve<decltype(&::name)>(#name); \
    if (name##Fn == nullptr) {                                      \
        ::SetLastError(ERROR_PROC_NOT_FOUND);                       \
        return {};                                                  \
    }

namespace sys {

int GetPrinterDriverDirectoryA(const char* server, const char* environment, Dword level,
                               std::uint8_t* buffer, Dword size, Dword* needed) {
    SYS_WINSPOOL(GetPrinterDriverDirectoryA)
    return GetPrinterDriverDirectoryAFn(Text(server), Text(environment), level, buffer, size,
                                        Out(needed));
}

int AddPrinterDriverExA(const char* server, Dword level, const void* info, Dword copyFlags) {
    SYS_WINSPOOL(AddPrinterDriverExA)
    return AddPrinterDriverExAFn(Text(server), level, Bytes(info), copyFlags);
}

int DeletePrinterDriverExA(const char* server, const char* environment, const char* driverName,
                           Dword deleteFlags, Dword versionFlag) {
    return ::DeletePrinterDriverExA(Text(server), Text(environment), Text(driverName), deleteFlags,
                                    versionFlag);
}

int EnumPrinterDriversA(const char* server, const char* environment, Dword level,
                        std::uint8_t* buffer, Dword size, Dword* needed, Dword* returned) {
    return ::EnumPrinterDriversA(Text(server), Text(environment), level, buffer, size, Out(needed),
                                 Out(returned));
}

int AddMonitorA(const char* server, Dword level, const void* info) {
    SYS_WINSPOOL(AddMonitorA)
    return AddMonitorAFn(Text(server), level, Bytes(info));
}

int DeleteMonitorA(const char* server, const char* environment, const char* monitorName) {
    SYS_WINSPOOL(DeleteMonitorA)
    return DeleteMonitorAFn(Text(server), Text(environment), Text(monitorName));
}

PrinterHandle AddPrinterA(const char* server, Dword level, const void* info) {
    SYS_WINSPOOL(AddPrinterA)
    return AddPrinterAFn(Text(server), level, Bytes(info));
}

int OpenPrinterA(const char* printerName, PrinterHandle* handle, const PRINTER_DEFAULTS* defaults) {
    SYS_WINSPOOL(OpenPrinterA)
    return OpenPrinterAFn(
        Text(printerName), reinterpret_cast<LPHANDLE>(handle),
        reinterpret_cast<LPPRINTER_DEFAULTSA>(const_cast<PRINTER_DEFAULTS*>(defaults)));
}

int SetPrinterA(PrinterHandle printer, Dword level, std::uint8_t* info, Dword command) {
    SYS_WINSPOOL(SetPrinterA)
    return SetPrinterAFn(printer, level, info, command);
}

int DeletePrinter(PrinterHandle printer) {
    SYS_WINSPOOL(DeletePrinter)
    return DeletePrinterFn(printer);
}

int ClosePrinter(PrinterHandle printer) {
    SYS_WINSPOOL(ClosePrinter)
    return ClosePrinterFn(printer);
}

int EnumPrintersA(Dword flags, const char* name, Dword level, std::uint8_t* buffer, Dword size,
                  Dword* needed, Dword* returned) {
    SYS_WINSPOOL(EnumPrintersA)
    return EnumPrintersAFn(flags, Text(name), level, buffer, size, Out(needed), Out(returned));
}

int EnumPortsA(const char* server, Dword level, std::uint8_t* buffer, Dword size, Dword* needed,
               Dword* returned) {
    SYS_WINSPOOL(EnumPortsA)
    return EnumPortsAFn(Text(server), level, buffer, size, Out(needed), Out(returned));
}

int AddPortA(const char* server, WindowHandle window, const char* monitorName) {
    SYS_WINSPOOL(AddPortA)
    return AddPortAFn(Text(server), static_cast<HWND>(window), Text(monitorName));
}

int ConfigurePortA(const char* server, WindowHandle window, const char* portName) {
    SYS_WINSPOOL(ConfigurePortA)
    return ConfigurePortAFn(Text(server), static_cast<HWND>(window), Text(portName));
}

int DeletePortA(const char* server, WindowHandle window, const char* portName) {
    SYS_WINSPOOL(DeletePortA)
    return DeletePortAFn(Text(server), static_cast<HWND>(window), Text(portName));
}

}  // namespace sys
