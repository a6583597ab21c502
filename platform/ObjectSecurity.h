// Who may change a key, a file or a folder: its owner and the entries of its access list.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace sys {

namespace sid {
inline constexpr const char* System = "S-1-5-18";
inline constexpr const char* Administrators = "S-1-5-32-544";
inline constexpr const char* Users = "S-1-5-32-545";
}  // namespace sid

// An object's owner and the entries of its access list that allow rights on the object itself,
// SIDs in their "S-1-..." form. Entries for children alone and deny entries are left out, so
// reading the allowed ones alone can only find more who may change the object, never fewer; an
// allowing entry of another kind is given as the SID "?" with every right.
struct ObjectSecurity {
    struct Allowed {
        std::string sid;
        Dword rights = 0;
    };
    std::string owner;
    bool noAccessList = false;  // a NULL access list: everyone may do anything
    std::vector<Allowed> allowed;
};

// Whether none but SYSTEM and Administrators may change the object, changeRights being the
// rights that change one of its kind: its owner may always rewrite its access list, so the owner
// must be one of them too.
inline bool OnlyAdministratorsMayChange(const ObjectSecurity& security, Dword changeRights) {
    const auto administrative = [](const std::string& s) {
        return s == sid::System || s == sid::Administrators;
    };
    if (security.noAccessList || !administrative(security.owner)) {
        return false;
    }
    return std::none_of(security.allowed.begin(), security.allowed.end(), [&](const auto& entry) {
        return (entry.rights & changeRights) != 0 && !administrative(entry.sid);
    });
}

}  // namespace sys
