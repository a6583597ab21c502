// The serial channel on simulated COM devices: opening with line settings, one message per
// received byte in order, the write step, a new Open ending the running monitor, the bounded
// shutdown, and the error report.
#include <string>
#include <utility>
#include <vector>

#include "platform/Window.h"
#include "platform/sim/SimSerial.h"
#include "ports/SerialChannel.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace {

constexpr int W = IDD_SERIAL_PROMPT;  // any template will do as the owner window
const sim::serial::Bytes kProbe = {0x10, 0x04, 0x01};

struct Received {
    unsigned message;
    ui::WParam wParam;
    ui::LParam lParam;
    bool operator==(const Received&) const = default;
};

// The owner window: records every message of the channel's range; `onMessage` runs in the
// handler, on the window's thread.
class Owner : public ui::Dialog, public WindowSerialOwner {
  public:
    Owner() : ui::Dialog(W), WindowSerialOwner(static_cast<ui::Dialog&>(*this)) {}
    std::vector<Received> received;

    // The received-byte messages only (each comm event also gives 1032, EV_RXFLAG being in the
    // configured mask).
    std::vector<Received> ByteMessages() const {
        std::vector<Received> bytes;
        for (const auto& r : received) {
            if (r.message == SerialChannel::kByteMessage) {
                bytes.push_back(r);
            }
        }
        return bytes;
    }
    std::function<void()> onMessage;

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override {
        if (message < SerialChannel::kBreakMessage || message > SerialChannel::kFlagMessage) {
            return false;
        }
        received.push_back({message, wParam, lParam});
        if (onMessage) {
            onMessage();
        }
        result = 0;
        return true;
    }
};

class SerialChannelTest : public SimTest {
  protected:
    // Runs the owner window with `script` queued for its modal loop, then closes it.
    void Run(Owner& owner, const std::function<void()>& script) {
        script();
        sim::ui::Close(W);
        owner.DoModal();
    }

    static int Open(SerialChannel& channel, Owner& owner, int port, int baud = 19200) {
        return channel.Open(&owner, port, baud, 'N', 8, 1, 3, 512);
    }

    static std::vector<Received> Bytes(int port, const sim::serial::Bytes& bytes) {
        std::vector<Received> out;
        for (auto b : bytes) {
            out.push_back({SerialChannel::kByteMessage, b, port});
        }
        return out;
    }
};

}  // namespace

TEST_F(SerialChannelTest, OpenSetsTheLineAndTheProbeIsWrittenByTheMonitor) {
    sim::serial::AddPort(3);
    SerialChannel channel;
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(channel.Open(&owner, 3, 4800, 'E', 7, 2, 3, 512), 1);
            EXPECT_TRUE(sim::serial::IsOpen(3));
            const sys::DCB dcb = sim::serial::State(3);
            EXPECT_EQ(dcb.BaudRate, 4800u);
            EXPECT_EQ(dcb.Parity, 2);  // even
            EXPECT_EQ(dcb.ByteSize, 7);
            EXPECT_EQ(dcb.StopBits, 2);  // two
            EXPECT_EQ(dcb.fRtsControl, sys::comm::RtsControlEnable);
            EXPECT_EQ(dcb.EvtChar, 'q');
            ASSERT_EQ(channel.StartMonitoring(), 1);
            channel.Write(kProbe.data(), 3);
        });
        sim::ui::AdvanceClock(W, 10);
        sim::ui::Call(W, [&] {
            EXPECT_EQ(sim::serial::Written(3), kProbe);
            EXPECT_NE(channel.Close(), 0);
            EXPECT_FALSE(sim::serial::IsOpen(3));
        });
    });
    EXPECT_TRUE(owner.received.empty());
    EXPECT_EQ(sim::serial::OpenPortCount(), 0);
    EXPECT_EQ(sim::serial::OpenEventCount(), 0);
}

TEST_F(SerialChannelTest, EachReplyByteIsOneMessageInOrderWithThePortNumber) {
    sim::serial::AddPort(12);
    const sim::serial::Bytes reply = {0x12, 0x00, 0xFF, 0x7E};
    sim::serial::AddReply(12, kProbe, reply, 50, 19200);
    SerialChannel channel;
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(Open(channel, owner, 12), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
            channel.Write(kProbe.data(), 3);
        });
        sim::ui::AdvanceClock(W, 100);
        sim::ui::Call(W, [&] { channel.Close(); });
    });
    EXPECT_EQ(owner.ByteMessages(), Bytes(12, reply));
    // The comm event's other message comes after the bytes: EV_RXFLAG is in the mask.
    ASSERT_FALSE(owner.received.empty());
    EXPECT_EQ(owner.received.back(), (Received{SerialChannel::kFlagMessage, 0, 12}));
}

