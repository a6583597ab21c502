// The simulated serial devices and their test controls: when replies arrive on the simulated
// clock, which rates a device answers at, how a waiting thread and a clock move meet, and the one
// handle table every kind of handle closes through.
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/Handle.h"
#include "platform/Security.h"
#include "platform/Serial.h"
#include "platform/SystemInfo.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "platform/sim/SimSecurity.h"
#include "platform/sim/SimSerial.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace {

using sim::serial::Bytes;
using sys::Dword;
namespace comm = sys::comm;

const Bytes kProbe = {0x10, 0x04, 0x01};

// Opens COMn overlapped at the given rate with the channel's settings.
void* OpenAt(int number, Dword baud, Dword mask = comm::EvRxChar | comm::EvRxFlag) {
    const std::string name = "\\\\.\\COM" + std::to_string(number);
    void* port = sys::CreateFileA(name.c_str(), comm::GenericRead | comm::GenericWrite, 0, nullptr,
                                  comm::OpenExisting, comm::FlagOverlapped, nullptr);
    if (port == sys::InvalidHandleValue()) {
        ADD_FAILURE() << "cannot open " << name << ": " << sys::GetLastError();
        return nullptr;
    }
    const sys::COMMTIMEOUTS timeouts{1000, 1000, 1000, 1000, 1000};
    sys::SetCommTimeouts(port, &timeouts);
    sys::SetCommMask(port, mask);
    sys::DCB dcb;
    sys::GetCommState(port, &dcb);
    const std::string mode = "baud=" + std::to_string(baud) + " parity=N data=8 stop=1";
    EXPECT_NE(0, sys::BuildCommDCBA(mode.c_str(), &dcb));
    EXPECT_NE(0, sys::SetCommState(port, &dcb)) << sys::GetLastError();
    return port;
}

void Write(void* port, const Bytes& bytes) {
    sys::OVERLAPPED o;
    Dword written = 0;
    ASSERT_NE(0, sys::WriteFile(port, bytes.data(), static_cast<Dword>(bytes.size()), &written, &o))
        << sys::GetLastError();
}

Dword InQueue(void* port) {
    sys::COMSTAT status;
    EXPECT_NE(0, sys::ClearCommError(port, nullptr, &status));
    return status.cbInQue;
}

// The serial channel's monitor loop in small: waits on [shutdown, comm event, write event],
// writes the probe when asked, reads each byte that arrives and hands it to `onByte`. It owns
// the port and closes it when it ends, as the channel's monitor does.
class Monitor {
  public:
    Monitor(void* port, std::function<void(std::uint8_t)> onByte)
        : port_(port), onByte_(std::move(onByte)) {
        events_[0] = sys::CreateEventA(nullptr, 1, 0, nullptr);
        events_[1] = sys::CreateEventA(nullptr, 1, 0, nullptr);
        events_[2] = sys::CreateEventA(nullptr, 1, 0, nullptr);
        overlapped_.hEvent = events_[1];
        thread_.Start([this] { Run(); });
    }
    ~Monitor() {
        sys::SetEvent(events_[0]);
        thread_.Wait(5000);
        for (void* e : events_) {
            sys::CloseHandle(e);
        }
    }
    void RequestWrite() { sys::SetEvent(events_[2]); }

  private:
    void Run() {
        for (;;) {
            if (sys::WaitCommEvent(port_, &mask_, &overlapped_) != 0 && InQueue(port_) == 0) {
                continue;
            }
            const Dword which = sys::WaitForMultipleObjects(3, events_, 0, sys::wait::Infinite);
            if (which == 0) {
                sys::CloseHandle(port_);  // ends the pending wait before its OVERLAPPED goes
                return;
            }
            if (which == 1) {
                sys::ResetEvent(events_[1]);
                while (InQueue(port_) > 0) {
                    std::uint8_t byte = 0;
                    Dword got = 0;
                    sys::OVERLAPPED r;
                    ASSERT_NE(0, sys::ReadFile(port_, &byte, 1, &got, &r));
                    onByte_(byte);
                }
            } else if (which == 2) {
                sys::ResetEvent(events_[2]);
                Write(port_, kProbe);
            }
        }
    }

