// The simulated registry: a tree of keys with values and access rights.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/Registry.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/Trace.h"

using sim::detail::Lower;
namespace tr = sim::trace;

namespace sim::detail {
void ResetSecurity();  // the token's state is reset with the registry (Security.cpp)
}

namespace {

constexpr sys::Dword kErrorNoAccess = 998;
constexpr sys::Dword kErrorKeyDeleted = 1018;
constexpr sys::Dword kRegExpandSz = 2;
constexpr sys::Dword kRegMultiSz = 7;

constexpr std::uintptr_t kHkeyCurrentUser = 0x80000001;
constexpr std::uintptr_t kHkeyLocalMachine = 0x80000002;
constexpr std::uintptr_t kHkeyCurrentConfig = 0x80000005;

constexpr sys::Dword kGenericRead = 0x80000000;
constexpr sys::Dword kGenericWrite = 0x40000000;
constexpr sys::Dword kGenericExecute = 0x20000000;
constexpr sys::Dword kGenericAll = 0x10000000;
constexpr sys::Dword kMaximumAllowed = 0x02000000;
constexpr sys::Dword kKeyWow64Flags = 0x0300;  // KEY_WOW64_64KEY | KEY_WOW64_32KEY: no rights

struct Key {
    std::string name;
    std::map<std::string, std::shared_ptr<Key>> children;              // by lower-case name
    std::vector<std::pair<std::string, sim::registry::Value>> values;  // in creation order
    sys::Dword allowed = sys::key::AllAccess;
    // As Windows gives HKLM\SOFTWARE: owned by SYSTEM, only it and Administrators may change it.
    sys::KeySecurity security{sys::sid::System,
                              false,
                              {{sys::sid::System, sys::key::AllAccess},
                               {sys::sid::Administrators, sys::key::AllAccess},
                               {sys::sid::Users, sys::key::Read}}};
    bool isVolatile = false;
    bool deleted = false;

    sim::registry::Value* FindValue(const std::string& valueName) {
        const std::string lower = Lower(valueName);
        for (auto& [n, v] : values) {
            if (Lower(n) == lower) {
                return &v;
            }
        }
        return nullptr;
    }
};

struct OpenKey {
    std::shared_ptr<Key> key;
    sys::Dword granted = 0;
};

struct Registry {
    std::mutex mu;
    std::map<std::uintptr_t, std::shared_ptr<Key>> roots;  // by predefined handle value
    std::map<std::uintptr_t, OpenKey> handles;
    std::uintptr_t nextHandle = 0x1000;
};

Registry& R() {
    static Registry registry;
    return registry;
}

// Maps generic rights onto the key rights they stand for; the WOW64 view flags grant nothing.
sys::Dword MapAccess(sys::Dword access, sys::Dword allowed) {
    sys::Dword mapped = access & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll |
                                   kMaximumAllowed | kKeyWow64Flags);
    if (access & (kGenericRead | kGenericExecute)) {
        mapped |= sys::key::Read;
    }
    if (access & kGenericWrite) {
        mapped |= sys::key::Write;
    }
    if (access & kGenericAll) {
        mapped |= sys::key::AllAccess;
    }
    if (access & kMaximumAllowed) {
        mapped |= allowed;
    }
    return mapped;
}

// Only the backslash separates: '/' is an ordinary character of a key name.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    for (size_t start = 0; start < path.size();) {
        const size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::shared_ptr<Key> Child(const std::shared_ptr<Key>& key, const std::string& name) {
    auto it = key->children.find(Lower(name));
    return it == key->children.end() ? nullptr : it->second;
}

std::shared_ptr<Key> Walk(std::shared_ptr<Key> key, const std::string& path) {
    for (const auto& part : SplitPath(path)) {
        key = Child(key, part);
        if (!key) {
            return nullptr;
        }
    }
    return key;
}

