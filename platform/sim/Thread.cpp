// Threads of the simulated platform: real host threads, waited for on destruction.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/Thread.h"
#include "platform/sim/Blocking.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Threads.h"
#include "platform/sim/Trace.h"

namespace {
std::atomic<int> running{0};
thread_local bool simThread = false;
}  // namespace

namespace sim::detail {
int RunningThreads() {
    return running.load();
}
bool OnSimThread() {
    return simThread;
}
}  // namespace sim::detail

namespace sys {

struct Thread::Impl {
    std::thread thread;
    std::mutex mu;
    std::condition_variable cv;
    bool done = false;
};

Thread::Thread() = default;

Thread::~Thread() {
    if (impl_ && impl_->thread.joinable()) {
        impl_->thread.join();
    }
}

bool Thread::Start(std::function<void()> body) {
    sim::CountCall("CreateThread");
    sim::trace::Call trace("CreateThread");
    const int tag = sim::trace::NewThreadTag();
    if (impl_ || sim::ShouldFail("CreateThread")) {
        return false;
    }
    impl_ = std::make_unique<Impl>();
    Impl* impl = impl_.get();
    ++running;
    impl->thread = std::thread([impl, tag, body = std::move(body)] {
        simThread = true;
        sim::trace::SetThreadTag(tag);
        body();
        std::lock_guard lock(impl->mu);
        impl->done = true;
        --running;
        impl->cv.notify_all();
    });
    return true;
}

bool Thread::Running() const {
    if (!impl_) {
        return false;
    }
    std::lock_guard lock(impl_->mu);
    return !impl_->done;
}

bool Thread::Wait(Dword milliseconds) {
    if (!impl_) {
        return true;
    }
    // Waiting for another thread counts as blocked for whoever settles the threads.
    sim::detail::Blocked blocked([impl = impl_.get()] {
        std::lock_guard lock(impl->mu);
        return impl->done;
    });
    std::unique_lock lock(impl_->mu);
    return impl_->cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return impl_->done; });
}

}  // namespace sys