    void* port_;
    std::function<void(std::uint8_t)> onByte_;
    void* events_[3] = {};
    Dword mask_ = 0;
    sys::OVERLAPPED overlapped_;
    sys::Thread thread_;
};

class SimSerialTest : public SimTest {};

TEST_F(SimSerialTest, ADeviceAnswersItsProbeOnlyAtItsRateAndOnlyWhenTheDelayHasPassed) {
    sim::serial::AddPort(4);
    sim::serial::AddReply(4, kProbe, {0x12, 0x34}, 50, 9600);

    void* port = OpenAt(4, 19200);
    Write(port, {0x00, 0x10, 0x04, 0x01});  // the probe inside other bytes still counts
    sim::Advance(1000);
    EXPECT_EQ(0u, InQueue(port)) << "answered at the wrong rate";
    sys::CloseHandle(port);

    port = OpenAt(4, 9600);
    Write(port, {0x10, 0x04});
    sim::Advance(1000);
    EXPECT_EQ(0u, InQueue(port)) << "answered half a probe";
    Write(port, {0x01});
    sim::Advance(49);
    EXPECT_EQ(0u, InQueue(port)) << "answered before its delay";
    sim::Advance(1);
    EXPECT_EQ(2u, InQueue(port));
    EXPECT_EQ((Bytes{0x00, 0x10, 0x04, 0x01, 0x10, 0x04, 0x01}), sim::serial::Written(4));
    EXPECT_EQ(9600u, sim::serial::State(4).BaudRate);
    sys::CloseHandle(port);
}

TEST_F(SimSerialTest, AReplyDueAfterThePortClosedIsLost) {
    sim::serial::AddPort(2);
    sim::serial::AddReply(2, kProbe, {0x12}, 100);
    void* port = OpenAt(2, 19200);
    Write(port, kProbe);
    sys::CloseHandle(port);
    port = OpenAt(2, 19200);
    sim::Advance(200);
    EXPECT_EQ(0u, InQueue(port));
    sys::CloseHandle(port);
}

TEST_F(SimSerialTest, DevicesThatAreMissingHeldOrFailingToOpen) {
    auto open = [](const char* name) {
        return sys::CreateFileA(name, comm::GenericRead | comm::GenericWrite, 0, nullptr,
                                comm::OpenExisting, comm::FlagOverlapped, nullptr);
    };
    // After Reset only COM1 is there, as the registry's SERIALCOMM says.
    sys::Handle com1(open("COM1"));
    EXPECT_NE(sys::InvalidHandleValue(), com1.Get());
    EXPECT_TRUE(sim::serial::IsOpen(1));
    EXPECT_EQ(sys::InvalidHandleValue(), open("\\\\.\\COM2"));
    EXPECT_EQ(sys::err::FileNotFound, sys::GetLastError());

    sim::serial::AddPort(12);
    EXPECT_EQ(sys::InvalidHandleValue(), open("COM12"));  // two digits need the \\.\ form
    EXPECT_EQ(sys::err::FileNotFound, sys::GetLastError());
    sys::Handle com12(open("\\\\.\\com12"));
    EXPECT_NE(sys::InvalidHandleValue(), com12.Get());

    sim::serial::AddPort(5);
    sim::serial::SetOpenError(5, sys::err::AccessDenied);
    EXPECT_EQ(sys::InvalidHandleValue(), open("\\\\.\\COM5"));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());
    sim::serial::SetOpenError(5, 0);
    sys::Handle com5(open("\\\\.\\COM5"));
    EXPECT_NE(sys::InvalidHandleValue(), com5.Get());

    sim::serial::RemovePort(12);
    com12.Close();
    EXPECT_EQ(sys::InvalidHandleValue(), open("\\\\.\\COM12"));
    EXPECT_EQ(sys::err::FileNotFound, sys::GetLastError());
    EXPECT_EQ(2, sim::serial::OpenPortCount());
}

