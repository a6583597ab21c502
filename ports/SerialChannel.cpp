// The serial channel: open with line settings, the monitor thread's wait, read and write steps,
// and the bounded shutdown.
#include "ports/SerialChannel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/Handle.h"

namespace {

constexpr sys::Dword kQueueSize = 2048;
constexpr sys::Dword kTimeoutMs = 1000;
constexpr sys::Dword kPurgeAll = sys::comm::PurgeTxAbort | sys::comm::PurgeRxAbort |
                                 sys::comm::PurgeTxClear | sys::comm::PurgeRxClear;
constexpr std::size_t kReportSize = 200;

void* NewEvent() {
    return sys::CreateEventA(nullptr, 1, 0, nullptr);
}

int CloseIfSet(void*& handle) {
    if (handle == nullptr) {
        return 0;
    }
    const int result = sys::CloseHandle(handle);
    handle = nullptr;
    return result;
}

}  // namespace

SerialChannel::SerialChannel(sys::Dword monitorWaitMs) : monitorWaitMs_(monitorWaitMs) {}

SerialChannel::~SerialChannel() {
    Close();
    // A monitor that did not end in time still uses the members: wait for it before they go.
    monitor_.reset();
}

bool SerialChannel::EndMonitor() {
    if (!monitor_) {
        return true;
    }
    if (monitor_->Running()) {
        stopping_ = true;
        // A shutdown event that cannot be set would leave the monitor waiting for ever: a new
        // comm mask ends its pending WaitCommEvent instead, and it sees `stopping_`.
        if (shutdownEvent_ == nullptr || !sys::SetEvent(shutdownEvent_)) {
            std::lock_guard guard(lock_);
            if (port_ != nullptr) {
                sys::SetCommMask(port_, 0);
            }
        }
    }
    const bool ended = owner_ != nullptr ? owner_->WaitForMonitor(*monitor_, monitorWaitMs_)
                                         : monitor_->Wait(monitorWaitMs_);
    if (!ended) {
        return false;
    }
    monitor_.reset();
    return true;
}

void SerialChannel::CloseEvents() {
    CloseIfSet(shutdownEvent_);
    CloseIfSet(overlapped_.hEvent);
    events_ = {};
}

int SerialChannel::Close() {
    if (!EndMonitor()) {
        return 0;  // the monitor still runs: nothing it uses may be closed under it
    }
    {
        std::lock_guard guard(lock_);
        CloseIfSet(port_);
    }
    CloseEvents();
    return CloseIfSet(writeEvent_);
}

bool SerialChannel::IsOpen() const {
    std::lock_guard guard(lock_);
    return port_ != nullptr;
}

int SerialChannel::Open(SerialOwner* owner, int portNumber, int baudRate, char parity, int dataBits,
                        int stopBits, sys::Dword eventMask, sys::Dword writeBufferSize) {
    if (!EndMonitor()) {
        return 0;
    }
    // The events of an earlier Open are closed, not leaked: no monitor uses them any more.
    CloseEvents();
    CloseIfSet(writeEvent_);
    overlapped_ = {};
    overlapped_.hEvent = NewEvent();
    writeEvent_ = NewEvent();
    shutdownEvent_ = NewEvent();
    if (overlapped_.hEvent == nullptr || writeEvent_ == nullptr || shutdownEvent_ == nullptr) {
        CloseEvents();
        CloseIfSet(writeEvent_);
        return 0;
    }
    events_ = {shutdownEvent_, overlapped_.hEvent, writeEvent_};

    owner_ = owner;
    portNumber_ = portNumber;
    eventMask_ = eventMask;
    writeBufferSize_ = writeBufferSize;

    std::lock_guard guard(lock_);
    writeBuffer_.assign(writeBufferSize, 0);
    writeLength_ = 1;
    CloseIfSet(port_);

    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", portNumber);
    char mode[96];
    std::snprintf(mode, sizeof mode, "baud=%d parity=%c data=%d stop=%d", baudRate, parity,
                  dataBits, stopBits);

    void* port =
        sys::CreateFileA(name, sys::comm::GenericRead | sys::comm::GenericWrite, 0, nullptr,
                         sys::comm::OpenExisting, sys::comm::FlagOverlapped, nullptr);
    if (port == sys::InvalidHandleValue() || port == nullptr) {
        return 0;
    }
    // From here a failure keeps the handle: the next Open or Close closes it.
    port_ = port;
    if (!sys::SetupComm(port_, kQueueSize, kQueueSize)) {
        return 0;
    }
    timeouts_ = {kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs};
    if (!sys::SetCommTimeouts(port_, &timeouts_)) {
        return 0;
    }
    if (!sys::SetCommMask(port_, eventMask)) {
        return 0;
    }
    if (!sys::GetCommState(port_, &dcb_)) {
        return 0;
    }
    dcb_.fRtsControl = sys::comm::RtsControlEnable;
    dcb_.EvtChar = 'q';
    if (!sys::BuildCommDCBA(mode, &dcb_) || !sys::SetCommState(port_, &dcb_)) {
        return 0;
    }
    sys::PurgeComm(port_, kPurgeAll);
    return 1;
}