std::shared_ptr<Key> AddChild(const std::shared_ptr<Key>& parent, const std::string& name,
                              bool isVolatile) {
    auto child = std::make_shared<Key>();
    child->name = name;
    child->allowed = parent->allowed;  // as an inherited security descriptor
    child->security = parent->security;
    child->security.owner = sys::sid::Administrators;  // an elevated creator's default owner
    child->isVolatile = isVolatile;
    parent->children[Lower(name)] = child;
    return child;
}

void MarkDeleted(Key& key) {
    key.deleted = true;
    for (auto& [name, child] : key.children) {
        MarkDeleted(*child);
    }
}

// The key a handle stands for; nothing for a handle that is not open. A predefined root
// grants whatever its key allows.
std::optional<OpenKey> Lookup(sys::KeyHandle handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (auto r = R().roots.find(value); r != R().roots.end()) {
        return OpenKey{r->second, r->second->allowed};
    }
    auto it = R().handles.find(value);
    return it == R().handles.end() ? std::nullopt : std::optional<OpenKey>(it->second);
}

// The open key behind a handle, checked for the right a call needs (0: none).
sys::Dword Use(sys::KeyHandle handle, sys::Dword right, OpenKey& open) {
    auto found = Lookup(handle);
    if (!found) {
        return sys::err::InvalidHandle;
    }
    if (found->key->deleted) {
        return kErrorKeyDeleted;
    }
    if ((found->granted & right) != right) {
        return sys::err::AccessDenied;
    }
    open = std::move(*found);
    return sys::err::Success;
}

sys::KeyHandle NewHandle(std::shared_ptr<Key> key, sys::Dword granted) {
    const std::uintptr_t value = R().nextHandle;
    R().nextHandle += 4;
    R().handles[value] = OpenKey{std::move(key), granted};
    return reinterpret_cast<sys::KeyHandle>(value);
}

// An injected failure of a Reg call: its code, with the caller's last error left as it was
// (Reg calls report through their result only).
std::optional<sys::Dword> Injected(const char* call) {
    sim::CountCall(call);
    const sys::Dword saved = sys::GetLastError();
    if (!sim::ShouldFail(call)) {
        return std::nullopt;
    }
    const sys::Dword code = sys::GetLastError();
    sys::SetLastError(saved);
    return code;
}

bool IsString(sys::Dword type) {
    return type == sys::reg::Sz || type == kRegExpandSz || type == kRegMultiSz;
}

std::shared_ptr<Key> RootByName(const std::string& root) {
    static const std::map<std::string, std::uintptr_t> names = {
        {"hklm", kHkeyLocalMachine},  {"hkey_local_machine", kHkeyLocalMachine},
        {"hkcu", kHkeyCurrentUser},   {"hkey_current_user", kHkeyCurrentUser},
        {"hkcc", kHkeyCurrentConfig}, {"hkey_current_config", kHkeyCurrentConfig},
    };
    auto it = names.find(Lower(root));
    if (it == names.end()) {
        throw std::invalid_argument("unknown registry root: " + root);
    }
    return R().roots.at(it->second);
}

std::shared_ptr<Key> EnsureKey(const std::string& root, const std::string& path) {
    auto key = RootByName(root);
    for (const auto& part : SplitPath(path)) {
        auto child = Child(key, part);
        key = child ? child : AddChild(key, part, key->isVolatile);
    }
    return key;
}

std::shared_ptr<Key> ExistingKey(const std::string& root, const std::string& path) {
    auto key = Walk(RootByName(root), path);
    if (!key) {
        throw std::invalid_argument("no such simulated key: " + root + "\\" + path);
    }
    return key;
}

void PutValue(Key& key, const std::string& name, sim::registry::Value value) {
    if (auto* existing = key.FindValue(name)) {
        *existing = std::move(value);  // keeps its place in the enumeration order
    } else {
        key.values.emplace_back(name, std::move(value));
    }
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

}  // namespace

