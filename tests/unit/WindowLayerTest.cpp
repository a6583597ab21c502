// The simulated window layer keeps Win32's rules: handlers run on the dialog's thread, a send
// from another thread waits for it, timers follow the clock, message boxes take scripted answers,
// and nested modal loops (inner dialogs, message boxes) keep the thread's other dialogs running.
#include <atomic>
#include <thread>

#include "platform/Clock.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace {

const unsigned kPing = ui::RegisterWindowMessageA("TestPing");

// A dialog that records what reached it and on which thread.
class ProbeDialog : public ui::Dialog {
  public:
    ProbeDialog() : ui::Dialog(IDD_TCPIP_PORTS) {}

    std::thread::id dialogThread;
    std::vector<std::thread::id> pingThreads;
    std::vector<ui::WParam> pings;
    std::vector<std::uintptr_t> timers;
    std::function<void()> onInit;
    std::function<void()> onTimer;
    std::function<void()> onPing;

  protected:
    bool OnInitDialog() override {
        dialogThread = std::this_thread::get_id();
        if (onInit) {
            onInit();
        }
        return true;
    }
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam, ui::LResult& result) override {
        if (message != kPing) {
            return false;
        }
        pingThreads.push_back(std::this_thread::get_id());
        pings.push_back(wParam);
        if (onPing) {
            onPing();
        }
        result = static_cast<ui::LResult>(wParam * 2);
        return true;
    }
    void OnTimer(std::uintptr_t id) override {
        timers.push_back(id);
        if (onTimer) {
            onTimer();
        }
    }
};

}  // namespace

class WindowLayerTest : public SimTest {};

TEST_F(WindowLayerTest, SendFromAnotherThreadRunsOnTheDialogThreadAndWaits) {
    ProbeDialog dialog;
    std::atomic<ui::LResult> answer{0};
    std::atomic<size_t> seenBySender{0};
    sys::Thread sender;
    dialog.onInit = [&] {
        sender.Start([&] {
            answer = dialog.SendMessageA(kPing, 21, 0);
            // The handler has run by the time the send returns.
            seenBySender = dialog.pings.size();
        });
    };
    sim::ui::WaitUntil(
        IDD_TCPIP_PORTS, [&] { return !sender.Running(); }, "the sender");
    sim::ui::Close(IDD_TCPIP_PORTS);

    EXPECT_EQ(dialog.DoModal(), ui::id::Cancel);
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(seenBySender.load(), 1u);
    ASSERT_EQ(dialog.pingThreads.size(), 1u);
    EXPECT_EQ(dialog.pingThreads[0], dialog.dialogThread);
}

TEST_F(WindowLayerTest, WaitingForAThreadStillHandlesItsSends) {
    ProbeDialog dialog;
    bool ended = false;
    sim::ui::Call(IDD_TCPIP_PORTS, [&] {
        sys::Thread worker;
        worker.Start([&] {
            for (ui::WParam i = 0; i < 5; ++i) {
                dialog.SendMessageA(kPing, i, 0);
            }
        });
        ended = dialog.WaitForThread(worker, 10000);
    });
    sim::ui::Close(IDD_TCPIP_PORTS);

    dialog.DoModal();
    EXPECT_TRUE(ended);
    EXPECT_EQ(dialog.pings, (std::vector<ui::WParam>{0, 1, 2, 3, 4}));
}

TEST_F(WindowLayerTest, SendToAClosedDialogReturnsAtOnce) {
    ProbeDialog dialog;
    sim::ui::Close(IDD_TCPIP_PORTS);
    dialog.DoModal();
    EXPECT_EQ(dialog.Handle(), nullptr);
    EXPECT_EQ(dialog.SendMessageA(kPing, 1, 0), 0);
    EXPECT_TRUE(dialog.pings.empty());
}

