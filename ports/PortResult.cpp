// Maps a port choice's result to the list entry it names.
#include "ports/PortResult.h"

namespace ports {

int PortIndexOf(int result, const std::vector<std::string>& list) {
    if (result == kAddedWithoutDialog) {
        return list.empty() ? -1 : 0;
    }
    if (result == kCancelled || result < kRowChosen) {
        return -1;
    }
    const size_t row = static_cast<size_t>(result - kRowChosen);
    return row < list.size() ? static_cast<int>(row) : -1;
}

}  // namespace ports
