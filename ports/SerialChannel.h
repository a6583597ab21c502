// One serial port opened for overlapped I/O and the monitor thread that waits on it and reports
// each received byte to the owner window.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Serial.h"
#include "platform/Thread.h"
#include "platform/Types.h"
#include "platform/Window.h"

// Whoever the channel reports to: the window by its messages, or a run without one.
class SerialOwner {
  public:
    // One of the channel's messages below, from the monitor thread (lParam: the port number).
    virtual void SerialNotify(unsigned message, ui::WParam wParam, ui::LParam lParam) = 0;
    // Waits for the monitor to end, handling what it reports meanwhile.
    virtual bool WaitForMonitor(sys::Thread& monitor, sys::Dword milliseconds) = 0;
    // One of the monitor's error reports, on the owner's thread.
    virtual void SerialReport(const std::string& text) = 0;

  protected:
    ~SerialOwner() = default;
};

// The window's way: messages sent to it, its sent messages handled while it waits, the
// reports in boxes of their own.
class WindowSerialOwner : public SerialOwner {
  public:
    explicit WindowSerialOwner(ui::Dialog& window) : window_(window) {}
    void SerialNotify(unsigned message, ui::WParam wParam, ui::LParam lParam) override;
    bool WaitForMonitor(sys::Thread& monitor, sys::Dword milliseconds) override;
    void SerialReport(const std::string& text) override;
    // A report's box with no owner.
    static void ShowAlone(const std::string& text);

  private:
    ui::Dialog& window_;
};

class SerialChannel {
  public:
    // Messages sent to the owner (lParam: the port number).
    static constexpr unsigned kBreakMessage = ui::wm::User + 1;
    static constexpr unsigned kCtsMessage = ui::wm::User + 2;
    static constexpr unsigned kErrorMessage = ui::wm::User + 4;
    static constexpr unsigned kRingMessage = ui::wm::User + 5;
    static constexpr unsigned kByteMessage = ui::wm::User + 7;  // wParam: the byte
    static constexpr unsigned kFlagMessage = ui::wm::User + 8;

    // How long Open and Close wait for a running monitor to end. Its longest call is one read
    // or write under the one-second timeouts set at open.
    static constexpr sys::Dword kMonitorWaitMs = 5000;

    explicit SerialChannel(sys::Dword monitorWaitMs = kMonitorWaitMs);
    virtual ~SerialChannel();
    SerialChannel(const SerialChannel&) = delete;
    SerialChannel& operator=(const SerialChannel&) = delete;

    // 1 on success, 0 on failure. Ends a running monitor first.
    int Open(SerialOwner* owner, int portNumber, int baudRate, char parity, int dataBits,
             int stopBits, sys::Dword eventMask, sys::Dword writeBufferSize);
    // 1 if the monitor thread was started, else 0.
    int StartMonitoring();
    // Hands `length` bytes (at most the write buffer size) to the monitor, which writes them.
    void Write(const std::uint8_t* bytes, sys::Dword length);
    // Ends the monitor, closes the port and the events; the result of closing the write event
    // (0 when there was none).
    int Close();

    // Shows, on the calling (owner's) thread, the error reports the monitor left, one box each.
    // The monitor never shows one itself: waiting for an answer it could not be ended, so Close
    // and Open would give up on it.
    void ShowReports();

    bool IsOpen() const;
    int PortNumber() const { return portNumber_; }

    // The error report's text, composed in its 200-byte buffer: a long system text is cut.
    static std::string ComposeReport(const char* function, const char* systemText, int port);

  private:
    void Monitor();
    void ReceiveStep();
    bool WriteStep();  // writes; false when the write event could not be reset
    void Notify(unsigned message, ui::WParam wParam);
    void ReportError(const char* function, sys::Dword error);  // queues the report
    // Signals the shutdown event and waits for the monitor, handling the owner's sent messages
    // meanwhile (the monitor may be blocked sending one). False when it did not end in time.
    bool EndMonitor();
    void CloseEvents();

    sys::Dword monitorWaitMs_;
    sys::Dword writeLength_ = 1;
    void* port_ = nullptr;
    std::unique_ptr<sys::Thread> monitor_;
    mutable std::mutex lock_;
    std::atomic<int> monitorAlive_{0};
    std::atomic<bool> stopping_{false};  // set before the monitor is woken to end
    void* writeEvent_ = nullptr;
    void* shutdownEvent_ = nullptr;
    std::array<void*, 3> events_{};  // shutdown, comm (the overlapped's), write
    sys::OVERLAPPED overlapped_{};
    sys::COMMTIMEOUTS timeouts_{};
    sys::DCB dcb_{};
    SerialOwner* owner_ = nullptr;
    int portNumber_ = 0;
    std::vector<std::uint8_t> writeBuffer_;
    sys::Dword eventMask_ = 0;
    sys::Dword writeBufferSize_ = 0;
    std::mutex reportsLock_;
    std::deque<std::string> reports_;  // composed by the monitor, shown by ShowReports
};
