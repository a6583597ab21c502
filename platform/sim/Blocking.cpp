// Settling the simulated threads before the simulated clock moves.
#include "platform/sim/Blocking.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/sim/Threads.h"

namespace sim::detail {

struct Blocked::Record {
    std::thread::id thread;
    bool simThread = false;
    std::mutex mu;  // held while canRun runs; the blocked scope ends only after it
    std::function<bool()> canRun;

    // Whether the thread is still blocked with nothing to run.
    bool Stuck() {
        std::lock_guard lock(mu);
        return canRun && !canRun();
    }
};

namespace {

struct State {
    std::mutex mu;
    std::condition_variable cv;
    std::vector<std::shared_ptr<Blocked::Record>> records;
};

State& B() {
    static State state;
    return state;
}

}  // namespace

Blocked::Blocked(std::function<bool()> canRun) : record_(std::make_shared<Record>()) {
    record_->thread = std::this_thread::get_id();
    record_->simThread = OnSimThread();
    record_->canRun = std::move(canRun);
    std::lock_guard lock(B().mu);
    B().records.push_back(record_);
    B().cv.notify_all();
}

Blocked::~Blocked() {
    {
        // A Settle() that copied the record may still ask it: canRun's references end here.
        std::lock_guard lock(record_->mu);
        record_->canRun = nullptr;
    }
    std::lock_guard lock(B().mu);
    std::erase(B().records, record_);
    B().cv.notify_all();
}

void WakeSettle() {
    std::lock_guard lock(B().mu);
    B().cv.notify_all();
}

void Settle() {
    using Clock = std::chrono::steady_clock;
    const auto limit = Clock::now() + std::chrono::seconds(2);
    const int self = OnSimThread() ? 1 : 0;
    for (;;) {
        std::vector<std::shared_ptr<Blocked::Record>> records;
        {
            std::lock_guard lock(B().mu);
            records = B().records;
        }
        std::set<std::thread::id> blocked;
        for (const auto& r : records) {
            if (r->simThread && r->thread != std::this_thread::get_id() && r->Stuck()) {
                blocked.insert(r->thread);
            }
        }
        if (static_cast<int>(blocked.size()) >= RunningThreads() - self || Clock::now() > limit) {
            return;
        }
        std::unique_lock lock(B().mu);
        B().cv.wait_for(lock, std::chrono::milliseconds(1));
    }
}

}  // namespace sim::detail
