// The spooler's ports at level 2, read into plain strings, and the name and description tests
// every port list shares.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ports {

// The monitor that creates TCP/IP ports, and the description it gives them.
inline constexpr const char* kTcpipMonitor = "Standard TCP/IP Port";
// The same description on a Chinese system (code page 936).
inline constexpr const char* kTcpipDescriptionChinese = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";

struct PortRecord {
    std::string name;
    std::string description;
};

// EnumPortsA(NULL, 2, ...): the size query, then the fetch; every record, in spooler order.
std::vector<PortRecord> EnumeratePortRecords();

// Case-sensitive; a name shorter than the prefix does not match.
bool StartsWith(std::string_view name, std::string_view prefix);

// The description is the TCP/IP monitor's, in English or Chinese; exact comparison.
bool IsTcpipDescription(std::string_view description);

}  // namespace ports
