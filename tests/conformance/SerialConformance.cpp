// Conformance of the serial port, event and wait calls: line settings from text, events and waits,
// and a port with a printer on it (simulated, or a pty-backed COM port under Wine).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Clock.h"
#include "platform/Handle.h"
#include "platform/Serial.h"
#include "tests/conformance/Conformance.h"

#ifndef _WIN32
#include "platform/sim/SimSerial.h"
#endif

namespace {

using conformance::kFill;
using conformance::kMarker;
using sys::Dword;
namespace comm = sys::comm;

// The printer's status request and the byte the test printer answers it with.
const std::uint8_t kProbe[] = {0x10, 0x04, 0x01};
constexpr std::uint8_t kReply = 0x12;

// ---- BuildCommDCBA ---------------------------------------------------------------------------

struct DcbRow {
    const char* text;
    Dword baud;
    int byteSize;
    int parity;
    int stopBits;
};

class SerialConformance : public conformance::Test {};

TEST_F(SerialConformance, BuildCommDcbParsesTheModeText) {
    const DcbRow rows[] = {
        {"baud=9600 parity=e data=5 stop=1", 9600, 5, 2, 0},
        {"baud=19200 parity=N data=8 stop=1", 19200, 8, 0, 0},
        {"baud=115200 parity=o data=7 stop=2", 115200, 7, 1, 2},
        {"baud=300 parity=m data=6 stop=1.5", 300, 6, 3, 1},
        {"baud=1200 parity=s data=8 stop=1", 1200, 8, 4, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        sys::DCB dcb;
        sys::SetLastError(kMarker);
        ASSERT_NE(0, sys::BuildCommDCBA(row.text, &dcb)) << sys::GetLastError();
        EXPECT_EQ(kMarker, sys::GetLastError());  // success leaves the last error alone
        EXPECT_EQ(row.baud, dcb.BaudRate);
        EXPECT_EQ(row.byteSize, dcb.ByteSize);
        EXPECT_EQ(row.parity, dcb.Parity);
        EXPECT_EQ(row.stopBits, dcb.StopBits);
    }
}

TEST_F(SerialConformance, BuildCommDcbRejectsMalformedText) {
    for (const char* text :
         {"data=4", "parity=no", "stop=1.501", " baud=9600 parity=n data=8 stop=1",
          "baud=9600,parity=n,data=8,stop=1", "baud=9600 colour=blue"}) {
        SCOPED_TRACE(text);
        sys::DCB dcb;
        sys::SetLastError(kMarker);
        EXPECT_EQ(0, sys::BuildCommDCBA(text, &dcb));
        EXPECT_EQ(sys::err::InvalidParameter, sys::GetLastError());
    }
}

TEST_F(SerialConformance, BuildCommDcbKeepsWhatTheTextDoesNotName) {
    sys::DCB dcb;
    dcb.BaudRate = 4800;
    dcb.ByteSize = 7;
    dcb.StopBits = 2;
    dcb.fRtsControl = comm::RtsControlEnable;
    dcb.EvtChar = 'q';
    dcb.XonChar = 0x11;
    ASSERT_NE(0, sys::BuildCommDCBA("parity=e stop=2", &dcb)) << sys::GetLastError();
    EXPECT_EQ(2, dcb.Parity);
    EXPECT_EQ(4800u, dcb.BaudRate);
    EXPECT_EQ(7, dcb.ByteSize);
    EXPECT_EQ(comm::RtsControlEnable, dcb.fRtsControl);
    EXPECT_EQ('q', dcb.EvtChar);
    EXPECT_EQ(0x11, dcb.XonChar);
}

// Every bit of the block set (0xFF) or clear (0x00) beforehand, as Wine's own comm tests do.
sys::DCB FilledDcb(int fill) {
    sys::DCB dcb;
    std::memset(static_cast<void*>(&dcb), fill, sizeof dcb);
    return dcb;
}

TEST_F(SerialConformance, BuildCommDcbLeavesTheFlowControlTheTextDoesNotName) {
    for (int fill : {0x00, 0xFF}) {
        SCOPED_TRACE(fill);
        sys::DCB dcb = FilledDcb(fill);
        ASSERT_NE(0, sys::BuildCommDCBA("baud=19200 parity=N data=8 stop=1", &dcb));
        EXPECT_EQ(unsigned(fill & 1), dcb.fOutxCtsFlow);
        EXPECT_EQ(unsigned(fill & 1), dcb.fOutxDsrFlow);
        EXPECT_EQ(unsigned(fill & 1), dcb.fOutX);
        EXPECT_EQ(unsigned(fill & 1), dcb.fInX);
        EXPECT_EQ(unsigned(fill & 3), dcb.fDtrControl);
        EXPECT_EQ(unsigned(fill & 3), dcb.fRtsControl);
    }
}

TEST_F(SerialConformance, BuildCommDcbSetsOneStopBitWhenTheTextNamesNone) {
    const struct {
        const char* text;
        int stopBits;
    } rows[] = {
        {"baud=9600 parity=n data=8", 0}, {"parity=s data=7 dtr=on", 0}, {"xon=on odsr=off", 0},
        {"baud=110 data=7", 2},  // two at 110 baud, as the mode command sets them
        {"data=7 stop=1.5", 1},
    };
    for (const auto& row : rows) {
        for (int fill : {0x00, 0xFF}) {
            SCOPED_TRACE(std::string(row.text) + " over " + std::to_string(fill));
            sys::DCB dcb = FilledDcb(fill);
            ASSERT_NE(0, sys::BuildCommDCBA(row.text, &dcb));
            EXPECT_EQ(row.stopBits, dcb.StopBits);
        }
    }
}

// ---- Opening a port --------------------------------------------------------------------------

TEST_F(SerialConformance, OpeningAPortThatDoesNotExistGivesFileNotFound) {
    sys::SetLastError(kMarker);
    void* port = sys::CreateFileA("\\\\.\\COM199", comm::GenericRead | comm::GenericWrite, 0,
                                  nullptr, comm::OpenExisting, comm::FlagOverlapped, nullptr);
    EXPECT_EQ(sys::InvalidHandleValue(), port);
    EXPECT_EQ(sys::err::FileNotFound, sys::GetLastError());
}

// ---- Events and waits ------------------------------------------------------------------------

TEST_F(SerialConformance, ManualResetEventStaysSignalledUntilReset) {
    sys::Handle event(sys::CreateEventA(nullptr, 1, 0, nullptr));
    ASSERT_TRUE(event) << sys::GetLastError();
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(event.Get(), 0));
    ASSERT_NE(0, sys::SetEvent(event.Get()));
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(event.Get(), 0));
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(event.Get(), 0));  // not consumed
    ASSERT_NE(0, sys::ResetEvent(event.Get()));
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(event.Get(), 20));
}