TEST_F(SimSerialTest, ATimedWaitMovesTheClockLikeSleepAndEndsWhenSatisfied) {
    sys::Handle event(sys::CreateEventA(nullptr, 1, 0, nullptr));
    const Dword start = sim::Now();
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(event.Get(), 250));
    EXPECT_EQ(start + 250, sim::Now());

    sim::serial::AddPort(3);
    sim::serial::AddReply(3, kProbe, {0x12}, 40);
    sys::Handle port(OpenAt(3, 19200));
    sys::OVERLAPPED o;
    o.hEvent = event.Get();
    Dword events = 0;
    ASSERT_EQ(0, sys::WaitCommEvent(port.Get(), &events, &o));
    ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
    Write(port.Get(), kProbe);
    const Dword written = sim::Now();
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(event.Get(), 5000));
    EXPECT_EQ(written + 40, sim::Now()) << "the wait went past the reply";
    EXPECT_EQ(comm::EvRxChar, events);
}

TEST_F(SimSerialTest, AReadEndsAtItsTimeoutOnlyWhenTheClockGetsThere) {
    sim::serial::AddPort(3);
    sys::Handle port(OpenAt(3, 9600));
    const sys::COMMTIMEOUTS timeouts{0, 10, 100, 0, 0};
    ASSERT_NE(0, sys::SetCommTimeouts(port.Get(), &timeouts));
    sys::Handle event(sys::CreateEventA(nullptr, 1, 0, nullptr));
    sys::OVERLAPPED r;
    r.hEvent = event.Get();
    std::uint8_t buffer[2];
    Dword got = 0;
    ASSERT_EQ(0, sys::ReadFile(port.Get(), buffer, 2, &got, &r));
    ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
    Dword transferred = 0;
    EXPECT_EQ(0, sys::GetOverlappedResult(port.Get(), &r, &transferred, 0));
    EXPECT_EQ(996u, sys::GetLastError());  // ERROR_IO_INCOMPLETE
    sim::Advance(119);                     // constant 100 + 2 bytes x 10
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(event.Get(), 0));
    sim::serial::Send(3, {0x41});  // one byte of two: the read goes on
    sim::Advance(1);
    ASSERT_NE(0, sys::GetOverlappedResult(port.Get(), &r, &transferred, 1));
    EXPECT_EQ(1u, transferred);
    EXPECT_EQ(0x41, buffer[0]);
}

TEST_F(SimSerialTest, ASlowWriteEndsOnTheClockAndTheDeviceSeesItThen) {
    sim::serial::AddPort(3);
    sim::serial::AddReply(3, kProbe, {0x12}, 20);
    sim::serial::SetWriteTime(3, 10);
    sys::Handle port(OpenAt(3, 9600));
    sys::Handle event(sys::CreateEventA(nullptr, 1, 1, nullptr));
    sys::OVERLAPPED w;
    w.hEvent = event.Get();
    Dword written = kProbe.size();
    ASSERT_EQ(0, sys::WriteFile(port.Get(), kProbe.data(), 3, &written, &w));
    ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(event.Get(), 0));  // reset at start
    EXPECT_TRUE(sim::serial::Written(3).empty());
    sim::Advance(10);
    EXPECT_EQ(kProbe, sim::serial::Written(3));
    ASSERT_NE(0, sys::GetOverlappedResult(port.Get(), &w, &written, 0));
    EXPECT_EQ(3u, written);
    sim::Advance(19);
    EXPECT_EQ(0u, InQueue(port.Get()));
    sim::Advance(1);
    EXPECT_EQ(1u, InQueue(port.Get()));

    // An aborted write never reaches the device.
    ASSERT_EQ(0, sys::WriteFile(port.Get(), kProbe.data(), 3, &written, &w));
    ASSERT_NE(0, sys::PurgeComm(port.Get(), comm::PurgeTxAbort));
    EXPECT_EQ(0, sys::GetOverlappedResult(port.Get(), &w, &written, 1));
    EXPECT_EQ(sys::err::OperationAborted, sys::GetLastError());
    sim::Advance(100);
    EXPECT_EQ(kProbe, sim::serial::Written(3));
}