TEST_F(WindowLayerTest, TimersFireFromTheClockInOrder) {
    ProbeDialog dialog;
    dialog.onInit = [&] {
        dialog.SetTimer(1, 700);
        dialog.SetTimer(2, 1000);
    };
    sim::ui::AdvanceClock(IDD_TCPIP_PORTS, 699);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { EXPECT_TRUE(dialog.timers.empty()); });
    sim::ui::AdvanceClock(IDD_TCPIP_PORTS, 1);
    sim::ui::Call(IDD_TCPIP_PORTS,
                  [&] { EXPECT_EQ(dialog.timers, (std::vector<std::uintptr_t>{1})); });
    // 1400 more: timer 2 at 1000 and 2000, timer 1 at 1400 and 2100 (after the start).
    sim::ui::AdvanceClock(IDD_TCPIP_PORTS, 1400);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { dialog.KillTimer(1); });
    sim::ui::AdvanceClock(IDD_TCPIP_PORTS, 5000);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { dialog.KillTimer(2); });
    sim::ui::Close(IDD_TCPIP_PORTS);

    dialog.DoModal();
    const std::vector<std::uintptr_t> expected = {1, 2, 1, 2, 1, 2, 2, 2, 2, 2};
    EXPECT_EQ(dialog.timers, expected);
    EXPECT_FALSE(sim::ui::TimerRunning(IDD_TCPIP_PORTS, 1));
}

TEST_F(WindowLayerTest, MessageBoxesTakeScriptedAnswersByTextAndAreRecorded) {
    sim::ui::AnswerMessageBox("Retry", ui::id::Retry, 2);
    sim::ui::AnswerMessageBox("retry", ui::id::Cancel);
    sim::ui::AnswerMessageBox("Plain", ui::id::Ok);
    std::vector<int> answers;
    ProbeDialog dialog;
    dialog.onInit = [&] {
        for (int i = 0; i < 3; ++i) {
            answers.push_back(
                dialog.MessageBoxA("Click Retry:You can retry", "Error", ui::mb::RetryCancel));
        }
        answers.push_back(ui::MessageBoxA(nullptr, "Plain", "Prompt", ui::mb::Ok));
        dialog.EndDialog(7);
    };
    EXPECT_EQ(dialog.DoModal(), 7);

    EXPECT_EQ(answers,
              (std::vector<int>{ui::id::Retry, ui::id::Retry, ui::id::Cancel, ui::id::Ok}));
    auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].flags, ui::mb::RetryCancel);
    EXPECT_TRUE(boxes[0].ownedByDialog);
    EXPECT_TRUE(boxes[2].scripted);
    EXPECT_FALSE(boxes[3].ownedByDialog);
}

TEST_F(WindowLayerTest, AnUnscriptedMessageBoxFailsTheTestAndTakesTheDefaultButton) {
    sim::ui::AnswerMessageBox("Other", ui::id::Yes);
    const std::vector<int> answers = {
        ui::MessageBoxA(nullptr, "Saved.", "Note", ui::mb::Ok),
        ui::MessageBoxA(nullptr, "Replace it?", "Question", ui::mb::YesNo),
        ui::MessageBoxA(nullptr, "Port busy.", "Error", ui::mb::RetryCancel),
    };
    // The code goes on with the default button.
    EXPECT_EQ(answers, (std::vector<int>{ui::id::Ok, ui::id::No, ui::id::Cancel}));
    for (const auto& box : sim::ui::MessageBoxes()) {
        EXPECT_FALSE(box.scripted);
    }
    const auto failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_NE(failures[0].find("\"Saved.\""), std::string::npos) << failures[0];
    EXPECT_NE(failures[0].find("\"Note\""), std::string::npos) << failures[0];
    EXPECT_NE(failures[1].find("Replace it?"), std::string::npos);
    EXPECT_NE(failures[2].find("Error"), std::string::npos);
    sim::ui::Reset();
}

