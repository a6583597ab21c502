// The test-facing side of the simulated registry and service manager.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/Types.h"

namespace sim::registry {

// Roots by their Win32 names: "HKLM", "HKCU", "HKCC". Paths use backslashes, no leading one.
// Reset() (Sim.h) gives a registry that holds:
//   HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports (COM1: … COM4:, "9600,n,8,1")
//   HKLM\HARDWARE\DEVICEMAP\SERIALCOMM ("\Device\Serial0" = "COM1")
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers and HKLM\SYSTEM\ControlSet001\…
//   HKLM\Software\Microsoft\Windows NT\CurrentVersion\Print\Printers
//   HKCC\SYSTEM\CurrentControlSet\Control\Print\Printers
// HKCC is, as on Windows, the key HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current:
// what is written under one is read under the other.
// The spooler's printers get their keys under the Print\Printers keys as Windows keeps them.
struct Value {
    sys::Dword type = 0;
    std::vector<std::uint8_t> data;
};

// Keys are created with their missing parents. SetKeyAccess and SetVolatile throw
// std::invalid_argument for a key that is not there, every call for an unknown root.
void CreateKey(const std::string& root, const std::string& path);
// With its subkeys; handles still open on them then give 1018 (ERROR_KEY_DELETED).
void DeleteKey(const std::string& root, const std::string& path);
bool KeyExists(const std::string& root, const std::string& path);
// The rights a caller may be granted on this key (default: all); asking for more gives 5.
// A key made by RegCreateKeyExA takes its parent's allowed rights; making one needs
// KEY_CREATE_SUB_KEY in the parent's.
void SetKeyAccess(const std::string& root, const std::string& path, sys::Dword allowed);
// A key's owner and access list (RegGetKeySecurity). Reset() gives every key what Windows gives
// HKLM\SOFTWARE (owner SYSTEM; SYSTEM and Administrators full control, Users read); a key made
// without an access list takes its parent's, owned by Administrators (the elevated creator), and
// one made by RegCreateProtectedKeyA gets sys::kAdminsOnlyKeySddl.
void SetKeySecurity(const std::string& root, const std::string& path,
                    const sys::KeySecurity& security);
sys::KeySecurity GetKeySecurity(const std::string& root, const std::string& path);
// Keys start non-volatile, as on Windows (Wine keeps HKEY_CURRENT_CONFIG volatile: 1021).
void SetVolatile(const std::string& root, const std::string& path, bool isVolatile);

// Values keep the order they were first written in (RegEnumValueA's order); the Set calls
// create the key when it is missing.
void SetValue(const std::string& root, const std::string& path, const std::string& name,
              sys::Dword type, const std::vector<std::uint8_t>& data);
void SetString(const std::string& root, const std::string& path, const std::string& name,
               const std::string& text);  // REG_SZ with its NUL
void SetDword(const std::string& root, const std::string& path, const std::string& name,
              sys::Dword value);
void DeleteValue(const std::string& root, const std::string& path, const std::string& name);
std::optional<Value> GetValue(const std::string& root, const std::string& path,
                              const std::string& name);
// A REG_SZ value's text up to its first NUL.
std::optional<std::string> GetString(const std::string& root, const std::string& path,
                                     const std::string& name);
std::vector<std::string> ValueNames(const std::string& root, const std::string& path);
int OpenKeyCount();  // keys opened and not yet closed (leak check)
// Every key under a root, by name, with its values: for comparing whole machines.
std::string Dump(const std::string& root);

}  // namespace sim::registry

namespace sim::service {

// Reset() gives a service "Spooler", running, demand start, 300 ms of simulated time for each
// pending state. Names compare without regard to case; an unknown name throws
// std::invalid_argument. A pending state ends once its time has passed on the simulated clock
// (sim::Now, moved by sys::Sleep and sim::Advance), seen at the next query.
enum class State : sys::Dword { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

void Add(const std::string& name, State state);
void SetState(const std::string& name, State state);
State GetState(const std::string& name);
// How long (simulated milliseconds) the service stays in START_PENDING and STOP_PENDING; the
// state moves on as the simulated clock passes.
void SetPendingTime(const std::string& name, sys::Dword milliseconds);
// STOP_PENDING alone, set after SetPendingTime: a service slower to stop than to start.
void SetStopPendingTime(const std::string& name, sys::Dword milliseconds);
void SetDisabled(const std::string& name, bool disabled);        // StartServiceA: 1058
void SetRefusesStop(const std::string& name, bool refuses);      // stays in STOP_PENDING
void SetNeverStarts(const std::string& name, bool neverStarts);  // stays in START_PENDING
void SetQueryFails(const std::string& name, bool fails);         // QueryServiceStatus: 5
// Its process ends as soon as it is started: StartServiceA fails with 1053
// (ERROR_SERVICE_REQUEST_TIMEOUT) and the service stays stopped.
void SetExitsAtOnce(const std::string& name, bool exits);
// Calls made on a handle to the service since Reset, failed ones included (not those failed
// by sim::FailCall): StartServiceA, ControlService(SERVICE_CONTROL_STOP), QueryServiceStatus.
int StartRequests(const std::string& name);
int StopRequests(const std::string& name);
int QueryCount(const std::string& name);
int OpenHandleCount();  // service and manager handles not yet closed (leak check)

}  // namespace sim::service