namespace sim::detail {

void ResetRegistry() {
    {
        std::lock_guard lock(R().mu);
        R().handles.clear();
        R().roots.clear();
        for (auto [value, name] : {std::pair{kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"},
                                   std::pair{kHkeyCurrentUser, "HKEY_CURRENT_USER"},
                                   std::pair{kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"}}) {
            auto root = std::make_shared<Key>();
            root->name = name;
            R().roots[value] = root;
        }
        const char* printers = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
        EnsureKey("HKCU", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
        const std::string ports = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
        for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:"}) {
            PutValue(*EnsureKey("HKLM", ports), port, {sys::reg::Sz, Bytes("9600,n,8,1")});
        }
        PutValue(*EnsureKey("HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM"), "\\Device\\Serial0",
                 {sys::reg::Sz, Bytes("COM1")});
        EnsureKey("HKLM", printers);
        EnsureKey("HKLM", "SYSTEM\\ControlSet001\\Control\\Print\\Printers");
        EnsureKey("HKLM", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers");
        // HKEY_CURRENT_CONFIG is not a hive of its own: it is the current hardware profile.
        R().roots[kHkeyCurrentConfig] =
            EnsureKey("HKLM", "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
        EnsureKey("HKCC", printers);
    }
    ResetSecurity();
}

namespace {
std::shared_ptr<Key> Clone(const std::shared_ptr<Key>& key) {
    auto copy = std::make_shared<Key>(*key);
    for (auto& [name, child] : copy->children) {
        child = Clone(child);
    }
    return copy;
}
}  // namespace

std::function<void()> SaveRegistry() {
    std::map<std::uintptr_t, std::shared_ptr<Key>> roots;
    {
        std::lock_guard lock(R().mu);
        for (const auto& [handle, root] : R().roots) {
            roots[handle] = Clone(root);
        }
    }
    return [roots] {
        std::lock_guard lock(R().mu);
        for (const auto& [handle, root] : roots) {
            R().roots[handle] = Clone(root);
        }
    };
}
}  // namespace sim::detail

namespace sys {

KeyHandle HkeyCurrentUser() {
    return reinterpret_cast<KeyHandle>(kHkeyCurrentUser);
}
KeyHandle HkeyLocalMachine() {
    return reinterpret_cast<KeyHandle>(kHkeyLocalMachine);
}
KeyHandle HkeyCurrentConfig() {
    return reinterpret_cast<KeyHandle>(kHkeyCurrentConfig);
}

// The calls themselves; those the logic calls, at the end, record each call around them.
namespace untraced {

Dword RegOpenKeyExA(KeyHandle key, const char* subKey, Dword /*options*/, Dword access,
                    KeyHandle* result) {
    if (auto code = Injected("RegOpenKeyExA")) {
        if (result != nullptr) {
            *result = nullptr;
        }
        return *code;
    }
    if (result == nullptr) {
        return err::InvalidParameter;
    }
    std::lock_guard lock(R().mu);
    OpenKey parent;
    if (Dword code = Use(key, 0, parent); code != err::Success) {
        return code;  // a bad handle leaves the output alone
    }
    *result = nullptr;
    const std::string path = subKey == nullptr ? "" : subKey;
    if (!path.empty() && path[0] == '\\') {
        return err::BadPathname;  // 161: a subkey path is relative, never rooted
    }
    auto target = Walk(parent.key, path);
    if (!target) {
        return err::FileNotFound;
    }
    const Dword granted = MapAccess(access, target->allowed);
    if ((granted & ~target->allowed) != 0) {
        return err::AccessDenied;
    }
    *result = NewHandle(target, granted);
    return err::Success;
}

// RegCreateKeyExA; the keys it makes get `own` as their security when it is given.
Dword CreateKey(KeyHandle key, const char* subKey, Dword options, Dword access,
                const KeySecurity* own, KeyHandle* result, Dword* disposition) {
    if (auto code = Injected("RegCreateKeyExA")) {
        if (result != nullptr) {
            *result = nullptr;
        }
        return *code;
    }
    if (result == nullptr) {
        return kErrorNoAccess;
    }
    std::lock_guard lock(R().mu);
    OpenKey parent;
    if (Dword code = Use(key, 0, parent); code != err::Success) {
        return code;  // a bad handle leaves the output alone
    }
    *result = nullptr;
    if (subKey == nullptr) {
        return err::InvalidParameter;
    }
    if (subKey[0] == '\\') {
        return err::BadPathname;  // 161: a subkey path is relative, never rooted
    }
    const bool wantVolatile = (options & reg::OptionVolatile) != 0;
    std::shared_ptr<Key> target = parent.key;
    bool created = false;
    for (const auto& part : SplitPath(subKey)) {
        if (auto child = Child(target, part)) {
            target = child;
            continue;
        }
        if ((target->allowed & key::CreateSubKey) == 0) {
            return err::AccessDenied;  // 5: the parent does not let a subkey be made
        }
        if (target->isVolatile && !wantVolatile) {
            return err::ChildMustBeVolatile;  // 1021: a volatile key holds volatile keys only
        }
        target = AddChild(target, part, wantVolatile);
        if (own != nullptr) {
            target->security = *own;
        }
        created = true;
    }
    const Dword granted = MapAccess(access, target->allowed);
    if ((granted & ~target->allowed) != 0) {
        return err::AccessDenied;
    }
    *result = NewHandle(target, granted);
    if (disposition != nullptr) {
        *disposition = created ? reg::CreatedNewKey : reg::OpenedExistingKey;
    }
    return err::Success;
}

Dword RegCreateKeyExA(KeyHandle key, const char* subKey, Dword /*reserved*/, char* /*className*/,
                      Dword options, Dword access, const SECURITY_ATTRIBUTES* /*security*/,
                      KeyHandle* result, Dword* disposition) {
    return CreateKey(key, subKey, options, access, nullptr, result, disposition);
}

Dword RegCreateProtectedKeyA(KeyHandle key, const char* subKey, Dword access, KeyHandle* result,
                             Dword* disposition) {
    const KeySecurity adminsOnly{
        sid::Administrators,
        false,
        {{sid::System, key::AllAccess}, {sid::Administrators, key::AllAccess}}};
    return CreateKey(key, subKey, reg::OptionNonVolatile, access, &adminsOnly, result, disposition);
}

Dword RegGetKeySecurity(KeyHandle key, KeySecurity& security) {
    if (auto code = Injected("RegGetKeySecurity")) {
        return *code;
    }
    std::lock_guard lock(R().mu);
    OpenKey open;
    if (Dword code = Use(key, key::ReadControl, open); code != err::Success) {
        return code;
    }
    security = open.key->security;
    return err::Success;
}

Dword RegQueryValueExA(KeyHandle key, const char* valueName, Dword* reserved, Dword* type,
                       std::uint8_t* data, Dword* dataSize) {
    if (auto code = Injected("RegQueryValueExA")) {
        return *code;
    }
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return err::InvalidParameter;
    }
    std::lock_guard lock(R().mu);
    OpenKey open;
    if (Dword code = Use(key, key::QueryValue, open); code != err::Success) {
        return code;
    }
    const auto* value = open.key->FindValue(valueName == nullptr ? "" : valueName);
    if (value == nullptr) {
        return err::FileNotFound;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    const auto needed = static_cast<Dword>(value->data.size());
    if (data != nullptr && *dataSize < needed) {
        *dataSize = needed;
        return err::MoreData;
    }
    if (data != nullptr && needed > 0) {
        std::memcpy(data, value->data.data(), needed);
        // A string stored without its NUL gets one in a buffer with room; the size stays.
        if (IsString(value->type) && *dataSize > needed && value->data.back() != 0) {
            data[needed] = 0;
        }
    }
    if (dataSize != nullptr) {
        *dataSize = needed;
    }
    return err::Success;
}

Dword RegSetValueExA(KeyHandle key, const char* valueName, Dword /*reserved*/, Dword type,
                     const std::uint8_t* data, Dword dataSize) {
    if (auto code = Injected("RegSetValueExA")) {
        return *code;
    }
    if (data == nullptr && dataSize > 0) {
        return kErrorNoAccess;
    }
    std::lock_guard lock(R().mu);
    OpenKey open;
    if (Dword code = Use(key, key::SetValue, open); code != err::Success) {
        return code;
    }
    sim::registry::Value value{type, {}};
    if (dataSize > 0) {
        value.data.assign(data, data + dataSize);
    }
    // A string written without its NUL gets one when the byte after it is a NUL (ANSI strings
    // are converted up to it); otherwise exactly the bytes given are stored.
    if (IsString(type) && dataSize > 0 && value.data.back() != 0 && data[dataSize] == 0) {
        value.data.push_back(0);
    }
    PutValue(*open.key, valueName == nullptr ? "" : valueName, std::move(value));
    return err::Success;
}

Dword RegEnumValueA(KeyHandle key, Dword index, char* valueName, Dword* valueNameSize,
                    Dword* reserved, Dword* type, std::uint8_t* data, Dword* dataSize) {
    if (auto code = Injected("RegEnumValueA")) {
        return *code;
    }
    if (reserved != nullptr || valueName == nullptr || valueNameSize == nullptr ||
        (data != nullptr && dataSize == nullptr)) {
        return err::InvalidParameter;
    }
    std::lock_guard lock(R().mu);
    OpenKey open;
    if (Dword code = Use(key, key::QueryValue, open); code != err::Success) {
        return code;
    }
    if (index >= open.key->values.size()) {
        return err::NoMoreItems;
    }
    const auto& [name, value] = open.key->values[index];
    const auto needed = static_cast<Dword>(value.data.size());
    // 234: either buffer too small; the data count says what is needed, the buffers stay as
    // they were.
    if (*valueNameSize <= name.size() || (data != nullptr && *dataSize < needed)) {
        if (dataSize != nullptr) {
            *dataSize = needed;
        }
        return err::MoreData;
    }
    std::memcpy(valueName, name.c_str(), name.size() + 1);
    *valueNameSize = static_cast<Dword>(name.size());
    if (type != nullptr) {
        *type = value.type;
    }
    if (data != nullptr && needed > 0) {
        std::memcpy(data, value.data.data(), needed);
    }
    if (dataSize != nullptr) {
        *dataSize = needed;
    }
    return err::Success;
}

Dword RegCloseKey(KeyHandle key) {
    if (auto code = Injected("RegCloseKey")) {
        return *code;
    }
    std::lock_guard lock(R().mu);
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (R().roots.count(value) != 0) {
        return err::Success;  // a predefined key is never closed
    }
    return R().handles.erase(value) == 0 ? err::InvalidHandle : err::Success;
}

}  // namespace untraced

Dword RegOpenKeyExA(KeyHandle key, const char* subKey, Dword options, Dword access,
                    KeyHandle* result) {
    tr::Call trace("RegOpenKeyExA", [&] {
        return tr::Args(tr::H(tr::Kind::Key, key), tr::Q(subKey), tr::Hex(options),
                        tr::Hex(access));
    });
    const Dword code = trace.Code(untraced::RegOpenKeyExA(key, subKey, options, access, result));
    if (code == err::Success) {
        tr::Name(tr::Kind::Key, *result,
                 [&] { return tr::H(tr::Kind::Key, key) + "\\" + (subKey ? subKey : ""); });
    }
    return code;
}

Dword RegCreateKeyExA(KeyHandle key, const char* subKey, Dword reserved, char* className,
                      Dword options, Dword access, const SECURITY_ATTRIBUTES* security,
                      KeyHandle* result, Dword* disposition) {
    tr::Call trace("RegCreateKeyExA", [&] {
        return tr::Args(tr::H(tr::Kind::Key, key), tr::Q(subKey), tr::Q(className),
                        tr::Hex(options), tr::Hex(access), tr::Of(security));
    });
    const Dword code = trace.Code(untraced::RegCreateKeyExA(
        key, subKey, reserved, className, options, access, security, result, disposition));
    if (code == err::Success) {
        tr::Name(tr::Kind::Key, *result,
                 [&] { return tr::H(tr::Kind::Key, key) + "\\" + (subKey ? subKey : ""); });
        trace.Out([=] { return disposition ? "disposition=" + std::to_string(*disposition) : ""; });
    }
    return code;
}

Dword RegCreateProtectedKeyA(KeyHandle key, const char* subKey, Dword access, KeyHandle* result,
                             Dword* disposition) {
    // The Win32 call it makes, with the access list asked for in place of its descriptor.
    tr::Call trace("RegCreateKeyExA", [&] {
        return tr::Args(tr::H(tr::Kind::Key, key), tr::Q(subKey), "null",
                        tr::Hex(reg::OptionNonVolatile), tr::Hex(access),
                        tr::Q(kAdminsOnlyKeySddl));
    });
    const Dword code =
        trace.Code(untraced::RegCreateProtectedKeyA(key, subKey, access, result, disposition));
    if (code == err::Success) {
        tr::Name(tr::Kind::Key, *result,
                 [&] { return tr::H(tr::Kind::Key, key) + "\\" + (subKey ? subKey : ""); });
        trace.Out([=] { return disposition ? "disposition=" + std::to_string(*disposition) : ""; });
    }
    return code;
}

Dword RegGetKeySecurity(KeyHandle key, KeySecurity& security) {
    tr::Call trace("RegGetKeySecurity", [&] { return tr::H(tr::Kind::Key, key); });
    const Dword code = trace.Code(untraced::RegGetKeySecurity(key, security));
    if (code == err::Success) {
        trace.Out([&security] {
            std::string text = "owner=" + security.owner + " allowed=";
            if (security.noAccessList) {
                text += "everyone";
            }
            for (const auto& entry : security.allowed) {
                text += (text.back() == '=' ? "" : ",") + entry.sid + ":" + tr::Hex(entry.rights);
            }
            return text;
        });
    }
    return code;
}

Dword RegQueryValueExA(KeyHandle key, const char* valueName, Dword* reserved, Dword* type,
                       std::uint8_t* data, Dword* dataSize) {
    tr::Call trace("RegQueryValueExA", [&] {
        return tr::Args(tr::H(tr::Kind::Key, key), tr::Q(valueName), data ? "buffer" : "null",
                        dataSize ? std::to_string(*dataSize) : "null");
    });
    trace.Out([=] { return dataSize ? "size=" + std::to_string(*dataSize) : std::string(); });
    return trace.Code(untraced::RegQueryValueExA(key, valueName, reserved, type, data, dataSize));
}

Dword RegSetValueExA(KeyHandle key, const char* valueName, Dword reserved, Dword type,
                     const std::uint8_t* data, Dword dataSize) {
    tr::Call trace("RegSetValueExA", [&] {
        return tr::Args(tr::H(tr::Kind::Key, key), tr::Q(valueName), std::to_string(type),
                        tr::Bytes(data, dataSize), std::to_string(dataSize));
    });
    return trace.Code(untraced::RegSetValueExA(key, valueName, reserved, type, data, dataSize));
}

Dword RegEnumValueA(KeyHandle key, Dword index, char* valueName, Dword* valueNameSize,
                    Dword* reserved, Dword* type, std::uint8_t* data, Dword* dataSize) {
    tr::Call trace("RegEnumValueA", [&] {
        return tr::Args(tr::H(tr::Kind::Key, key), std::to_string(index),
                        valueNameSize ? std::to_string(*valueNameSize) : "null",
                        dataSize ? std::to_string(*dataSize) : "null");
    });
    return trace.Code(untraced::RegEnumValueA(key, index, valueName, valueNameSize, reserved, type,
                                              data, dataSize));
}

Dword RegCloseKey(KeyHandle key) {
    tr::Call trace("RegCloseKey", [&] { return tr::H(tr::Kind::Key, key); });
    return trace.Code(untraced::RegCloseKey(key));
}

}  // namespace sys

namespace sim::registry {

void CreateKey(const std::string& root, const std::string& path) {
    std::lock_guard lock(R().mu);
    EnsureKey(root, path);
}

void DeleteKey(const std::string& root, const std::string& path) {
    std::lock_guard lock(R().mu);
    auto parts = SplitPath(path);
    if (parts.empty()) {
        throw std::invalid_argument("a root key cannot be deleted");
    }
    const std::string last = parts.back();
    parts.pop_back();
    std::shared_ptr<Key> parent = RootByName(root);
    for (const auto& part : parts) {
        parent = Child(parent, part);
        if (!parent) {
            return;
        }
    }
    auto it = parent->children.find(Lower(last));
    if (it != parent->children.end()) {
        MarkDeleted(*it->second);  // handles still open on it now give 1018
        parent->children.erase(it);
    }
}

bool KeyExists(const std::string& root, const std::string& path) {
    std::lock_guard lock(R().mu);
    return Walk(RootByName(root), path) != nullptr;
}

void SetKeyAccess(const std::string& root, const std::string& path, sys::Dword allowed) {
    std::lock_guard lock(R().mu);
    ExistingKey(root, path)->allowed = allowed;
}

void SetKeySecurity(const std::string& root, const std::string& path,
                    const sys::KeySecurity& security) {
    std::lock_guard lock(R().mu);
    ExistingKey(root, path)->security = security;
}

sys::KeySecurity GetKeySecurity(const std::string& root, const std::string& path) {
    std::lock_guard lock(R().mu);
    return ExistingKey(root, path)->security;
}

void SetVolatile(const std::string& root, const std::string& path, bool isVolatile) {
    std::lock_guard lock(R().mu);
    ExistingKey(root, path)->isVolatile = isVolatile;
}

void SetValue(const std::string& root, const std::string& path, const std::string& name,
              sys::Dword type, const std::vector<std::uint8_t>& data) {
    std::lock_guard lock(R().mu);
    PutValue(*EnsureKey(root, path), name, Value{type, data});
}

void SetString(const std::string& root, const std::string& path, const std::string& name,
               const std::string& text) {
    SetValue(root, path, name, sys::reg::Sz, Bytes(text));
}

void SetDword(const std::string& root, const std::string& path, const std::string& name,
              sys::Dword value) {
    std::vector<std::uint8_t> data(4);
    std::memcpy(data.data(), &value, 4);
    SetValue(root, path, name, sys::reg::Dword32, data);
}

void DeleteValue(const std::string& root, const std::string& path, const std::string& name) {
    std::lock_guard lock(R().mu);
    auto key = Walk(RootByName(root), path);
    if (!key) {
        return;
    }
    const std::string lower = Lower(name);
    std::erase_if(key->values, [&](const auto& entry) { return Lower(entry.first) == lower; });
}

std::optional<Value> GetValue(const std::string& root, const std::string& path,
                              const std::string& name) {
    std::lock_guard lock(R().mu);
    auto key = Walk(RootByName(root), path);
    if (!key) {
        return std::nullopt;
    }
    const Value* value = key->FindValue(name);
    return value == nullptr ? std::nullopt : std::optional<Value>(*value);
}

std::optional<std::string> GetString(const std::string& root, const std::string& path,
                                     const std::string& name) {
    auto value = GetValue(root, path, name);
    if (!value || value->type != sys::reg::Sz) {
        return std::nullopt;
    }
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::vector<std::string> ValueNames(const std::string& root, const std::string& path) {
    std::lock_guard lock(R().mu);
    std::vector<std::string> names;
    if (auto key = Walk(RootByName(root), path)) {
        for (const auto& [name, value] : key->values) {
            names.push_back(name);
        }
    }
    return names;
}

int OpenKeyCount() {
    std::lock_guard lock(R().mu);
    return static_cast<int>(R().handles.size());
}

std::string Dump(const std::string& root) {
    std::lock_guard lock(R().mu);
    std::string out;
    const auto walk = [&out](const auto& self, const Key& key, const std::string& path) -> void {
        out += path + "\n";
        for (const auto& [name, value] : key.values) {
            out += "  " + name + " " + std::to_string(value.type) + ":";
            for (const std::uint8_t byte : value.data) {
                out += " " + std::to_string(byte);
            }
            out += "\n";
        }
        for (const auto& [lower, child] : key.children) {
            self(self, *child, path + "\\" + child->name);
        }
    };
    walk(walk, *RootByName(root), root);
    return out;
}

}  // namespace sim::registry
