// The serial journal: one REG_MULTI_SZ value of alternating printer names and ports.
#include "ports/SerialJournal.h"

#include <strings.h>

#include <cstdint>
#include <cstring>

#include "install/SetPrinterPortRegistry.h"
#include "platform/Registry.h"

namespace ports::journal {
namespace {

const char* const kFreePort = "LPT1:";
const char* const kControlPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr sys::Dword kMultiSz = 7;  // REG_MULTI_SZ
constexpr sys::Dword kMaxJournal = 64 * 1024;
constexpr sys::Dword kPortValueSize = 256;

// The port the spooler reads for a printer at its next start; false when its key is gone.
bool RegistryPort(const std::string& printer, std::string& port) {
    const std::string subKey = kControlPrinters + printer;
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), subKey.c_str(), 0, sys::key::QueryValue,
                           key.Receive()) != sys::err::Success) {
        return false;
    }
    char value[kPortValueSize] = {};
    sys::Dword size = sizeof value - 1;
    sys::Dword type = 0;
    if (sys::RegQueryValueExA(key.Get(), "Port", nullptr, &type,
                              reinterpret_cast<std::uint8_t*>(value), &size) != sys::err::Success) {
        return false;
    }
    port.assign(value, strnlen(value, size));
    return true;
}

bool OnFreePort(const std::string& printer) {
    std::string port;
    return RegistryPort(printer, port) && strcasecmp(port.c_str(), kFreePort) == 0;
}

bool Write(const std::string& data) {
    sys::RegKey key;
    sys::Dword disposition = 0;
    // No descriptor: the key inherits HKLM\Software's, which standard users may only read.
    if (sys::RegCreateKeyExA(sys::HkeyLocalMachine(), kKey, 0, nullptr, sys::reg::OptionNonVolatile,
                             sys::key::SetValue, nullptr, key.Receive(),
                             &disposition) != sys::err::Success) {
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

std::vector<Moved> Read() {
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), kKey, 0, sys::key::QueryValue, key.Receive()) !=
        sys::err::Success) {
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
        if (OnFreePort(entry.printer)) {
            return;  // the next start gives it its port back
        }
    }
    Record({});
}

Replayed Replay(const std::function<bool()>& restart) {
    Replayed replayed;
    const auto moved = Read();
    if (moved.empty()) {
        return replayed;
    }
    for (const auto& entry : moved) {
        if (!OnFreePort(entry.printer)) {
            continue;  // gone, or moved elsewhere by the user since
        }
        install::SetPrinterPortRegistry(entry.printer, entry.port, [](const std::string&) {});
        std::string now;
        if (RegistryPort(entry.printer, now) && strcasecmp(now.c_str(), entry.port.c_str()) == 0) {
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
    return text;
}

}  // namespace ports::journal