int SerialChannel::StartMonitoring() {
    if (!EndMonitor()) {
        return 0;  // one monitor at a time: the wait and the OVERLAPPED are shared
    }
    if (!IsOpen() || shutdownEvent_ == nullptr) {
        return 0;  // nothing to watch: the wait would fail at once, for ever
    }
    stopping_ = false;
    auto thread = std::make_unique<sys::Thread>();
    if (!thread->Start([this] { Monitor(); })) {
        return 0;
    }
    monitor_ = std::move(thread);
    return 1;
}

void SerialChannel::Write(const std::uint8_t* bytes, sys::Dword length) {
    if (writeEvent_ == nullptr) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        length = std::min(length, static_cast<sys::Dword>(writeBuffer_.size()));
        std::memcpy(writeBuffer_.data(), bytes, length);
        writeLength_ = length;
    }
    sys::SetEvent(writeEvent_);
}

void SerialChannel::Monitor() {
    monitorAlive_ = 1;
    if (port_ != nullptr) {
        std::lock_guard guard(lock_);
        sys::PurgeComm(port_, kPurgeAll);
    }
    for (;;) {
        if (stopping_) {
            break;
        }
        sys::Dword fired = 0;
        if (sys::WaitCommEvent(port_, &fired, &overlapped_)) {
            sys::Dword errors = 0;
            sys::COMSTAT status{};
            {
                std::lock_guard guard(lock_);
                sys::ClearCommError(port_, &errors, &status);
            }
            if (status.cbInQue == 0) {
                continue;
            }
        } else if (const sys::Dword error = sys::GetLastError(); error != sys::err::IoPending) {
            if (stopping_) {
                break;  // 87: the mask was cleared to end us before this wait began
            }
            // A refused wait starts no I/O, but an earlier read may have left the event set:
            // taken as a comm event, it would send the owner messages in a busy loop.
            if (!sys::ResetEvent(overlapped_.hEvent)) {
                break;
            }
        }
        // Otherwise normally 997 (ERROR_IO_PENDING): the comm event is signalled when it ends.
        const sys::Dword which =
            sys::WaitForMultipleObjects(3, events_.data(), 0, sys::wait::Infinite);
        if (stopping_) {
            break;
        }
        if (which == sys::wait::Object0 + 1) {
            sys::Dword mask = 0;
            sys::GetCommMask(port_, &mask);
            if ((mask & sys::comm::EvRxChar) != 0) {
                ReceiveStep();
            }
            if ((mask & sys::comm::EvCts) != 0) {
                Notify(kCtsMessage, 0);
            }
            if ((mask & sys::comm::EvBreak) != 0) {
                Notify(kBreakMessage, 0);
            }
            if ((mask & sys::comm::EvErr) != 0) {
                Notify(kErrorMessage, 0);
            }
            if ((mask & sys::comm::EvRing) != 0) {
                Notify(kRingMessage, 0);
            }
            if ((mask & sys::comm::EvRxFlag) != 0) {
                Notify(kFlagMessage, 0);
            }
        } else if (which == sys::wait::Object0 + 2) {
            if (!WriteStep()) {
                break;  // a write event that stays set would make every wait a write
            }
        } else {
            break;  // the shutdown event, or a wait that failed (it would fail again at once)
        }
    }
    {
        std::lock_guard guard(lock_);
        CloseIfSet(port_);
    }
    monitorAlive_ = 0;
}

