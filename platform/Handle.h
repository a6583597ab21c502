// Kernel handles (tokens, events, serial ports): CloseHandle and a holder that closes on scope
// exit.
#pragma once

#include <utility>

#include "platform/Types.h"

namespace sys {

// BOOL result; 6 (ERROR_INVALID_HANDLE) for a handle that is not open.
int CloseHandle(void* handle);

// A kernel handle closed when it goes out of scope.
class Handle {
  public:
    Handle() = default;
    explicit Handle(void* handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void* Get() const { return handle_; }
    void** Receive() {
        Close();
        return &handle_;
    }
    explicit operator bool() const { return handle_ != nullptr; }
    void Close() {
        if (handle_ != nullptr) {
            CloseHandle(std::exchange(handle_, nullptr));
        }
    }

  private:
    void* handle_ = nullptr;
};

}  // namespace sys
