// The simulated handle table and CloseHandle.
#include "platform/sim/Handles.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/Handle.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Trace.h"

namespace {

struct Entry {
    sim::detail::HandleKind kind;
    std::function<void(void*)> onClose;
};

struct Table {
    std::mutex mu;
    std::map<std::uintptr_t, Entry> entries;
    std::uintptr_t next = 0x3000;
};

Table& H() {
    static Table table;
    return table;
}

}  // namespace

namespace sim::detail {

void* NewHandle(HandleKind kind, std::function<void(void*)> onClose) {
    std::lock_guard lock(H().mu);
    const std::uintptr_t value = H().next;
    H().next += 4;  // handle values are multiples of four, as Windows gives them
    H().entries[value] = Entry{kind, std::move(onClose)};
    return reinterpret_cast<void*>(value);
}

bool IsHandle(void* handle, HandleKind kind) {
    std::lock_guard lock(H().mu);
    auto it = H().entries.find(reinterpret_cast<std::uintptr_t>(handle));
    return it != H().entries.end() && it->second.kind == kind;
}

int OpenHandleCount(HandleKind kind) {
    std::lock_guard lock(H().mu);
    int n = 0;
    for (const auto& [value, entry] : H().entries) {
        n += entry.kind == kind ? 1 : 0;
    }
    return n;
}

void ResetHandles() {
    std::lock_guard lock(H().mu);
    H().entries.clear();
    H().next = 0x3000;
}

}  // namespace sim::detail

namespace sys {

int CloseHandle(void* handle) {
    sim::trace::Call trace("CloseHandle",
                           [&] { return sim::trace::H(sim::trace::Kind::Kernel, handle); });
    sim::CountCall("CloseHandle");
    if (sim::ShouldFail("CloseHandle")) {
        return 0;
    }
    std::function<void(void*)> onClose;
    {
        std::lock_guard lock(H().mu);
        auto it = H().entries.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == H().entries.end()) {
            SetLastError(err::InvalidHandle);
            return 0;
        }
        onClose = std::move(it->second.onClose);
        H().entries.erase(it);
    }
    if (onClose) {
        onClose(handle);
    }
    return 1;
}

}  // namespace sys
