// The serial journal: one REG_MULTI_SZ value of alternating printer names and ports.
#include "ports/SerialJournal.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "install/SetPrinterPortRegistry.h"
#include "platform/Registry.h"

namespace ports::journal {
namespace {

const char* const kFreePort = "LPT1:";
// Rights that change a key or what it holds: KEY_SET_VALUE, KEY_CREATE_SUB_KEY,
// KEY_CREATE_LINK, DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE.
constexpr sys::Dword kChangeRights =
    0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
const char* const kControlPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr sys::Dword kMultiSz = 7;  // REG_MULTI_SZ
constexpr sys::Dword kMaxJournal = 64 * 1024;
constexpr sys::Dword kPortValueSize = 256;

bool Is(const std::optional<std::string>& port, const std::string& wanted) {
    return port && strcasecmp(port->c_str(), wanted.c_str()) == 0;
}

bool Write(const std::string& data) {
    sys::RegKey key;
    sys::Dword disposition = 0;
    if (sys::RegCreateProtectedKeyA(sys::HkeyLocalMachine(), kKey, sys::key::SetValue,
                                    key.Receive(), &disposition) != sys::err::Success) {
        return false;
    }
    return sys::RegSetValueExA(key.Get(), kValue, 0, kMultiSz,
                               reinterpret_cast<const std::uint8_t*>(data.data()),
                               static_cast<sys::Dword>(data.size())) == sys::err::Success;
}

}  // namespace

bool Record(const std::vector<Moved>& moved) {
    std::string data;
    for (const auto& entry : moved) {
        data += entry.printer + '\0' + entry.port + '\0';
    }
    data += '\0';
    return Write(data);
}

std::optional<std::string> RegistryPort(const std::string& printer) {
    const std::string subKey = kControlPrinters + printer;
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), subKey.c_str(), 0, sys::key::QueryValue,
                           key.Receive()) != sys::err::Success) {
        return std::nullopt;
    }
    char value[kPortValueSize] = {};
    sys::Dword size = sizeof value - 1;
    sys::Dword type = 0;
    if (sys::RegQueryValueExA(key.Get(), "Port", nullptr, &type,
                              reinterpret_cast<std::uint8_t*>(value), &size) != sys::err::Success) {
        return std::nullopt;
    }
    return std::string(value, strnlen(value, size));
}

std::vector<Moved> Read(bool* refused) {
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), kKey, 0, sys::key::Read, key.Receive()) !=
        sys::err::Success) {
        return {};
    }
    // Judged on the handle the value is then read through: no key swapped in between.
    sys::KeySecurity security;
    if (sys::RegGetKeySecurity(key.Get(), security) != sys::err::Success ||
        !sys::OnlyAdministratorsMayChange(security, kChangeRights)) {
        if (refused != nullptr) {
            *refused = true;
        }
        return {};
    }
    std::string data(kMaxJournal, '\0');
    sys::Dword size = kMaxJournal - 2;
    sys::Dword type = 0;
    if (sys::RegQueryValueExA(key.Get(), kValue, nullptr, &type,
                              reinterpret_cast<std::uint8_t*>(data.data()),
                              &size) != sys::err::Success ||
        type != kMultiSz) {
        return {};
    }
    data.resize(size);
    std::vector<std::string> strings;
    for (size_t at = 0; at < data.size();) {
        const size_t end = data.find('\0', at);
        if (end == at || end == std::string::npos) {
            break;  // the list's closing empty string
        }
        strings.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    std::vector<Moved> moved;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        moved.push_back({strings[i], strings[i + 1]});
    }
    return moved;
}

void ClearIfRestored() {
    const auto moved = Read();
    if (moved.empty()) {
        return;
    }
    for (const auto& entry : moved) {
        if (Is(RegistryPort(entry.printer), kFreePort)) {
            return;  // the next start gives it its port back
        }
    }
    Record({});
}

Replayed Replay(const std::function<bool()>& restart) {
    Replayed replayed;
    const auto moved = Read(&replayed.refused);
    if (moved.empty()) {
        return replayed;
    }
    for (const auto& entry : moved) {
        if (!Is(RegistryPort(entry.printer), kFreePort)) {
            continue;  // gone, or moved elsewhere by the user since
        }
        install::SetPrinterPortRegistry(entry.printer, entry.port, [](const std::string&) {});
        if (Is(RegistryPort(entry.printer), entry.port)) {
            replayed.restored.push_back(entry.printer + " (" + entry.port + ")");
        } else {
            replayed.failed = true;
        }
    }
    // Also when every port was already back: the run may have died before the restart that
    // makes the spooler read them.
    if (!restart()) {
        replayed.failed = true;
    }
    if (!replayed.failed) {
        Record({});
    }
    return replayed;
}

std::string ReplayStatus(const Replayed& replayed) {
    std::string text;
    if (!replayed.restored.empty()) {
        text = "Printers given back their ports:";
        for (size_t i = 0; i < replayed.restored.size(); ++i) {
            text += (i == 0 ? " " : ", ") + replayed.restored[i];
        }
    }
    if (replayed.failed) {
        text += text.empty() ? "" : ". ";
        text += "A printer moved by an earlier run could not be given back its port";
    }
    if (replayed.refused) {
        text =
            "The list of printers moved by an earlier run was not used: users other than "
            "administrators may change its registry key";
    }
    return text;
}

}  // namespace ports::journal