TEST_F(SerialConformance, AutoResetEventReleasesOneWait) {
    sys::Handle event(sys::CreateEventA(nullptr, 0, 1, nullptr));  // created signalled
    ASSERT_TRUE(event) << sys::GetLastError();
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(event.Get(), 0));
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(event.Get(), 0));
}

TEST_F(SerialConformance, WaitForAnyGivesTheLowestSignalledIndex) {
    sys::Handle a(sys::CreateEventA(nullptr, 1, 0, nullptr));
    sys::Handle b(sys::CreateEventA(nullptr, 1, 0, nullptr));
    sys::Handle c(sys::CreateEventA(nullptr, 0, 0, nullptr));
    void* const events[] = {a.Get(), b.Get(), c.Get()};
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForMultipleObjects(3, events, 0, 10));
    sys::SetEvent(c.Get());
    sys::SetEvent(b.Get());
    EXPECT_EQ(sys::wait::Object0 + 1, sys::WaitForMultipleObjects(3, events, 0, 0));
    sys::ResetEvent(b.Get());
    EXPECT_EQ(sys::wait::Object0 + 2, sys::WaitForMultipleObjects(3, events, 0, 0));
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForMultipleObjects(3, events, 0, 0));  // c consumed

    // Wait-all: every one must be signalled, and then auto-reset ones are consumed.
    sys::SetEvent(a.Get());
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForMultipleObjects(3, events, 1, 0));
    sys::SetEvent(b.Get());
    sys::SetEvent(c.Get());
    EXPECT_EQ(sys::wait::Object0, sys::WaitForMultipleObjects(3, events, 1, 0));
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(a.Get(), 0));
    EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(c.Get(), 0));
}

