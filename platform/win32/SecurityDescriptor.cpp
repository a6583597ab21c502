// Owner and access list out of a security descriptor, shared by the registry and file calls.
#include "platform/win32/SecurityDescriptor.h"

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

namespace sys::detail {
namespace {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (sid == nullptr || !::ConvertSidToStringSidA(sid, &text)) {
        return "?";
    }
    std::string result(text);
    ::LocalFree(text);
    return result;
}

}  // namespace

Dword ReadSecurityDescriptor(void* descriptor, ObjectSecurity& security) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    PACL acl = nullptr;
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted)) {
        return ::GetLastError();
    }
    security = {};
    security.owner = SidText(owner);
    security.noAccessList = !present || acl == nullptr;
    for (DWORD i = 0; !security.noAccessList && i < acl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(acl, i, &entry)) {
            return ::GetLastError();
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 ||
            header->AceType == ACCESS_DENIED_ACE_TYPE || header->AceType == SYSTEM_AUDIT_ACE_TYPE ||
            header->AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
            continue;
        }
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            security.allowed.push_back({"?", 0xFFFFFFFF});
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        security.allowed.push_back({SidText(&allowed->SidStart), allowed->Mask});
    }
    return ERROR_SUCCESS;
}

}  // namespace sys::detail
