// Win32 back end of the token privilege calls.
#include <windows.h>

#include <cstddef>

#include "platform/Security.h"

namespace sys {

static_assert(sizeof(LUID) == sizeof(::LUID));
static_assert(offsetof(LUID, HighPart) == offsetof(::LUID, HighPart));
static_assert(sizeof(TOKEN_PRIVILEGES) == sizeof(::TOKEN_PRIVILEGES));
static_assert(offsetof(TOKEN_PRIVILEGES, Privileges) == offsetof(::TOKEN_PRIVILEGES, Privileges));
static_assert(sizeof(TOKEN_PRIVILEGES::Privileges[0]) == sizeof(::LUID_AND_ATTRIBUTES));
static_assert(offsetof(TOKEN_PRIVILEGES, Privileges[0].Attributes) ==
              offsetof(::TOKEN_PRIVILEGES, Privileges[0].Attributes));
static_assert(token::AdjustPrivileges == TOKEN_ADJUST_PRIVILEGES && token::Query == TOKEN_QUERY &&
              token::PrivilegeEnabled == SE_PRIVILEGE_ENABLED);

int OpenProcessToken(void* process, Dword desiredAccess, TokenHandle* token) {
    return ::OpenProcessToken(process, desiredAccess, token);
}

int LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) {
    return ::LookupPrivilegeValueA(systemName, name, reinterpret_cast<::LUID*>(luid));
}

int AdjustTokenPrivileges(TokenHandle token, int disableAll, const TOKEN_PRIVILEGES* newState,
                          Dword bufferLength, TOKEN_PRIVILEGES* previousState,
                          Dword* returnLength) {
    return ::AdjustTokenPrivileges(
        token, disableAll,
        reinterpret_cast<::TOKEN_PRIVILEGES*>(const_cast<TOKEN_PRIVILEGES*>(newState)),
        bufferLength, reinterpret_cast<::TOKEN_PRIVILEGES*>(previousState),
        reinterpret_cast<DWORD*>(returnLength));
}

}  // namespace sys
