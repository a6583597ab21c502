// Internal to the sim back end: which threads are blocked in a simulated wait, so that whoever
// moves the simulated clock can first let every other thread run until it blocks ("settle").
#pragma once

#include <functional>
#include <memory>

namespace sim::detail {

// While it lives, the calling thread counts as blocked whenever canRun() is false. canRun is
// called from other threads, without any lock of theirs held, and may take its own part's lock;
// so the Blocked must end while the caller does not hold that lock.
class Blocked {
  public:
    explicit Blocked(std::function<bool()> canRun);
    ~Blocked();
    Blocked(const Blocked&) = delete;
    Blocked& operator=(const Blocked&) = delete;

    struct Record;

  private:
    std::shared_ptr<Record> record_;
};

// Something a blocked thread may wait for has changed: Settle() looks again.
void WakeSettle();

// Waits, in real time and at most two seconds, until every running sys::Thread other than the
// caller is blocked with nothing to run. Returns at once when no such thread runs.
void Settle();

}  // namespace sim::detail
