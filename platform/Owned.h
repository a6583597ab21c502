// One owner for every kind of system handle: closed once, when it goes out of scope.
#pragma once

#include <utility>

namespace sys {

// CloseFn is the call that frees the handle (ClosePrinter, RegCloseKey, CloseServiceHandle...).
template <auto CloseFn>
class Owned {
  public:
    Owned() = default;
    explicit Owned(void* handle) : handle_(handle) {}
    ~Owned() { Close(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    void* Get() const { return handle_; }
    void** Receive() {  // for the calls that return the handle through a pointer
        Close();
        return &handle_;
    }
    explicit operator bool() const { return handle_ != nullptr; }
    // The close call's result; 0 when nothing was held.
    auto Close() -> decltype(CloseFn(nullptr)) {
        return handle_ != nullptr ? CloseFn(std::exchange(handle_, nullptr))
                                  : decltype(CloseFn(nullptr)){};
    }

  private:
    void* handle_ = nullptr;
};

}  // namespace sys
