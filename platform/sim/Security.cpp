// The simulated process token: privileges looked up by name, held or not, enabled on request.
#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>

#include "platform/Security.h"
#include "platform/SystemInfo.h"
#include "platform/sim/Handles.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimSecurity.h"
#include "platform/sim/Trace.h"

using sim::detail::Lower;

namespace {

// The LUIDs Windows gives the well-known privileges (SE_*_PRIVILEGE in winnt.h).
const std::map<std::string, sys::Dword>& KnownPrivileges() {
    static const std::map<std::string, sys::Dword> known = {
        {"secreatetokenprivilege", 2},
        {"seassignprimarytokenprivilege", 3},
        {"selockmemoryprivilege", 4},
        {"seincreasequotaprivilege", 5},
        {"semachineaccountprivilege", 6},
        {"setcbprivilege", 7},
        {"sesecurityprivilege", 8},
        {"setakeownershipprivilege", 9},
        {"seloaddriverprivilege", 10},
        {"sesystemprofileprivilege", 11},
        {"sesystemtimeprivilege", 12},
        {"seprofilesingleprocessprivilege", 13},
        {"seincreasebasepriorityprivilege", 14},
        {"secreatepagefileprivilege", 15},
        {"secreatepermanentprivilege", 16},
        {"sebackupprivilege", 17},
        {"serestoreprivilege", 18},
        {"seshutdownprivilege", 19},
        {"sedebugprivilege", 20},
        {"seauditprivilege", 21},
        {"sesystemenvironmentprivilege", 22},
        {"sechangenotifyprivilege", 23},
        {"seremoteshutdownprivilege", 24},
        {"seundockprivilege", 25},
    };
    return known;
}

constexpr sys::Dword kErrorNoAccess = 998;

struct Privilege {
    bool held = true;
    bool enabled = false;
};

struct Token {
    std::mutex mu;
    std::map<sys::Dword, Privilege> privileges;    // by LUID low part
    std::map<std::uintptr_t, sys::Dword> handles;  // open token handles and their granted rights
};

Token& T() {
    static Token token;
    return token;
}

sys::Dword LuidOf(const std::string& name) {
    auto it = KnownPrivileges().find(Lower(name));
    if (it == KnownPrivileges().end()) {
        throw std::invalid_argument("no such privilege: " + name);
    }
    return it->second;
}

// Counts the call; true (with the last error set) when a failure is injected into it.
bool Injected(const char* call) {
    sim::CountCall(call);
    return sim::ShouldFail(call);
}

}  // namespace

namespace sim::detail {

void ResetSecurity() {
    std::lock_guard lock(T().mu);
    T().handles.clear();
    T().privileges.clear();
    for (const auto& [name, luid] : KnownPrivileges()) {
        T().privileges[luid] = Privilege{};
    }
}

}  // namespace sim::detail