void SerialChannel::ReceiveStep() {
    for (;;) {
        std::uint8_t byte = 0;
        sys::Dword read = 0;
        const char* failed = nullptr;
        sys::Dword error = 0;
        {
            std::lock_guard guard(lock_);
            sys::Dword errors = 0;
            sys::COMSTAT status{};
            sys::ClearCommError(port_, &errors, &status);
            if (status.cbInQue == 0) {
                return;
            }
            if (!sys::ReadFile(port_, &byte, 1, &read, &overlapped_)) {
                error = sys::GetLastError();
                if (error != sys::err::IoPending) {
                    failed = "ReadFile()";
                } else if (!sys::GetOverlappedResult(port_, &overlapped_, &read, 1)) {
                    error = sys::GetLastError();
                    failed = "GetOverlappedResults() in ReadFile()";
                }
            }
        }
        if (failed != nullptr) {
            ReportError(failed, error);
            return;  // no byte was read: nothing to report to the owner
        }
        if (read != 1) {
            return;
        }
        Notify(kByteMessage, byte);  // outside the lock: the owner may call back into us
    }
}

bool SerialChannel::WriteStep() {
    const bool reset = sys::ResetEvent(writeEvent_) != 0;
    sys::Dword error = 0;
    {
        std::lock_guard guard(lock_);
        overlapped_.Offset = 0;
        overlapped_.OffsetHigh = 0;
        sys::PurgeComm(port_, kPurgeAll);
        sys::Dword written = 0;
        if (!sys::WriteFile(port_, writeBuffer_.data(), writeLength_, &written, &overlapped_)) {
            error = sys::GetLastError();
            if (error == sys::err::IoPending) {
                sys::GetOverlappedResult(port_, &overlapped_, &written, 1);
                error = 0;
            }
        }
    }
    if (error != 0) {
        ReportError("WriteFile()", error);
    }
    return reset;
}

void SerialChannel::Notify(unsigned message, ui::WParam wParam) {
    if (owner_ != nullptr) {
        owner_->SerialNotify(message, wParam, portNumber_);
    }
}

void WindowSerialOwner::SerialNotify(unsigned message, ui::WParam wParam, ui::LParam lParam) {
    window_.SendMessageA(message, wParam, lParam);
}

bool WindowSerialOwner::WaitForMonitor(sys::Thread& monitor, sys::Dword milliseconds) {
    return window_.WaitForThread(monitor, milliseconds);
}

void WindowSerialOwner::SerialReport(const std::string& text) {
    ShowAlone(text);
}

void WindowSerialOwner::ShowAlone(const std::string& text) {
    ui::MessageBoxA(nullptr, text, "Application Error", ui::mb::IconStop);
}

std::string SerialChannel::ComposeReport(const char* function, const char* systemText, int port) {
    char text[kReportSize];
    // snprintf cuts a long system text at the buffer's end; it never writes past it.
    if (std::snprintf(text, sizeof text,
                      "WARNING:  %s Failed with the following error: \n%s\nPort: %d\n", function,
                      systemText, port) < 0) {
        return {};
    }
    return text;
}

void SerialChannel::ReportError(const char* function, sys::Dword error) {
    char system[512] = {};
    sys::FormatMessageA(error, system, sizeof system);
    std::lock_guard guard(reportsLock_);
    reports_.push_back(ComposeReport(function, system, portNumber_));
}

void SerialChannel::ShowReports() {
    for (;;) {
        std::string text;
        {
            std::lock_guard guard(reportsLock_);
            if (reports_.empty()) {
                return;
            }
            text = std::move(reports_.front());
            reports_.pop_front();
        }
        // Taken off the queue first: a caller run inside this box's loop shows the next one.
        if (owner_ != nullptr) {
            owner_->SerialReport(text);
        } else {
            WindowSerialOwner::ShowAlone(text);
        }
    }
}