TEST_F(SimSerialTest, ClosingThePortCancelsItsPendingWait) {
    sim::serial::AddPort(3);
    void* port = OpenAt(3, 9600);
    sys::Handle event(sys::CreateEventA(nullptr, 1, 0, nullptr));
    sys::OVERLAPPED o;
    o.hEvent = event.Get();
    Dword events = 0;
    ASSERT_EQ(0, sys::WaitCommEvent(port, &events, &o));
    ASSERT_NE(0, sys::CloseHandle(port));
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(event.Get(), 0));
    Dword transferred = 0;
    EXPECT_EQ(0, sys::GetOverlappedResult(port, &o, &transferred, 1));
    EXPECT_EQ(sys::err::OperationAborted, sys::GetLastError());
    EXPECT_FALSE(sim::serial::IsOpen(3));
}

TEST_F(SimSerialTest, TheEventCharacterFiresRxFlagAndUnaskedBytesArrive) {
    sim::serial::AddPort(3);
    sys::Handle port(OpenAt(3, 9600));
    sys::DCB dcb;
    ASSERT_NE(0, sys::GetCommState(port.Get(), &dcb));
    dcb.EvtChar = 'q';
    ASSERT_NE(0, sys::SetCommState(port.Get(), &dcb));
    sim::serial::Send(3, {'a'}, 10);
    sim::serial::Send(3, {'q'}, 20);
    Dword events = 0;
    sys::OVERLAPPED o;
    sys::Handle event(sys::CreateEventA(nullptr, 1, 0, nullptr));
    o.hEvent = event.Get();
    ASSERT_EQ(0, sys::WaitCommEvent(port.Get(), &events, &o));
    sim::Advance(10);
    EXPECT_EQ(comm::EvRxChar, events);
    ASSERT_EQ(0, sys::WaitCommEvent(port.Get(), &events, &o));
    sim::Advance(10);
    EXPECT_EQ(comm::EvRxChar | comm::EvRxFlag, events);
    EXPECT_EQ(2u, InQueue(port.Get()));
    // Events in the mask that fire with no wait pending are reported by the next wait at once;
    // line events outside the mask are not.
    sim::serial::RaiseEvents(3, comm::EvBreak);
    sim::serial::Send(3, {'b'});
    EXPECT_NE(0, sys::WaitCommEvent(port.Get(), &events, &o));
    EXPECT_EQ(comm::EvRxChar, events);
    ASSERT_NE(0, sys::SetCommMask(port.Get(), comm::EvRxChar | comm::EvBreak | comm::EvRing));
    ASSERT_EQ(0, sys::WaitCommEvent(port.Get(), &events, &o));
    sim::serial::RaiseEvents(3, comm::EvBreak | comm::EvCts, 5);
    sim::Advance(5);
    EXPECT_EQ(comm::EvBreak, events);
    ASSERT_NE(0, sys::PurgeComm(port.Get(), comm::PurgeRxClear));
    EXPECT_EQ(0u, InQueue(port.Get()));
}

TEST_F(SimSerialTest, EveryCallCountsAndCanBeMadeToFail) {
    sim::serial::AddPort(3);
    sys::Handle port(OpenAt(3, 9600));
    sim::FailCall("WaitCommEvent", 31);
    sim::FailCall("WriteFile", 121);
    Dword events = 0;
    sys::OVERLAPPED o;
    EXPECT_EQ(0, sys::WaitCommEvent(port.Get(), &events, &o));
    EXPECT_EQ(31u, sys::GetLastError());
    Dword written = 0;
    EXPECT_EQ(0, sys::WriteFile(port.Get(), kProbe.data(), 3, &written, &o));
    EXPECT_EQ(121u, sys::GetLastError());
    EXPECT_TRUE(sim::serial::Written(3).empty());
    EXPECT_EQ(1, sim::CallCount("WaitCommEvent"));
    EXPECT_EQ(1, sim::CallCount("CreateFileA"));
    EXPECT_EQ(1, sim::CallCount("SetCommState"));
}

