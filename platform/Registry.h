// Registry calls (advapi32) in the shape of their ANSI Win32 forms, and a key closed by RAII.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ObjectSecurity.h"
#include "platform/Owned.h"
#include "platform/Types.h"

namespace sys {

using KeyHandle = void*;  // an HKEY

// The predefined root keys, with Win32's values.
KeyHandle HkeyCurrentUser();    // HKEY_CURRENT_USER
KeyHandle HkeyLocalMachine();   // HKEY_LOCAL_MACHINE
KeyHandle HkeyCurrentConfig();  // HKEY_CURRENT_CONFIG

namespace key {
constexpr Dword QueryValue = 0x0001;
constexpr Dword SetValue = 0x0002;
constexpr Dword CreateSubKey = 0x0004;
constexpr Dword EnumerateSubKeys = 0x0008;
constexpr Dword Read = 0x20019;
constexpr Dword Write = 0x20006;
constexpr Dword AllAccess = 0xF003F;
constexpr Dword ReadControl = 0x20000;  // READ_CONTROL: the key's owner and access list
}  // namespace key

namespace reg {
constexpr Dword Sz = 1;       // REG_SZ
constexpr Dword Binary = 3;   // REG_BINARY
constexpr Dword Dword32 = 4;  // REG_DWORD
constexpr Dword OptionNonVolatile = 0;
constexpr Dword OptionVolatile = 1;
constexpr Dword CreatedNewKey = 1;
constexpr Dword OpenedExistingKey = 2;
}  // namespace reg

struct SECURITY_ATTRIBUTES {
    Dword nLength = 0;
    void* lpSecurityDescriptor = nullptr;
    int bInheritHandle = 0;
};

// Results are Win32 error codes (LSTATUS); 0 is success. The last error is not set.
Dword RegOpenKeyExA(KeyHandle key, const char* subKey, Dword options, Dword access,
                    KeyHandle* result);
Dword RegCreateKeyExA(KeyHandle key, const char* subKey, Dword reserved, char* className,
                      Dword options, Dword access, const SECURITY_ATTRIBUTES* security,
                      KeyHandle* result, Dword* disposition);
Dword RegQueryValueExA(KeyHandle key, const char* valueName, Dword* reserved, Dword* type,
                       std::uint8_t* data, Dword* dataSize);
Dword RegSetValueExA(KeyHandle key, const char* valueName, Dword reserved, Dword type,
                     const std::uint8_t* data, Dword dataSize);
Dword RegEnumValueA(KeyHandle key, Dword index, char* valueName, Dword* valueNameSize,
                    Dword* reserved, Dword* type, std::uint8_t* data, Dword* dataSize);
Dword RegCloseKey(KeyHandle key);

// The access list of the keys the installer makes for itself: full control for SYSTEM and
// Administrators, nothing for anyone else; protected, so nothing is inherited; owned by
// Administrators.
inline constexpr const char* kAdminsOnlyKeySddl = "O:BAD:P(A;;KA;;;SY)(A;;KA;;;BA)";
// RegCreateKeyExA of a non-volatile key with that access list. A key that already exists keeps
// its own, as RegCreateKeyExA leaves it.
Dword RegCreateProtectedKeyA(KeyHandle key, const char* subKey, Dword access, KeyHandle* result,
                             Dword* disposition);

using KeySecurity = ObjectSecurity;
// RegGetKeySecurity for the owner and the access list; the key must be open with READ_CONTROL.
Dword RegGetKeySecurity(KeyHandle key, KeySecurity& security);

// An open key closed when it goes out of scope.
using RegKey = Owned<&RegCloseKey>;

}  // namespace sys
