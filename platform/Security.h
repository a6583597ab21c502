// Access-token privilege calls (advapi32): open the process token, look up and enable a privilege.
#pragma once

#include <cstdint>
#include "platform/Handle.h"
#include "platform/Types.h"

namespace sys {

using TokenHandle = void*;  // a HANDLE to an access token

namespace token {
constexpr Dword AdjustPrivileges = 0x0020;  // TOKEN_ADJUST_PRIVILEGES
constexpr Dword Query = 0x0008;             // TOKEN_QUERY
constexpr Dword PrivilegeEnabled = 0x2;     // SE_PRIVILEGE_ENABLED
}  // namespace token

struct LUID {
    Dword LowPart = 0;
    std::int32_t HighPart = 0;
};

// TOKEN_PRIVILEGES with room for the one privilege the logic adjusts.
struct TOKEN_PRIVILEGES {
    Dword PrivilegeCount = 0;
    struct {
        LUID Luid;
        Dword Attributes = 0;
    } Privileges[1];
};

// BOOL results, with the last error set on failure. AdjustTokenPrivileges succeeds with last
// error 1300 (ERROR_NOT_ALL_ASSIGNED) when the token does not hold the privilege.
int OpenProcessToken(void* process, Dword desiredAccess, TokenHandle* token);
int LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid);
int AdjustTokenPrivileges(TokenHandle token, int disableAll, const TOKEN_PRIVILEGES* newState,
                          Dword bufferLength, TOKEN_PRIVILEGES* previousState, Dword* returnLength);
}  // namespace sys
