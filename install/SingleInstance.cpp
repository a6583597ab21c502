// The locks are named auto-reset events, not mutexes: a mutex belongs to the thread that took it,
// and the files are taken on the preparation's thread and given back on the window's after the
// clean-up; an event is a lock any thread may give back.
#include "install/SingleInstance.h"

#include "platform/Serial.h"

namespace install {

namespace {

// Machine-wide: the unpacked files are the machine's, whichever session runs the installer.
const char* const kOpenName = "Global\\ThermalDriverSetup.Open";
const char* const kFilesName = "Global\\ThermalDriverSetup.Files";

// Opens the lock, created free when no installer has it open.
sys::Handle OpenLock(const char* name) {
    return sys::Handle(sys::CreateEventA(nullptr, 0, 1, name));
}

// True when the lock was free and is now taken. A lock that cannot be opened is not held by
// anyone either: the installation goes on.
bool Take(const sys::Handle& lock, sys::Dword milliseconds) {
    return !lock || sys::WaitForSingleObject(lock.Get(), milliseconds) == sys::wait::Object0;
}

}  // namespace

SingleInstance::~SingleInstance() {
    ReleaseOpen();
    ReleaseFiles();
}

bool SingleInstance::Claim() {
    open_ = OpenLock(kOpenName);
    if (!Take(open_, 0)) {
        return false;
    }
    holdsOpen_ = true;
    files_ = OpenLock(kFilesName);
    holdsFiles_ = Take(files_, 0);
    return true;
}

bool SingleInstance::WaitForFiles(sys::Dword milliseconds) {
    if (!holdsFiles_) {
        holdsFiles_ = Take(files_, milliseconds);
    }
    return holdsFiles_;
}

void SingleInstance::ReleaseOpen() {
    if (holdsOpen_ && open_) {
        sys::SetEvent(open_.Get());
    }
    holdsOpen_ = false;
}

void SingleInstance::ReleaseFiles() {
    if (holdsFiles_ && files_) {
        sys::SetEvent(files_.Get());
    }
    holdsFiles_ = false;
}

}  // namespace install