namespace sys {

int OpenProcessToken(void* process, Dword desiredAccess, TokenHandle* token) {
    sim::trace::Call trace("OpenProcessToken", [&] { return sim::trace::Hex(desiredAccess); });
    if (Injected("OpenProcessToken")) {
        return 0;
    }
    if (process != GetCurrentProcess()) {
        SetLastError(err::InvalidHandle);  // the only process the sim knows is this one
        return 0;
    }
    if (token == nullptr) {
        SetLastError(kErrorNoAccess);
        return 0;
    }
    void* handle = sim::detail::NewHandle(sim::detail::HandleKind::Token, [](void* self) {
        std::lock_guard lock(T().mu);
        T().handles.erase(reinterpret_cast<std::uintptr_t>(self));
    });
    sim::trace::Name(sim::trace::Kind::Kernel, handle, [] { return "token"; });
    std::lock_guard lock(T().mu);
    T().handles[reinterpret_cast<std::uintptr_t>(handle)] = desiredAccess;
    *token = handle;
    return 1;
}

int LookupPrivilegeValueA(const char* /*systemName*/, const char* name, LUID* luid) {
    sim::trace::Call trace("LookupPrivilegeValueA", [&] { return sim::trace::Q(name); });
    if (Injected("LookupPrivilegeValueA")) {
        return 0;
    }
    auto it = name == nullptr ? KnownPrivileges().end() : KnownPrivileges().find(Lower(name));
    if (it == KnownPrivileges().end()) {
        SetLastError(err::NoSuchPrivilege);  // 1313
        return 0;
    }
    if (luid == nullptr) {
        SetLastError(kErrorNoAccess);
        return 0;
    }
    *luid = LUID{it->second, 0};
    return 1;
}

int AdjustTokenPrivileges(TokenHandle token, int disableAll, const TOKEN_PRIVILEGES* newState,
                          Dword bufferLength, TOKEN_PRIVILEGES* previousState,
                          Dword* returnLength) {
    sim::trace::Call trace("AdjustTokenPrivileges", [&] {
        return sim::trace::Args(sim::trace::H(sim::trace::Kind::Kernel, token),
                                std::to_string(disableAll), sim::trace::Of(newState),
                                std::to_string(bufferLength));
    });
    if (Injected("AdjustTokenPrivileges")) {
        return 0;
    }
    std::lock_guard lock(T().mu);
    auto handle = T().handles.find(reinterpret_cast<std::uintptr_t>(token));
    if (handle == T().handles.end()) {
        SetLastError(err::InvalidHandle);
        return 0;
    }
    if ((handle->second & token::AdjustPrivileges) == 0) {
        SetLastError(err::AccessDenied);
        return 0;
    }
    // Our record has room for one privilege; more would be read past its end.
    if ((!disableAll && newState == nullptr) ||
        (newState != nullptr && newState->PrivilegeCount > 1)) {
        SetLastError(err::InvalidParameter);
        return 0;
    }
    if (previousState != nullptr && bufferLength < sizeof(TOKEN_PRIVILEGES)) {
        if (returnLength != nullptr) {
            *returnLength = sizeof(TOKEN_PRIVILEGES);
        }
        SetLastError(err::InsufficientBuffer);
        return 0;
    }
    TOKEN_PRIVILEGES previous{};
    bool allAssigned = true;
    if (disableAll) {
        for (auto& [luid, privilege] : T().privileges) {
            privilege.enabled = false;
        }
    } else if (newState->PrivilegeCount == 1) {
        const auto& entry = newState->Privileges[0];
        auto it = T().privileges.find(entry.Luid.LowPart);
        if (entry.Luid.HighPart != 0 || it == T().privileges.end() || !it->second.held) {
            allAssigned = false;
        } else {
            const bool enable = (entry.Attributes & token::PrivilegeEnabled) != 0;
            if (it->second.enabled != enable) {
                previous.PrivilegeCount = 1;
                previous.Privileges[0].Luid = entry.Luid;
                previous.Privileges[0].Attributes =
                    it->second.enabled ? token::PrivilegeEnabled : 0;
            }
            it->second.enabled = enable;
        }
    }
    if (previousState != nullptr) {
        *previousState = previous;
    }
    if (returnLength != nullptr) {
        *returnLength = sizeof(TOKEN_PRIVILEGES);
    }
    // Success either way; 1300 says a privilege the token does not hold was left out.
    SetLastError(allAssigned ? err::Success : err::NotAllAssigned);
    return 1;
}

}  // namespace sys

namespace sim::security {

void SetPrivilegeHeld(const std::string& name, bool held) {
    const sys::Dword luid = LuidOf(name);
    std::lock_guard lock(T().mu);
    T().privileges[luid] = Privilege{held, false};
}

bool PrivilegeEnabled(const std::string& name) {
    const sys::Dword luid = LuidOf(name);
    std::lock_guard lock(T().mu);
    return T().privileges[luid].enabled;
}

int OpenTokenCount() {
    std::lock_guard lock(T().mu);
    return static_cast<int>(T().handles.size());
}

}  // namespace sim::security
