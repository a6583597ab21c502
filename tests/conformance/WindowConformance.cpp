// Modal loops: an inner dialog's loop keeps dispatching the outer dialog's timers and the messages
// other threads send to it, so the outer dialog's code runs while the inner one is open.
#include <atomic>
#include <functional>

#include "platform/Thread.h"
#include "platform/Window.h"
#include "res/resource.h"
#include "tests/conformance/Conformance.h"

namespace {

// Standard controls only: no common-control set-up needed on Windows.
constexpr int kTemplate = IDD_SERIAL_PROMPT;
const unsigned kPing = ui::RegisterWindowMessageA("ConformancePing");

class Probe : public ui::Dialog {
  public:
    explicit Probe(ui::WindowHandle owner = nullptr) : ui::Dialog(kTemplate, owner) {}

    std::function<void()> onInit;
    std::function<void(std::uintptr_t)> onTimer;
    std::function<void(ui::WParam)> onPing;

  protected:
    bool OnInitDialog() override {
        if (onInit) {
            onInit();
        }
        return true;
    }
    void OnTimer(std::uintptr_t id) override {
        if (onTimer) {
            onTimer(id);
        }
    }
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam, ui::LResult& result) override {
        if (message != kPing) {
            return false;
        }
        if (onPing) {
            onPing(wParam);
        }
        result = static_cast<ui::LResult>(wParam * 2);
        return true;
    }
};

class WindowTest : public conformance::Test {};

TEST_F(WindowTest, TimersOfTheOuterDialogFireInsideAnInnerDialogsLoop) {
    Probe outer;
    Probe* inner = nullptr;
    int ticksInside = 0;
    std::intptr_t innerResult = 0;
    outer.onInit = [&] { outer.SetTimer(1, 20); };
    outer.onTimer = [&](std::uintptr_t id) {
        if (id == 1) {
            outer.KillTimer(1);
            Probe nested(outer.Handle());
            inner = &nested;
            outer.SetTimer(2, 20);
            innerResult = nested.DoModal();
            inner = nullptr;
            outer.KillTimer(2);
            outer.EndDialog(0);
        } else if (id == 2 && inner != nullptr && ticksInside < 3 && ++ticksInside == 3) {
            inner->EndDialog(7);
        }
    };
    conformance::UserWaits(kTemplate, 20);  // in the outer dialog: timer 1 opens the inner one
    conformance::UserWaits(kTemplate, 60);  // in the inner dialog: timer 2 of the outer fires

    ASSERT_EQ(outer.DoModal(), 0) << "error " << sys::GetLastError();
    EXPECT_EQ(innerResult, 7) << "the outer dialog's timer did not close the inner dialog";
    EXPECT_EQ(ticksInside, 3);
}

TEST_F(WindowTest, ASendFromAnotherThreadIsHandledInsideAnInnerDialogsLoop) {
    sys::Thread sender;
    std::atomic<ui::LResult> answer{0};
    Probe outer;
    Probe* inner = nullptr;
    bool pingedInside = false;
    std::intptr_t innerResult = 0;
    outer.onInit = [&] { outer.SetTimer(1, 20); };
    outer.onTimer = [&](std::uintptr_t) {
        outer.KillTimer(1);
        Probe nested(outer.Handle());
        nested.onInit = [&] { sender.Start([&] { answer = outer.SendMessageA(kPing, 21, 0); }); };
        inner = &nested;
        innerResult = nested.DoModal();
        inner = nullptr;
        outer.EndDialog(0);
    };
    outer.onPing = [&](ui::WParam) {
        pingedInside = inner != nullptr;
        if (inner != nullptr) {
            inner->EndDialog(9);
        }
    };
    conformance::UserWaits(kTemplate, 20);

    ASSERT_EQ(outer.DoModal(), 0) << "error " << sys::GetLastError();
    EXPECT_TRUE(sender.Wait(10000));
    EXPECT_EQ(answer.load(), 42);
    EXPECT_TRUE(pingedInside);
    EXPECT_EQ(innerResult, 9);
}

}  // namespace
