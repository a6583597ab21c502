// A thread the logic starts (CreateThread) and may later wait for.
#pragma once

#include <functional>
#include <memory>

#include "platform/Types.h"

namespace sys {

class Thread {
  public:
    Thread();
    ~Thread();  // waits for the thread: nothing may outlive what it was given
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    bool Start(std::function<void()> body);  // false when the thread could not be created
    bool Running() const;
    bool Wait(Dword milliseconds);  // true once the thread has ended (at once if never started)

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace sys