TEST_F(SerialConformance, ClosedEventHandleIsInvalid) {
    void* event = sys::CreateEventA(nullptr, 1, 0, nullptr);
    ASSERT_NE(nullptr, event) << sys::GetLastError();
    ASSERT_NE(0, sys::CloseHandle(event));
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::SetEvent(event));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::wait::Failed, sys::WaitForSingleObject(event, 0));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::CloseHandle(event));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
}

TEST_F(SerialConformance, NamedEventIsOpenedAgainByName) {
    const std::string name =
        "conformance-serial-" + std::to_string(reinterpret_cast<std::uintptr_t>(this));
    sys::Handle first(sys::CreateEventA(nullptr, 1, 0, name.c_str()));
    ASSERT_TRUE(first) << sys::GetLastError();
    sys::SetLastError(kMarker);
    sys::Handle second(sys::CreateEventA(nullptr, 0, 0, name.c_str()));
    ASSERT_TRUE(second) << sys::GetLastError();
    EXPECT_EQ(sys::err::AlreadyExists, sys::GetLastError());  // 183
    ASSERT_NE(0, sys::SetEvent(second.Get()));
    // One object: the first handle sees it set, and it stays manual-reset.
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(first.Get(), 0));
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(second.Get(), 0));
}

// The installer's machine-wide lock: a named auto-reset event created signalled. One wait takes
// it for every handle; a set gives it back; once the last handle has gone, a new one is free.
TEST_F(SerialConformance, GlobalAutoResetEventIsALockAnyHandleTakesOnce) {
    const std::string name =
        "Global\\conformance-lock-" + std::to_string(reinterpret_cast<std::uintptr_t>(this));
    {
        sys::Handle first(sys::CreateEventA(nullptr, 0, 1, name.c_str()));
        ASSERT_TRUE(first) << sys::GetLastError();
        sys::Handle second(sys::CreateEventA(nullptr, 0, 1, name.c_str()));
        ASSERT_TRUE(second) << sys::GetLastError();
        EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(first.Get(), 0));
        EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(second.Get(), 0));
        EXPECT_EQ(sys::wait::Timeout, sys::WaitForSingleObject(first.Get(), 0));
        ASSERT_NE(0, sys::SetEvent(first.Get()));
        EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(second.Get(), 0));
    }
    sys::SetLastError(kMarker);
    sys::Handle fresh(sys::CreateEventA(nullptr, 0, 1, name.c_str()));
    ASSERT_TRUE(fresh) << sys::GetLastError();
    EXPECT_NE(sys::err::AlreadyExists, sys::GetLastError());
    EXPECT_EQ(sys::wait::Object0, sys::WaitForSingleObject(fresh.Get(), 0));
}

// ---- FormatMessageA --------------------------------------------------------------------------

TEST_F(SerialConformance, FormatMessageCutsToTheBuffer) {
    char full[512];
    const Dword length = sys::FormatMessageA(sys::err::FileNotFound, full, sizeof full);
    ASSERT_GT(length, 8u);
    EXPECT_EQ(length, std::strlen(full));

    char cut[16];
    std::memset(cut, kFill, sizeof cut);
    EXPECT_EQ(7u, sys::FormatMessageA(sys::err::FileNotFound, cut, 8));
    EXPECT_EQ(std::string(full, 7), std::string(cut));
    for (std::size_t i = 8; i < sizeof cut; ++i) {
        EXPECT_EQ(static_cast<char>(kFill), cut[i]) << "written past the size at " << i;
    }
    EXPECT_EQ(0u, sys::FormatMessageA(0x2FFFFFFF, full, sizeof full));  // no such message
}

// ---- A port with a printer on it -------------------------------------------------------------

// The port: on the sim COM3 with a printer that answers the probe with kReply 20 ms later, at
// any rate; under Wine the port named by CONFORMANCE_SERIAL_PORT (such as COM5), a pty with
// the fake printer answering the same way (tests/e2e/test_serial_port.sh).
class SerialPortConformance : public conformance::Test {
  protected:
    void SetUp() override {
        conformance::Test::SetUp();
#ifndef _WIN32
        sim::serial::AddPort(3);
        sim::serial::AddReply(3, {kProbe, kProbe + 3}, {kReply}, 20);
        name_ = "\\\\.\\COM3";
#else
        const char* port = std::getenv("CONFORMANCE_SERIAL_PORT");
        if (port == nullptr || *port == '\0') {
            GTEST_SKIP() << "no serial port: set CONFORMANCE_SERIAL_PORT to a COM port with the "
                            "fake printer on it";
        }
        name_ = std::string("\\\\.\\") + port;
#endif
    }

