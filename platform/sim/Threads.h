// Internal to the sim back end: the threads the logic started, so that the window layer can tell
// a dialog that waits for a worker from one that nothing will ever move again.
#pragma once

namespace sim::detail {

int RunningThreads();  // sys::Thread bodies that have started and not yet returned
bool OnSimThread();    // the caller runs inside a sys::Thread body

}  // namespace sim::detail
