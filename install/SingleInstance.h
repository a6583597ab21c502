// One installer at a time on the machine. Two machine-wide locks: "open" from the start until
// the window has gone (or the unattended run has ended), "files" from the start until the
// unpacked files are removed. A second installer is refused while another is open, and waits
// for the files while another is closing.
#pragma once

#include "platform/Handle.h"
#include "platform/Types.h"

namespace install {

// How long a second installer waits for a closing one's clean-up before it goes on.
inline constexpr sys::Dword kCloseWait = 5000;

class SingleInstance {
  public:
    SingleInstance() = default;
    ~SingleInstance();  // gives back what it still holds
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes "open", and "files" when they are free now; false when another installer is open.
    bool Claim();
    bool HoldsFiles() const { return holdsFiles_; }
    // Waits at most `milliseconds` for another installer's clean-up; false when it ran out.
    bool WaitForFiles(sys::Dword milliseconds);
    void ReleaseOpen();
    void ReleaseFiles();

  private:
    sys::Handle open_;
    sys::Handle files_;
    bool holdsOpen_ = false;
    bool holdsFiles_ = false;
};

}  // namespace install