    void* Open() {
        return sys::CreateFileA(name_.c_str(), comm::GenericRead | comm::GenericWrite, 0, nullptr,
                                comm::OpenExisting, comm::FlagOverlapped, nullptr);
    }

    // Opens the port as the serial channel does: queues, timeouts of 1000, the event mask, 19200
    // 8N1, purged.
    void OpenConfigured(sys::Handle& port, Dword mask = comm::EvRxChar | comm::EvRxFlag) {
        void* opened = Open();
        ASSERT_NE(sys::InvalidHandleValue(), opened)
            << "cannot open " << name_ << ": " << sys::GetLastError();
        *port.Receive() = opened;
        ASSERT_NE(0, sys::SetupComm(port.Get(), 2048, 2048)) << sys::GetLastError();
        const sys::COMMTIMEOUTS timeouts{1000, 1000, 1000, 1000, 1000};
        ASSERT_NE(0, sys::SetCommTimeouts(port.Get(), &timeouts)) << sys::GetLastError();
        ASSERT_NE(0, sys::SetCommMask(port.Get(), mask)) << sys::GetLastError();
        sys::DCB dcb;
        ASSERT_NE(0, sys::GetCommState(port.Get(), &dcb)) << sys::GetLastError();
        ASSERT_NE(0, sys::BuildCommDCBA("baud=19200 parity=N data=8 stop=1", &dcb));
        ASSERT_NE(0, sys::SetCommState(port.Get(), &dcb)) << sys::GetLastError();
        ASSERT_NE(0, sys::PurgeComm(port.Get(), 15)) << sys::GetLastError();
    }

    // Opens the port as OpenConfigured does, with these timeouts instead.
    void OpenWithTimeouts(sys::Handle& port, const sys::COMMTIMEOUTS& timeouts) {
        OpenConfigured(port);
        ASSERT_NE(0, sys::SetCommTimeouts(port.Get(), &timeouts));
    }

    // An OVERLAPPED with a manual-reset event of its own, which `event` keeps.
    static sys::OVERLAPPED WithEvent(sys::Handle& event) {
        *event.Receive() = sys::CreateEventA(nullptr, 1, 0, nullptr);
        sys::OVERLAPPED o;
        o.hEvent = event.Get();
        return o;
    }

    // Writes the probe through an OVERLAPPED of its own and waits for the write to end.
    void WriteProbe(void* port) {
        sys::Handle done(sys::CreateEventA(nullptr, 1, 0, nullptr));
        sys::OVERLAPPED o;
        o.hEvent = done.Get();
        Dword written = 0;
        if (sys::WriteFile(port, kProbe, 3, &written, &o) == 0) {
            ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
            ASSERT_NE(0, sys::GetOverlappedResult(port, &o, &written, 1)) << sys::GetLastError();
        }
        EXPECT_EQ(3u, written);
    }

    // Starts an overlapped WaitCommEvent: pending (FALSE, 997) or done at once (TRUE).
    static bool StartWait(void* port, Dword* events, sys::OVERLAPPED* o) {
        sys::SetLastError(kMarker);
        if (sys::WaitCommEvent(port, events, o) != 0) {
            return true;
        }
        EXPECT_EQ(sys::err::IoPending, sys::GetLastError());
        return false;
    }

    // Waits for a comm event, writes the probe, and returns the events once the wait ended.
    Dword ProbeAndAwaitReply(void* port) {
        sys::Handle commEvent(sys::CreateEventA(nullptr, 1, 0, nullptr));
        sys::OVERLAPPED o;
        o.hEvent = commEvent.Get();
        Dword events = kMarker;
        const bool atOnce = StartWait(port, &events, &o);
        WriteProbe(port);
        if (!atOnce) {
            if (sys::WaitForSingleObject(commEvent.Get(), 3000) != sys::wait::Object0) {
                ADD_FAILURE() << "no reply";
                sys::SetCommMask(port, 0);  // ends the wait before its records go
            }
            Dword size = 0;
            EXPECT_NE(0, sys::GetOverlappedResult(port, &o, &size, 1)) << sys::GetLastError();
        }
        return events;
    }