TEST_F(SimSerialTest, OneHandleTableClosesTokensEventsAndPorts) {
    sys::Handle token;
    ASSERT_NE(0,
              sys::OpenProcessToken(sys::GetCurrentProcess(), sys::token::Query, token.Receive()));
    void* event = sys::CreateEventA(nullptr, 0, 0, nullptr);
    void* port = OpenAt(1, 9600);
    EXPECT_EQ(1, sim::security::OpenTokenCount());
    EXPECT_EQ(1, sim::serial::OpenEventCount());
    EXPECT_EQ(1, sim::serial::OpenPortCount());

    EXPECT_NE(0, sys::CloseHandle(event));
    EXPECT_NE(0, sys::CloseHandle(port));
    token.Close();
    EXPECT_EQ(0, sim::security::OpenTokenCount());
    EXPECT_EQ(0, sim::serial::OpenEventCount());
    EXPECT_EQ(0, sim::serial::OpenPortCount());
    EXPECT_FALSE(sim::serial::IsOpen(1));
    // A closed port's handle is no port any more.
    sys::SetLastError(0);
    EXPECT_EQ(0, sys::SetCommMask(port, comm::EvRxChar));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());

    OpenAt(1, 9600);
    sim::Reset();  // forgets every handle and device state
    EXPECT_EQ(0, sim::serial::OpenPortCount());
    EXPECT_FALSE(sim::serial::IsOpen(1));
    EXPECT_EQ(9600u, sim::serial::State(1).BaudRate);
}

// The monitor thread wakes on a real thread; moving the clock first lets it block again, so when
// Advance returns the reply has been read, every time.
TEST_F(SimSerialTest, AClockMoveLetsTheMonitorThreadFinishFirst) {
    sim::serial::AddPort(3);
    sim::serial::AddReply(3, kProbe, {0x12, 0x13}, 30);
    std::mutex mu;
    Bytes received;
    Monitor monitor(OpenAt(3, 19200), [&](std::uint8_t b) {
        std::lock_guard lock(mu);
        received.push_back(b);
    });
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        monitor.RequestWrite();
        sim::Advance(29);  // the write happened before the clock moved: nothing yet
        {
            std::lock_guard lock(mu);
            ASSERT_TRUE(received.empty());
        }
        sim::Advance(1);
        std::lock_guard lock(mu);
        ASSERT_EQ((Bytes{0x12, 0x13}), received);
        received.clear();
    }
}

// The serial search's shape: a 700 ms timer, a monitor thread sending each byte to the dialog.
// The reply due at 30 ms reaches the dialog at that time, before the timer fires.
class SearchDialog : public ui::Dialog {
  public:
    SearchDialog() : ui::Dialog(IDD_TCPIP_PORTS) {}
    std::vector<std::string> log;

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam, ui::LResult& result) override {
        if (message != 0x0407) {
            return false;
        }
        log.push_back("byte " + std::to_string(wParam) + " at " + std::to_string(sim::Now()));
        result = 0;
        return true;
    }
    void OnTimer(std::uintptr_t) override {
        log.push_back("timer at " + std::to_string(sim::Now()));
        KillTimer(1);
    }
};

TEST_F(SimSerialTest, ADialogTimerFiresAfterTheReplyThatFellDueBeforeIt) {
    sim::serial::AddPort(3);
    sim::serial::AddReply(3, kProbe, {0x12}, 30);
    void* port = OpenAt(3, 19200);
    SearchDialog dialog;
    std::unique_ptr<Monitor> monitor;
    const Dword start = sim::Now();
    sim::ui::Call(IDD_TCPIP_PORTS, [&] {
        monitor = std::make_unique<Monitor>(
            port, [&](std::uint8_t b) { dialog.SendMessageA(0x0407, b, 3); });
        dialog.SetTimer(1, 700);
        monitor->RequestWrite();
    });
    sim::ui::AdvanceClock(IDD_TCPIP_PORTS, 700);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { monitor.reset(); });
    sim::ui::Close(IDD_TCPIP_PORTS);
    dialog.DoModal();
    // Handled when it arrived, 30 ms after the write, not when the clock stopped next.
    EXPECT_EQ((std::vector<std::string>{"byte 18 at " + std::to_string(start + 30),
                                        "timer at " + std::to_string(start + 700)}),
              dialog.log);
}

}  // namespace