TEST_F(WindowLayerTest, TimersOfTheMainDialogFireWhileAnInnerDialogIsOpen) {
    ProbeDialog outer;
    std::vector<bool> innerOpenAtTimer;
    outer.onInit = [&] { outer.SetTimer(1, 100); };
    outer.onTimer = [&] { innerOpenAtTimer.push_back(sim::ui::IsOpen(IDD_SERIAL_PROMPT)); };
    ui::Dialog inner(IDD_SERIAL_PROMPT);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { inner.DoModal(); });
    // The user waits in the inner dialog: the main dialog's timer keeps running.
    sim::ui::AdvanceClock(IDD_SERIAL_PROMPT, 350);
    sim::ui::Close(IDD_SERIAL_PROMPT);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { outer.KillTimer(1); });
    sim::ui::Close(IDD_TCPIP_PORTS);

    outer.DoModal();
    EXPECT_EQ(innerOpenAtTimer, (std::vector<bool>{true, true, true}));
}

TEST_F(WindowLayerTest, SendFromAnotherThreadIsHandledWhileAMessageBoxIsOpen) {
    ProbeDialog dialog;
    sys::Thread sender;
    std::atomic<ui::LResult> answer{0};
    bool boxOpen = false;
    std::vector<bool> boxOpenAtPing;
    dialog.onPing = [&] { boxOpenAtPing.push_back(boxOpen); };
    dialog.onInit = [&] {
        sender.Start([&] { answer = dialog.SendMessageA(kPing, 4, 0); });
        boxOpen = true;
        dialog.MessageBoxA("Working", "Note", ui::mb::Ok);
        boxOpen = false;
        dialog.EndDialog(0);
    };
    sim::ui::AnswerMessageBoxWhen(
        "Working", ui::id::Ok, [&] { return !sender.Running(); }, "the sender");

    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(answer.load(), 8);
    EXPECT_EQ(boxOpenAtPing, (std::vector<bool>{true}));
    EXPECT_EQ(dialog.pingThreads, (std::vector<std::thread::id>{dialog.dialogThread}));
}

TEST_F(WindowLayerTest, ATimerStepShowingAMessageBoxRunsAgainUnderneathItself) {
    ProbeDialog dialog;
    int depth = 0;
    std::vector<int> depths;
    dialog.onInit = [&] { dialog.SetTimer(1, 100); };
    dialog.onTimer = [&] {
        depths.push_back(++depth);
        if (depth == 1) {
            // Open for 250 simulated ms: the timer falls due twice inside the box.
            dialog.MessageBoxA("Step failed", "Error", ui::mb::Ok);
        }
        --depth;
    };
    sim::ui::AnswerMessageBox("Step failed", ui::id::Ok, 1, 250);
    sim::ui::AdvanceClock(IDD_TCPIP_PORTS, 100);
    sim::ui::Call(IDD_TCPIP_PORTS, [&] { dialog.KillTimer(1); });
    sim::ui::Close(IDD_TCPIP_PORTS);

    const sys::Dword start = sim::Now();
    dialog.DoModal();
    EXPECT_EQ(depths, (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(sim::Now() - start, 350u) << "the box kept the clock moving while open";
}

TEST_F(WindowLayerTest, ADialogNothingCanCloseFailsAtOnceButOneWithATimerWaits) {
    // A stall timeout the first dialog must not need: it is closed before that.
    sim::ui::SetStallTimeout(std::chrono::milliseconds(2000));
    ProbeDialog idle;
    EXPECT_EQ(idle.DoModal(), -1);
    auto failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("stalled at once"), std::string::npos) << failures[0];
    sim::ui::Reset();

    // Nor can a script step for a dialog that nothing is left to open.
    sim::ui::SetStallTimeout(std::chrono::milliseconds(2000));
    ProbeDialog waiting;
    sim::ui::Click(IDD_PARALLEL_PORTS, IDC_PORTS_OK);
    EXPECT_EQ(waiting.DoModal(), -1);
    failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 2u);  // the stall, and the script left unfinished
    EXPECT_NE(failures[0].find("stalled at once; waiting for: "), std::string::npos) << failures[0];
    sim::ui::Reset();

    // A timer can still end it: the loop waits out the stall timeout instead.
    sim::ui::SetStallTimeout(std::chrono::milliseconds(50));
    ProbeDialog ticking;
    ticking.onInit = [&] { ticking.SetTimer(1, 100); };
    EXPECT_EQ(ticking.DoModal(), -1);
    failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].find("at once"), std::string::npos) << failures[0];
    EXPECT_NE(failures[0].find("stalled"), std::string::npos) << failures[0];
    sim::ui::Reset();
}

