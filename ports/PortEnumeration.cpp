// Reads EnumPortsA level 2 into strings, trusting no count or pointer beyond the buffer.
#include "ports/PortEnumeration.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/Spooler.h"

namespace ports {
namespace {

// A string of the spooler's buffer: empty when null or outside it, cut at the buffer's end.
std::string StringIn(const char* text, const std::uint8_t* begin, const std::uint8_t* end) {
    const auto* at = reinterpret_cast<const std::uint8_t*>(text);
    if (text == nullptr || at < begin || at >= end) {
        return {};
    }
    return std::string(text, strnlen(text, static_cast<size_t>(end - at)));
}

}  // namespace

std::vector<PortRecord> EnumeratePortRecords() {
    sys::Dword needed = 0;
    sys::Dword returned = 0;
    sys::EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);

    // Records first, their strings after them: the storage is aligned for the records.
    const sys::Dword size = needed;
    std::vector<sys::PORT_INFO_2> storage((size + sizeof(sys::PORT_INFO_2) - 1) /
                                          sizeof(sys::PORT_INFO_2));
    auto* buffer = reinterpret_cast<std::uint8_t*>(storage.data());
    returned = 0;
    if (sys::EnumPortsA(nullptr, 2, buffer, size, &needed, &returned) == 0) {
        returned = 0;  // a failed fetch leaves nothing valid in the buffer
    }

    const std::uint8_t* end = buffer + (buffer == nullptr ? 0 : size);
    const size_t fits = size / sizeof(sys::PORT_INFO_2);
    const size_t count = std::min<size_t>(returned, fits);
    std::vector<PortRecord> records;
    records.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const sys::PORT_INFO_2& info = storage[i];
        records.push_back(
            {StringIn(info.pPortName, buffer, end), StringIn(info.pDescription, buffer, end)});
    }
    return records;
}

bool StartsWith(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0;
}

bool IsTcpipDescription(std::string_view description) {
    return description == kTcpipMonitor || description == kTcpipDescriptionChinese;
}

}  // namespace ports
