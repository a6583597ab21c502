// The results of the port choices and the list entry each one names.
#pragma once

#include <string>
#include <vector>

namespace ports {

inline constexpr int kRowChosen = 0x1200;           // plus the chosen row
inline constexpr int kCancelled = 0xCCCC;           // no port, cancelled, or adding failed
inline constexpr int kAddedWithoutDialog = 0xAAAA;  // a TCP/IP port added with no dialog

// The index in `list` that `result` names, or -1 when it names none: the cancel code, the
// dialogs' 0 (Ok with no row), 1 and 2 (Enter, Escape), a row beyond the list, and the added
// code with an empty list. The added code names the list's first entry.
int PortIndexOf(int result, const std::vector<std::string>& list);

}  // namespace ports