    std::string name_;
};

TEST_F(SerialPortConformance, APortIsOpenedOnlyOnce) {
    WINE_DIFFERS("Wine opens a serial port a second time");
    sys::Handle port(Open());
    ASSERT_NE(sys::InvalidHandleValue(), port.Get()) << sys::GetLastError();
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::InvalidHandleValue(), Open());
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());
    port.Close();
    sys::Handle again(Open());
    EXPECT_NE(sys::InvalidHandleValue(), again.Get()) << sys::GetLastError();
}

TEST_F(SerialPortConformance, ProbeGetsTheReplyThroughTheCommEvent) {
    sys::Handle port;
    OpenConfigured(port);
    const Dword events = ProbeAndAwaitReply(port.Get());
    EXPECT_NE(0u, events & comm::EvRxChar) << events;

    Dword errors = kMarker;
    sys::COMSTAT status;
    ASSERT_NE(0, sys::ClearCommError(port.Get(), &errors, &status)) << sys::GetLastError();
    EXPECT_EQ(0u, errors);
    ASSERT_EQ(1u, status.cbInQue);

    sys::OVERLAPPED r;
    sys::Handle readEvent(sys::CreateEventA(nullptr, 1, 0, nullptr));
    r.hEvent = readEvent.Get();
    std::uint8_t byte = 0;
    Dword got = 0;
    if (sys::ReadFile(port.Get(), &byte, 1, &got, &r) == 0) {
        ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
        ASSERT_NE(0, sys::GetOverlappedResult(port.Get(), &r, &got, 1)) << sys::GetLastError();
    }
    EXPECT_EQ(1u, got);
    EXPECT_EQ(kReply, byte);
}

TEST_F(SerialPortConformance, OneCommWaitAtATimeAndANewMaskEndsIt) {
    sys::Handle port;
    OpenConfigured(port);
    sys::Handle commEvent(sys::CreateEventA(nullptr, 1, 0, nullptr));
    sys::OVERLAPPED o;
    o.hEvent = commEvent.Get();
    Dword events = kMarker;
    ASSERT_FALSE(StartWait(port.Get(), &events, &o)) << "a silent port has no event to report";

    sys::OVERLAPPED second;
    sys::Handle secondEvent(sys::CreateEventA(nullptr, 1, 0, nullptr));
    second.hEvent = secondEvent.Get();
    Dword secondEvents = kMarker;
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::WaitCommEvent(port.Get(), &secondEvents, &second));
    EXPECT_EQ(sys::err::InvalidParameter, sys::GetLastError());

    // The wait ends with no events (WaitCommEvent's documentation); how it ends is not said:
    // Wine ends it with 995.
    ASSERT_NE(0, sys::SetCommMask(port.Get(), comm::EvRxChar));
    ASSERT_EQ(sys::wait::Object0, sys::WaitForSingleObject(commEvent.Get(), 1000));
    EXPECT_EQ(0u, events);
}

TEST_F(SerialPortConformance, OverlappedHandleNeedsAnOverlappedToWrite) {
    sys::Handle port;
    OpenConfigured(port);
    Dword written = kMarker;
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::WriteFile(port.Get(), kProbe, 3, &written, nullptr));
    EXPECT_EQ(sys::err::InvalidParameter, sys::GetLastError());
}

TEST_F(SerialPortConformance, ReadOnASilentPortEndsEmptyAtItsTimeout) {
    sys::Handle port;
    OpenWithTimeouts(port, {0, 0, 100, 0, 0});
    sys::Handle readEvent;
    sys::OVERLAPPED r = WithEvent(readEvent);
    std::uint8_t buffer[4];
    Dword got = kMarker;
    if (sys::ReadFile(port.Get(), buffer, sizeof buffer, &got, &r) == 0) {
        ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
        ASSERT_EQ(sys::wait::Object0, sys::WaitForSingleObject(readEvent.Get(), 3000));
        WINE_DIFFERS("Wine ends a read at its timeout with 1460 (ERROR_TIMEOUT), not success");
        ASSERT_NE(0, sys::GetOverlappedResult(port.Get(), &r, &got, 1)) << sys::GetLastError();
    }
    EXPECT_EQ(0u, got);
}