TEST_F(SerialChannelTest, AMissingPortFailsToOpenAndAnotherPortStillWorks) {
    sim::serial::AddPort(2);
    sim::serial::AddReply(2, kProbe, {0x16}, 20);
    SerialChannel channel;
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            const int threads = sim::CallCount("CreateThread");
            EXPECT_EQ(Open(channel, owner, 7), 0);
            EXPECT_EQ(channel.StartMonitoring(), 0);  // nothing to watch
            EXPECT_EQ(sim::CallCount("CreateThread"), threads);
            ASSERT_EQ(Open(channel, owner, 2), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
            channel.Write(kProbe.data(), 3);
        });
        sim::ui::AdvanceClock(W, 50);
        sim::ui::Call(W, [&] { channel.Close(); });
    });
    EXPECT_EQ(owner.ByteMessages(), Bytes(2, {0x16}));
}

TEST_F(SerialChannelTest, CloseOnAChannelNeverOpenedReturnsZeroAndClosesNothing) {
    SerialChannel channel;
    EXPECT_EQ(channel.Close(), 0);
    EXPECT_EQ(sim::CallCount("CloseHandle"), 0);
    EXPECT_FALSE(channel.IsOpen());
}

// Open while a monitor runs ends that monitor and closes the earlier port and events: no
// message comes from the old port afterwards, and no handle is left behind.
TEST_F(SerialChannelTest, OpenWhileAMonitorRunsEndsItAndClosesTheOldEvents) {
    sim::serial::AddPort(2);
    sim::serial::AddPort(3);
    sim::serial::AddReply(3, kProbe, {0x33}, 20);
    SerialChannel channel;
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(Open(channel, owner, 2), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
            EXPECT_EQ(sim::serial::OpenEventCount(), 3);
            ASSERT_EQ(Open(channel, owner, 3), 1);
            EXPECT_FALSE(sim::serial::IsOpen(2));
            EXPECT_EQ(sim::serial::OpenEventCount(), 3);
            EXPECT_EQ(sim::serial::OpenPortCount(), 1);
            sim::serial::Send(2, {0x22}, 5);  // nobody listens on COM2 any more
            ASSERT_EQ(channel.StartMonitoring(), 1);
            channel.Write(kProbe.data(), 3);
        });
        sim::ui::AdvanceClock(W, 50);
        sim::ui::Call(W, [&] { EXPECT_NE(channel.Close(), 0); });
    });
    EXPECT_EQ(owner.ByteMessages(), Bytes(3, {0x33}));
    EXPECT_EQ(sim::serial::OpenEventCount(), 0);
}

// The monitor is blocked sending a byte to the owner when the owner's thread closes the
// channel: Close handles that send while it waits, so both ends go on.
TEST_F(SerialChannelTest, CloseWhileTheMonitorSendsHandlesTheSendAndEnds) {
    sim::serial::AddPort(4);
    sim::serial::AddReply(4, kProbe, {0x01, 0x02}, 30);
    SerialChannel channel;
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(Open(channel, owner, 4), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
            channel.Write(kProbe.data(), 3);
            // On this thread: the reply arrives and the monitor blocks sending its first byte.
            sim::Advance(40);
            EXPECT_TRUE(owner.received.empty());
            EXPECT_NE(channel.Close(), 0);
            EXPECT_FALSE(sim::serial::IsOpen(4));
        });
    });
    EXPECT_EQ(owner.ByteMessages(), Bytes(4, {0x01, 0x02}));
}

// Close from inside the owner's handler of a byte: the monitor waits for that very handler, so
// it cannot end; Close gives up after its bound (closing nothing the monitor uses) instead of
// waiting for ever, and a later Close finishes the job.
TEST_F(SerialChannelTest, CloseGivesUpAfterItsBoundWhenTheMonitorCannotEnd) {
    sim::serial::AddPort(5);
    sim::serial::AddReply(5, kProbe, {0x05}, 10);
    SerialChannel channel(200);
    Owner owner;
    int insideHandler = -1;
    owner.onMessage = [&] {
        insideHandler = channel.Close();
        EXPECT_TRUE(sim::serial::IsOpen(5));
    };
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(Open(channel, owner, 5), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
            channel.Write(kProbe.data(), 3);
        });
        sim::ui::AdvanceClock(W, 20);
        sim::ui::Call(W, [&] {
            EXPECT_EQ(insideHandler, 0);
            EXPECT_NE(channel.Close(), 0);
            EXPECT_FALSE(sim::serial::IsOpen(5));
        });
    });
    EXPECT_EQ(sim::serial::OpenEventCount(), 0);
}

