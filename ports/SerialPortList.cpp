// Reads the serial device map into port names with their colon.
#include "ports/SerialPortList.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/Registry.h"
#include "ports/PortEnumeration.h"
#include "ports/SerialDetection.h"

namespace ports {
namespace {

constexpr sys::Dword kBufferSize = 128;

// Up to the first NUL, within both the reported size and the buffer.
std::string TextOf(const char* data, sys::Dword reported, sys::Dword capacity) {
    return std::string(data, strnlen(data, std::min(reported, capacity)));
}

}  // namespace

int ReadSerialPortList(std::vector<std::string>& serialPorts) {
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                           sys::key::Read, key.Receive()) != sys::err::Success) {
        return serialPorts.empty() ? 0 : 1;
    }
    std::array<char, kBufferSize> name{};
    std::array<char, kBufferSize> data{};
    for (sys::Dword index = 0;; ++index) {
        name.fill('\0');
        data.fill('\0');
        sys::Dword nameSize = kBufferSize;
        sys::Dword dataSize = kBufferSize;
        sys::Dword type = 0;
        const sys::Dword status =
            sys::RegEnumValueA(key.Get(), index, name.data(), &nameSize, nullptr, &type,
                               reinterpret_cast<std::uint8_t*>(data.data()), &dataSize);
        if (status == sys::err::MoreData) {
            continue;  // 234: longer than any port name; the buffers hold nothing of it
        }
        if (status != sys::err::Success) {
            break;  // 259 ends the values; any other error would repeat for every index
        }
        if (!StartsWith(TextOf(name.data(), nameSize, kBufferSize), "\\Device\\")) {
            continue;
        }
        // An entry that names no COM port ("COM", "COMX", COM0, a REG_DWORD) could be neither
        // opened nor given to a printer: it is left out.
        const std::string entry = TextOf(data.data(), dataSize, kBufferSize) + ":";
        if (type == sys::reg::Sz && PortNumberOf(entry) > 0) {
            serialPorts.push_back(entry);
        }
    }
    return serialPorts.empty() ? 0 : 1;
}

}  // namespace ports