TEST_F(WindowLayerTest, EnterWithoutDefaultButtonIsOkAndEscapeIsCancel) {
    ProbeDialog first;
    sim::ui::PressEnter(IDD_TCPIP_PORTS);
    EXPECT_EQ(first.DoModal(), ui::id::Ok);

    ProbeDialog second;
    sim::ui::PressEscape(IDD_TCPIP_PORTS);
    EXPECT_EQ(second.DoModal(), ui::id::Cancel);
}

TEST_F(WindowLayerTest, ScriptProblemsAreReportedNotHung) {
    sim::ui::SetStallTimeout(std::chrono::milliseconds(50));
    ProbeDialog dialog;
    dialog.onInit = [&] { dialog.EnableDlgItem(IDC_ADD_PORT, false); };
    sim::ui::Click(IDD_TCPIP_PORTS, IDC_ADD_PORT);

    // Nothing closes the dialog: the loop gives up instead of waiting for ever.
    EXPECT_EQ(dialog.DoModal(), -1);
    auto failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("not enabled"), std::string::npos);
    EXPECT_NE(failures[1].find("stalled"), std::string::npos);
    sim::ui::Reset();
}

TEST_F(WindowLayerTest, ASendToABlockedDialogThreadIsReportedNotHung) {
    sim::ui::SetStallTimeout(std::chrono::milliseconds(50));
    ProbeDialog dialog;
    ui::LResult answer = -1;
    dialog.onInit = [&] {
        // The dialog thread waits for the sender without handling messages: a deadlock.
        std::thread sender([&] { answer = dialog.SendMessageA(kPing, 5, 0); });
        sender.join();
        dialog.EndDialog(0);
    };
    dialog.DoModal();
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(dialog.pings.empty());
    auto failures = sim::ui::Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("not handled"), std::string::npos);
    sim::ui::Reset();
}

TEST_F(WindowLayerTest, ControlsStartFromTheTemplateAndKeepWin32Semantics) {
    ProbeDialog dialog;
    ui::ListView list;
    ui::ComboBox unusedCombo;
    dialog.onInit = [&] {
        list.Bind(dialog.Handle(), IDC_PORT_LIST);
        list.InsertColumn(0, "Port", 125);
        for (const char* name : {"A", "B", "C"}) {
            list.InsertItem(99, name);  // past the end appends
        }
        list.SetItemState(0, ui::ListView::StateSelected, ui::ListView::StateSelected);
        list.SetItemState(2, ui::ListView::StateSelected, ui::ListView::StateSelected);
    };
    sim::ui::Close(IDD_TCPIP_PORTS);
    dialog.DoModal();

    EXPECT_EQ(sim::ui::Caption(IDD_TCPIP_PORTS), "Configure TCP/IP PrinterPort");
    auto hint = sim::ui::Control(IDD_TCPIP_PORTS, IDC_PORTS_HINT);
    ASSERT_TRUE(hint);
    EXPECT_EQ(hint->text, "Please select/create a TCP/IP printer port");
    auto rows = sim::ui::Control(IDD_TCPIP_PORTS, IDC_PORT_LIST)->rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].texts[0], "C");
    // A single-selection list keeps one selected row.
    EXPECT_EQ(rows[0].state & ui::ListView::StateSelected, 0u);
    EXPECT_NE(rows[2].state & ui::ListView::StateSelected, 0u);
    EXPECT_FALSE(sim::ui::IsOpen(IDD_TCPIP_PORTS));
}