// With every SetEvent failing the shutdown event never wakes the monitor; Close still ends it
// within its bound (a new comm mask ends the pending wait) and closes the port.
TEST_F(SerialChannelTest, CloseEndsTheMonitorWhenTheShutdownEventCannotBeSet) {
    sim::serial::AddPort(6);
    SerialChannel channel(2000);
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(Open(channel, owner, 6), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
        });
        sim::ui::AdvanceClock(W, 10);  // the monitor's WaitCommEvent is pending by now
        sim::ui::Call(W, [&] {
            sim::FailCall("SetEvent", 6, -1);
            const int closed = channel.Close();
            sim::ClearFailures();  // so that a broken Close cannot hang the destructor
            EXPECT_NE(closed, 0);
            EXPECT_FALSE(sim::serial::IsOpen(6));
        });
    });
    EXPECT_EQ(sim::serial::OpenEventCount(), 0);
}

// Calls that, refused, used to leave an event set for good, so that every wait of the monitor
// returned at once: a WaitCommEvent refused (a vanished adapter) after the write step's
// completion set the shared event, and a write event that cannot be reset. The probe is still
// written once, the owner gets no message, and the monitor neither floods it nor spins (with
// the write event stuck it stops watching the port).
TEST_F(SerialChannelTest, ARefusedCallNeverMakesTheMonitorSpin) {
    struct Case {
        const char* call;
        sys::Dword error;
        bool portKept;
    };
    for (const Case c : {Case{"WaitCommEvent", 22, true}, Case{"ResetEvent", 6, false}}) {
        SCOPED_TRACE(c.call);
        sim::Reset();
        sim::ui::Reset();
        sim::serial::AddPort(7);
        SerialChannel channel;
        Owner owner;
        owner.onMessage = [&] {
            if (owner.received.size() == 100) {
                sim::ClearFailures();  // a flood: let the broken monitor out of its loop
            }
        };
        Run(owner, [&] {
            sim::ui::Call(W, [&] {
                ASSERT_EQ(Open(channel, owner, 7), 1);
                sim::FailCall(c.call, c.error, -1);
                ASSERT_EQ(channel.StartMonitoring(), 1);
                channel.Write(kProbe.data(), 3);
            });
            sim::ui::AdvanceClock(W, 50);
            sim::ui::Call(W, [&] {
                sim::ClearFailures();
                EXPECT_EQ(sim::CallCount("WriteFile"), 1);
                EXPECT_EQ(sim::serial::Written(7), kProbe);
                EXPECT_EQ(sim::serial::IsOpen(7), c.portKept);
                EXPECT_NE(channel.Close(), 0);
            });
        });
        EXPECT_TRUE(owner.received.empty());
        EXPECT_EQ(sim::serial::OpenEventCount(), 0);
    }
}

// A failed read is reported in the "Application Error" box (stop icon, no owner) with the
// system's text and the port, shown by the owner's thread (never by the monitor's), and no
// byte is reported to the owner.
TEST_F(SerialChannelTest, AFailedReadIsReportedAndSendsNoByte) {
    sim::serial::AddPort(6);
    sim::serial::AddReply(6, kProbe, {0x06}, 10);
    sim::ui::AnswerMessageBox("ReadFile()", ui::id::Ok);
    SerialChannel channel;
    Owner owner;
    Run(owner, [&] {
        sim::ui::Call(W, [&] {
            ASSERT_EQ(Open(channel, owner, 6), 1);
            ASSERT_EQ(channel.StartMonitoring(), 1);
            sim::FailCall("ReadFile", 31);
            channel.Write(kProbe.data(), 3);
        });
        sim::ui::AdvanceClock(W, 20);
        sim::ui::Call(W, [&] {
            channel.Close();
            EXPECT_TRUE(sim::ui::MessageBoxes().empty());
            channel.ShowReports();
        });
    });
    EXPECT_TRUE(owner.ByteMessages().empty());
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "WARNING:  ReadFile() Failed with the following error: \n"
              "A device attached to the system is not functioning.\r\n\nPort: 6\n");
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_EQ(boxes[0].flags, ui::mb::IconStop);
    EXPECT_FALSE(boxes[0].ownedByDialog);
}

// The report's text is composed in 200 bytes: a long system text is cut there.
TEST_F(SerialChannelTest, TheErrorReportIsCutToTwoHundredBytes) {
    const std::string longText(500, 'x');
    const std::string text = SerialChannel::ComposeReport("WriteFile()", longText.c_str(), 9);
    const std::string head = "WARNING:  WriteFile() Failed with the following error: \n";
    EXPECT_EQ(text.size(), 199u);
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(head.size()), std::string(199 - head.size(), 'x'));
    EXPECT_EQ(SerialChannel::ComposeReport("WriteFile()", "Short.", 9), head + "Short.\nPort: 9\n");
}
