// Win32 back end of the registry calls: advapi32 with our Win32-shaped records.
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <cstddef>
#include <vector>

#include "platform/Registry.h"
#include "platform/win32/SecurityDescriptor.h"

namespace sys {

static_assert(sizeof(SECURITY_ATTRIBUTES) == sizeof(::SECURITY_ATTRIBUTES));
static_assert(offsetof(SECURITY_ATTRIBUTES, nLength) == offsetof(::SECURITY_ATTRIBUTES, nLength));
static_assert(offsetof(SECURITY_ATTRIBUTES, lpSecurityDescriptor) ==
              offsetof(::SECURITY_ATTRIBUTES, lpSecurityDescriptor));
static_assert(offsetof(SECURITY_ATTRIBUTES, bInheritHandle) ==
              offsetof(::SECURITY_ATTRIBUTES, bInheritHandle));
static_assert(key::QueryValue == KEY_QUERY_VALUE && key::SetValue == KEY_SET_VALUE &&
              key::CreateSubKey == KEY_CREATE_SUB_KEY &&
              key::EnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS && key::Read == KEY_READ &&
              key::Write == KEY_WRITE && key::AllAccess == KEY_ALL_ACCESS);
static_assert(reg::Sz == REG_SZ && reg::Binary == REG_BINARY && reg::Dword32 == REG_DWORD &&
              reg::OptionNonVolatile == REG_OPTION_NON_VOLATILE &&
              reg::OptionVolatile == REG_OPTION_VOLATILE &&
              reg::CreatedNewKey == REG_CREATED_NEW_KEY && key::ReadControl == READ_CONTROL &&
              reg::OpenedExistingKey == REG_OPENED_EXISTING_KEY);

namespace {
HKEY H(KeyHandle key) {
    return reinterpret_cast<HKEY>(key);
}
PHKEY PH(KeyHandle* key) {
    return reinterpret_cast<PHKEY>(key);
}
}  // namespace

KeyHandle HkeyCurrentUser() {
    return HKEY_CURRENT_USER;
}
KeyHandle HkeyLocalMachine() {
    return HKEY_LOCAL_MACHINE;
}
KeyHandle HkeyCurrentConfig() {
    return HKEY_CURRENT_CONFIG;
}

Dword RegOpenKeyExA(KeyHandle key, const char* subKey, Dword options, Dword access,
                    KeyHandle* result) {
    return ::RegOpenKeyExA(H(key), subKey, options, access, PH(result));
}

Dword RegCreateKeyExA(KeyHandle key, const char* subKey, Dword reserved, char* className,
                      Dword options, Dword access, const SECURITY_ATTRIBUTES* security,
                      KeyHandle* result, Dword* disposition) {
    auto* attributes =
        reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<SECURITY_ATTRIBUTES*>(security));
    return ::RegCreateKeyExA(H(key), subKey, reserved, className, options, access, attributes,
                             PH(result), reinterpret_cast<DWORD*>(disposition));
}

Dword RegQueryValueExA(KeyHandle key, const char* valueName, Dword* reserved, Dword* type,
                       std::uint8_t* data, Dword* dataSize) {
    return ::RegQueryValueExA(H(key), valueName, reinterpret_cast<DWORD*>(reserved),
                              reinterpret_cast<DWORD*>(type), data,
                              reinterpret_cast<DWORD*>(dataSize));
}

Dword RegSetValueExA(KeyHandle key, const char* valueName, Dword reserved, Dword type,
                     const std::uint8_t* data, Dword dataSize) {
    return ::RegSetValueExA(H(key), valueName, reserved, type, data, dataSize);
}

Dword RegEnumValueA(KeyHandle key, Dword index, char* valueName, Dword* valueNameSize,
                    Dword* reserved, Dword* type, std::uint8_t* data, Dword* dataSize) {
    return ::RegEnumValueA(H(key), index, valueName, reinterpret_cast<DWORD*>(valueNameSize),
                           reinterpret_cast<DWORD*>(reserved), reinterpret_cast<DWORD*>(type), data,
                           reinterpret_cast<DWORD*>(dataSize));
}

Dword RegCloseKey(KeyHandle key) {
    return ::RegCloseKey(H(key));
}

Dword RegCreateProtectedKeyA(KeyHandle key, const char* subKey, Dword access, KeyHandle* result,
                             Dword* disposition) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminsOnlyKeySddl, SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        return ::GetLastError();
    }
    ::SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const LONG code =
        ::RegCreateKeyExA(H(key), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, &attributes,
                          PH(result), reinterpret_cast<DWORD*>(disposition));
    ::LocalFree(descriptor);
    return static_cast<Dword>(code);
}

Dword RegGetKeySecurity(KeyHandle key, KeySecurity& security) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    LONG code = ::RegGetKeySecurity(H(key), wanted, nullptr, &size);
    if (code != ERROR_INSUFFICIENT_BUFFER) {
        return code == ERROR_SUCCESS ? ERROR_INVALID_DATA : static_cast<Dword>(code);
    }
    std::vector<BYTE> buffer(size);
    code = ::RegGetKeySecurity(H(key), wanted, buffer.data(), &size);
    if (code != ERROR_SUCCESS) {
        return static_cast<Dword>(code);
    }
    return detail::ReadSecurityDescriptor(buffer.data(), security);
}

}  // namespace sys