// COMMTIMEOUTS' documented mode: MAXDWORD interval and multiplier with a constant between: the
// read ends as soon as one byte came, long before its constant.
TEST_F(SerialPortConformance, AReadWithMaxdwordIntervalAndMultiplierEndsAtTheFirstByte) {
    WINE_DIFFERS("Wine's read ends neither at the first byte nor at the constant in this mode");
    sys::Handle port;
    OpenWithTimeouts(port, {0xFFFFFFFF, 0xFFFFFFFF, 2500, 0, 0});
    sys::Handle readEvent;
    sys::OVERLAPPED r = WithEvent(readEvent);
    std::uint8_t buffer[4];
    std::memset(buffer, kFill, sizeof buffer);
    Dword got = kMarker;
    const Dword before = sys::GetTickCount();
    const bool atOnce = sys::ReadFile(port.Get(), buffer, sizeof buffer, &got, &r) != 0;
    ASSERT_FALSE(atOnce) << "a silent port has nothing to read";
    ASSERT_EQ(sys::err::IoPending, sys::GetLastError());
    WriteProbe(port.Get());
    ASSERT_EQ(sys::wait::Object0, sys::WaitForSingleObject(readEvent.Get(), 3000));
    EXPECT_LT(sys::GetTickCount() - before, 1500u);
    ASSERT_NE(0, sys::GetOverlappedResult(port.Get(), &r, &got, 1)) << sys::GetLastError();
    EXPECT_EQ(1u, got);
    EXPECT_EQ(kReply, buffer[0]);
    EXPECT_EQ(kFill, buffer[1]);
}

// A handle opened without FILE_FLAG_OVERLAPPED: the read blocks for its total timeout, returns
// TRUE with nothing, and leaves nothing pending: a reply that comes later stays queued and the
// buffer keeps its fill.
TEST_F(SerialPortConformance, ABlockingReadOnASilentPortReturnsEmptyAfterItsTimeout) {
    sys::Handle port(sys::CreateFileA(name_.c_str(), comm::GenericRead | comm::GenericWrite, 0,
                                      nullptr, comm::OpenExisting, 0, nullptr));
    ASSERT_NE(sys::InvalidHandleValue(), port.Get()) << sys::GetLastError();
    const sys::COMMTIMEOUTS timeouts{0, 0, 300, 0, 0};
    ASSERT_NE(0, sys::SetCommTimeouts(port.Get(), &timeouts));
    ASSERT_NE(0, sys::PurgeComm(port.Get(), comm::PurgeRxClear));
    std::uint8_t buffer[4];
    std::memset(buffer, kFill, sizeof buffer);
    Dword got = kMarker;
    const Dword before = sys::GetTickCount();
    ASSERT_NE(0, sys::ReadFile(port.Get(), buffer, sizeof buffer, &got, nullptr))
        << sys::GetLastError();
    EXPECT_GE(sys::GetTickCount() - before, 250u);  // the tick's resolution, on Windows
    EXPECT_EQ(0u, got);

    Dword written = 0;
    ASSERT_NE(0, sys::WriteFile(port.Get(), kProbe, 3, &written, nullptr));
    sys::COMSTAT status;
    for (int i = 0; i < 100 && status.cbInQue == 0; ++i) {
        sys::Sleep(20);
        ASSERT_NE(0, sys::ClearCommError(port.Get(), nullptr, &status));
    }
    EXPECT_EQ(1u, status.cbInQue);
    for (auto b : buffer) {
        EXPECT_EQ(kFill, b);
    }
}

TEST_F(SerialPortConformance, PurgeDropsWhatWasReceived) {
    sys::Handle port;
    OpenConfigured(port);
    ProbeAndAwaitReply(port.Get());
    sys::COMSTAT status;
    ASSERT_NE(0, sys::ClearCommError(port.Get(), nullptr, &status));
    ASSERT_EQ(1u, status.cbInQue);
    ASSERT_NE(0, sys::PurgeComm(port.Get(), comm::PurgeRxClear));
    ASSERT_NE(0, sys::ClearCommError(port.Get(), nullptr, &status));
    EXPECT_EQ(0u, status.cbInQue);
}

}  // namespace
