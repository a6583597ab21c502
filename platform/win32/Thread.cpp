// Win32 back end of the worker threads.
#include <windows.h>

#include "platform/Thread.h"

namespace sys {

struct Thread::Impl {
    HANDLE handle = nullptr;
    std::function<void()> body;
};

Thread::Thread() = default;

Thread::~Thread() {
    if (impl_ && impl_->handle != nullptr) {
        ::WaitForSingleObject(impl_->handle, INFINITE);
        ::CloseHandle(impl_->handle);
    }
}

namespace {
DWORD WINAPI ThreadMain(LPVOID parameter) {
    static_cast<Thread::Impl*>(parameter)->body();
    return 0;
}
}  // namespace

bool Thread::Start(std::function<void()> body) {
    if (impl_) {
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->body = std::move(body);
    impl->handle = ::CreateThread(nullptr, 0, &ThreadMain, impl.get(), 0, nullptr);
    if (impl->handle == nullptr) {
        return false;
    }
    impl_ = std::move(impl);
    return true;
}

bool Thread::Running() const {
    return impl_ && ::WaitForSingleObject(impl_->handle, 0) == WAIT_TIMEOUT;
}

bool Thread::Wait(Dword milliseconds) {
    return !impl_ || ::WaitForSingleObject(impl_->handle, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace sys
