// The simulated window layer: dialogs owned by the thread that runs them, a modal loop that
// handles cross-thread sends, timers on the simulated clock and the test's scripted user.
#include <strings.h>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Backend.h"
#include "platform/Clock.h"
#include "platform/sim/Blocking.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Sim.h"
#include "platform/sim/SimUi.h"
#include "platform/sim/Templates.h"
#include "platform/sim/Threads.h"
#include "platform/sim/Trace.h"

namespace {

using sim::ui::ControlState;
using ui::LResult;
using ui::WindowHandle;
namespace tr = sim::trace;

constexpr unsigned kComboSelChange = 1;
constexpr unsigned kEditChange = 0x0300;

struct Timer {
    unsigned period = 0;
    sys::Dword due = 0;
};

struct SimControl {
    int id = 0;
    unsigned style = 0;
    ControlState state;
};

struct Window {
    WindowHandle handle = nullptr;
    int templateId = 0;
    std::string caption;
    ui::Dialog* dialog = nullptr;
    std::thread::id owner;
    std::vector<SimControl> controls;
    std::map<std::uintptr_t, Timer> timers;
    bool open = true;
    bool ending = false;
    std::intptr_t result = 0;
};

struct Request {
    WindowHandle target = nullptr;
    std::function<LResult()> work;
    LResult result = 0;
    bool done = false;
};

struct Action {
    int dialog = 0;
    std::string what;
    std::function<bool()> ready;       // null: ready at once
    std::function<void(Window&)> run;  // on the dialog's thread, no lock held
};

struct Answer {
    std::string textPart;
    int button = 0;
    int times = 0;
    sys::Dword openFor = 0;       // simulated ms the box stays open
    std::function<bool()> until;  // null: no condition to wait for
    std::string what;
};

struct State {
    std::mutex mu;
    std::condition_variable cv;
    std::map<WindowHandle, std::shared_ptr<Window>> open;
    std::map<int, std::shared_ptr<Window>> latest;
    std::map<int, int> shown;
    std::map<std::thread::id, std::vector<WindowHandle>> modalStack;
    std::deque<std::shared_ptr<Request>> requests;
    std::deque<Action> script;
    std::vector<Answer> answers;
    std::vector<sim::ui::ShownBox> boxes;
    std::vector<std::string> failures;
    std::uintptr_t nextHandle = 0x100;
    std::chrono::milliseconds stall{10000};
    bool answerEveryBox = false;
    std::map<std::string, unsigned> registered;
};

State& S() {
    static State state;
    return state;
}

std::shared_ptr<Window> FindOpen(WindowHandle handle) {
    auto it = S().open.find(handle);
    return it == S().open.end() ? nullptr : it->second;
}

SimControl* FindControl(Window& w, int id) {
    for (auto& c : w.controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

// Runs work on the thread that owns the window, as a message sent to it would be; the caller
// waits. Nothing happens (and `fallback` is returned) for a window that is not open.
LResult OnOwnerThread(WindowHandle handle, std::function<LResult()> work, LResult fallback = 0) {
    std::unique_lock lock(S().mu);
    auto w = FindOpen(handle);
    if (!w) {
        return fallback;
    }
    if (w->owner == std::this_thread::get_id()) {
        lock.unlock();
        return work();
    }
    auto request = std::make_shared<Request>();
    request->target = handle;
    request->work = std::move(work);
    S().requests.push_back(request);
    S().cv.notify_all();
    // A dialog thread that stops handling messages would deadlock the sender, as on Windows;
    // here the test is told instead of hanging. Meanwhile the sender counts as blocked for
    // whoever settles the threads (the Blocked ends without our lock, which its test takes).
    lock.unlock();
    bool handled = false;
    {
        sim::detail::Blocked blocked([request] {
            std::lock_guard inner(S().mu);
            return request->done;
        });
        lock.lock();
        handled = S().cv.wait_for(lock, S().stall, [&] { return request->done; });
        lock.unlock();
    }
    lock.lock();
    if (!handled && !request->done) {
        auto& queue = S().requests;
        queue.erase(std::remove(queue.begin(), queue.end(), request), queue.end());
        S().failures.push_back("a message sent to dialog " + std::to_string(w->templateId) +
                               " was not handled: its thread does not handle messages");
        return fallback;
    }
    return request->result;
}

// Applies f to one control under the lock, on the owner's thread.
template <class F>
LResult WithControl(WindowHandle handle, int id, F f, LResult fallback = 0) {
    return OnOwnerThread(
        handle,
        [handle, id, f, fallback]() -> LResult {
            std::lock_guard lock(S().mu);
            auto w = FindOpen(handle);
            SimControl* c = w ? FindControl(*w, id) : nullptr;
            return c ? static_cast<LResult>(f(*c)) : fallback;
        },
        fallback);
}

std::string TextOf(WindowHandle handle, int id, std::function<std::string(SimControl&)> f) {
    std::string out;
    WithControl(handle, id, [&out, f](SimControl& c) {
        out = f(c);
        return 0;
    });
    return out;
}

// Handles every request addressed to a window of the calling thread; true if any was.
bool PumpRequests() {
    bool any = false;
    for (;;) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(S().mu);
            auto me = std::this_thread::get_id();
            auto it = std::find_if(S().requests.begin(), S().requests.end(), [&](auto& r) {
                auto w = FindOpen(r->target);
                return w && w->owner == me;
            });
            if (it == S().requests.end()) {
                return any;
            }
            request = *it;
            S().requests.erase(it);
        }
        LResult result = request->work();
        {
            std::lock_guard lock(S().mu);
            request->result = result;
            request->done = true;
        }
        S().cv.notify_all();
        any = true;
    }
}

LResult DispatchTo(Window& w, unsigned message, ui::WParam wParam, ui::LParam lParam) {
    LResult result = 0;
    w.dialog->Dispatch(message, wParam, lParam, result);
    return result;
}

ui::WParam CommandParam(int id, unsigned code) {
    return (static_cast<ui::WParam>(code) << 16) | static_cast<ui::WParam>(id & 0xFFFF);
}

// Whether a dialog of this template is open and still runs. Caller holds the lock.
bool TemplateOpenLocked(int templateId) {
    return std::any_of(S().open.begin(), S().open.end(), [templateId](const auto& entry) {
        return entry.second->templateId == templateId && !entry.second->ending;
    });
}

// The open dialogs of the calling thread that still run, outermost first. Caller holds the lock.
std::vector<std::shared_ptr<Window>> ThreadWindowsLocked() {
    std::vector<std::shared_ptr<Window>> windows;
    for (WindowHandle handle : S().modalStack[std::this_thread::get_id()]) {
        auto w = FindOpen(handle);
        if (w && !w->ending) {
            windows.push_back(std::move(w));
        }
    }
    return windows;
}

// Fires the earliest timer due at `now` of any open dialog of the calling thread: a modal loop
// (a nested dialog's or a message box's) dispatches the messages of every window of its thread,
// so the outer dialogs' timers keep firing, re-entrantly, while an inner one is open.
bool FireDueTimer(sys::Dword now) {
    std::shared_ptr<Window> target;
    std::uintptr_t id = 0;
    {
        std::lock_guard lock(S().mu);
        Timer* due = nullptr;
        for (auto& w : ThreadWindowsLocked()) {
            for (auto& [timerId, t] : w->timers) {
                if (t.due <= now && (due == nullptr || t.due < due->due)) {
                    due = &t;
                    target = w;
                    id = timerId;
                }
            }
        }
        if (due == nullptr) {
            return false;
        }
        due->due = now + due->period;
    }
    DispatchTo(*target, ui::wm::Timer, id, 0);
    return true;
}

// Lets the other threads run until they block, handling what they send to this thread's windows.
void SettleAndPump() {
    do {
        sim::detail::Settle();
    } while (PumpRequests());
}

// When the next timer of the calling thread's dialogs falls due.
std::optional<sys::Dword> NextDue() {
    std::lock_guard lock(S().mu);
    std::optional<sys::Dword> next;
    for (auto& w : ThreadWindowsLocked()) {
        for (auto& [id, t] : w->timers) {
            if (!next || t.due < *next) {
                next = t.due;
            }
        }
    }
    return next;
}

// Moves the simulated clock to `target`, firing the calling thread's timers as they fall due and
// handling sends on the way; stops early once `stop` holds.
void RunClockTo(sys::Dword target, const std::function<bool()>& stop) {
    for (;;) {
        SettleAndPump();
        auto next = NextDue();
        // A serial device's reply falls due on the way: stop there, so that what the threads it
        // wakes send to the dialog is handled before the next timer.
        auto serial = sim::detail::NextSerialDue();
        if (serial && *serial <= target && (!next || *serial < *next) && !stop()) {
            if (*serial > sys::GetTickCount()) {
                sim::Advance(*serial - sys::GetTickCount());
            } else {
                sim::detail::DeliverSerial(sys::GetTickCount());
            }
            continue;
        }
        if (!next || *next > target || stop()) {
            break;
        }
        if (*next > sys::GetTickCount()) {
            sim::Advance(*next - sys::GetTickCount());
        }
        SettleAndPump();
        if (!FireDueTimer(sys::GetTickCount())) {
            break;
        }
    }
    if (target > sys::GetTickCount() && !stop()) {
        sim::Advance(target - sys::GetTickCount());
    }
    PumpRequests();
}

// True when nothing can move the calling thread's dialogs any more: no user action left, no
// timer, no worker thread that could send or end a dialog, no dialog open on another thread.
// True when no thread, timer or other dialog is left that could change anything: a script
// step this dialog could not take just now can then never become takeable either.
bool NothingCanHappen() {
    std::lock_guard lock(S().mu);
    if (sim::detail::RunningThreads() > 0) {
        return false;
    }
    for (auto& w : ThreadWindowsLocked()) {
        if (!w->timers.empty()) {
            return false;
        }
    }
    const auto me = std::this_thread::get_id();
    for (auto& [thread, stack] : S().modalStack) {
        if (thread != me && !stack.empty()) {
            return false;
        }
    }
    return true;
}

void Enqueue(Action action) {
    std::lock_guard lock(S().mu);
    S().script.push_back(std::move(action));
    S().cv.notify_all();
}

// The head of the script, if it is for w and w is the innermost dialog of this thread.
std::optional<Action> TakeAction(Window& w) {
    std::unique_lock lock(S().mu);
    if (S().script.empty() || S().script.front().dialog != w.templateId) {
        return std::nullopt;
    }
    auto& stack = S().modalStack[std::this_thread::get_id()];
    if (stack.empty() || stack.back() != w.handle) {
        return std::nullopt;
    }
    auto ready = S().script.front().ready;
    if (ready) {
        lock.unlock();
        if (!ready()) {
            return std::nullopt;
        }
        lock.lock();
        if (S().script.empty() || S().script.front().dialog != w.templateId) {
            return std::nullopt;
        }
    }
    Action action = std::move(S().script.front());
    S().script.pop_front();
    return action;
}

void RunLoop(Window& w) {
    auto lastProgress = std::chrono::steady_clock::now();
    for (;;) {
        if (w.ending) {
            return;
        }
        bool progressed = PumpRequests();
        if (!w.ending && FireDueTimer(sys::GetTickCount())) {
            progressed = true;
        }
        if (!w.ending) {
            if (auto action = TakeAction(w)) {
                action->run(w);
                progressed = true;
            }
        }
        if (progressed) {
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        // With nothing left that could move it, the dialog has stalled for sure: no need to wait.
        const bool certain = !w.ending && NothingCanHappen() && !PumpRequests();
        std::unique_lock lock(S().mu);
        if (!certain) {
            S().cv.wait_for(lock, std::chrono::milliseconds(5));
        }
        if (w.ending) {
            continue;
        }
        if (certain || std::chrono::steady_clock::now() - lastProgress > S().stall) {
            std::string why = S().script.empty()
                                  ? std::string("; no user action left in the script")
                                  : "; waiting for: " + S().script.front().what +
                                        (TemplateOpenLocked(S().script.front().dialog)
                                             ? " (its dialog is open)"
                                             : " (its dialog is not open)");
            if (certain) {
                why = " at once" + why + "; no timer, no worker thread";
            }
            S().failures.push_back("dialog " + std::to_string(w.templateId) + " stalled" + why +
                                   "; it was closed");
            w.ending = true;
            w.result = -1;
            return;
        }
    }
}

std::shared_ptr<Window> MakeWindow(const sim::DialogTemplate& t, ui::Dialog& dialog) {
    auto w = std::make_shared<Window>();
    w->templateId = t.id;
    w->caption = t.caption;
    w->dialog = &dialog;
    w->owner = std::this_thread::get_id();
    for (const auto& ct : t.controls) {
        SimControl c;
        c.id = ct.id;
        c.style = ct.style;
        c.state.className = ct.className;
        c.state.text = ct.text;
        c.state.enabled = (ct.style & sim::style::Disabled) == 0;
        c.state.visible = (ct.style & sim::style::Visible) != 0;
        w->controls.push_back(std::move(c));
    }
    return w;
}

// Selects an entry, or clears the selection for an index out of range (CB_ERR, -1).
int ComboSelection(ControlState& c, int index) {
    if (index < 0 || index >= static_cast<int>(c.items.size())) {
        c.curSel = -1;
        c.text.clear();
        return -1;
    }
    c.curSel = index;
    c.text = c.items[static_cast<size_t>(index)];
    return index;
}

void SelectRow(SimControl& c, int row, unsigned state, unsigned mask) {
    auto& rows = c.state.rows;
    const bool single = (c.style & sim::style::ListSingleSel) != 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        auto& r = rows[static_cast<size_t>(i)];
        if (row == -1 || i == row) {
            r.state = (r.state & ~mask) | (state & mask);
        } else {
            // One focused row, and one selected row in a single-selection list.
            if ((mask & state & ui::ListView::StateFocused) != 0) {
                r.state &= ~ui::ListView::StateFocused;
            }
            if (single && (mask & state & ui::ListView::StateSelected) != 0) {
                r.state &= ~ui::ListView::StateSelected;
            }
        }
    }
}

}  // namespace

namespace ui {

unsigned RegisterWindowMessageA(const char* name) {
    std::lock_guard lock(S().mu);
    auto& reg = S().registered;
    for (auto& [key, value] : reg) {
        if (strcasecmp(key.c_str(), name) == 0) {
            return value;
        }
    }
    unsigned value = 0xC000 + static_cast<unsigned>(reg.size());
    reg.emplace(name, value);
    return value;
}

int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                unsigned flags) {
    tr::Call trace(
        "MessageBoxA",
        [&] {
            return tr::Args(tr::H(tr::Kind::Window, owner), tr::Q(text), tr::Q(caption),
                            tr::Hex(flags));
        },
        false);
    sim::CountCall("MessageBoxA");
    if (sim::ShouldFail("MessageBoxA")) {
        return 0;
    }
    sim::ui::ShownBox box{text, caption, flags, 0, false, owner != nullptr};
    Answer answer;
    {
        std::lock_guard lock(S().mu);
        for (auto& a : S().answers) {
            if (a.times > 0 && text.find(a.textPart) != std::string::npos) {
                --a.times;
                answer = a;
                box.answer = a.button;
                box.scripted = true;
                break;
            }
        }
        if (!box.scripted) {
            switch (flags & 0xF) {
                case mb::Ok:
                    box.answer = id::Ok;
                    break;
                case mb::YesNo:
                    box.answer = id::No;
                    break;
                default:
                    box.answer = id::Cancel;
                    break;
            }
            if (!S().answerEveryBox) {
                S().failures.push_back("message box not scripted: \"" + text + "\" (caption \"" +
                                       caption + "\"); the default button was taken");
            }
        }
        S().boxes.push_back(box);
    }
    // The box's own modal loop: while it is open, sends to the thread's windows are handled and
    // the timers of its dialogs fire, re-entrantly, as on Windows.
    trace.Result("answer " + std::to_string(box.answer));
    RunClockTo(sys::GetTickCount() + answer.openFor, [] { return false; });
    if (answer.until) {
        const auto start = std::chrono::steady_clock::now();
        while (!answer.until()) {
            if (PumpRequests() || FireDueTimer(sys::GetTickCount())) {
                continue;
            }
            std::unique_lock lock(S().mu);
            S().cv.wait_for(lock, std::chrono::milliseconds(5));
            if (std::chrono::steady_clock::now() - start > S().stall) {
                S().failures.push_back("message box \"" + text + "\" stalled waiting for: " +
                                       answer.what + "; it was answered");
                break;
            }
        }
    }
    return box.answer;
}

}  // namespace ui

namespace ui::backend {

std::intptr_t RunModal(Dialog& dialog, int templateId, WindowHandle owner) {
    tr::Call trace(
        "DialogBoxParamA",
        [&] { return tr::Args(std::to_string(templateId), tr::H(tr::Kind::Window, owner)); },
        false);
    sim::CountCall("DialogBoxParamA");
    const sim::DialogTemplate* t = sim::FindTemplate(templateId);
    if (t == nullptr || sim::ShouldFail("DialogBoxParamA")) {
        if (t == nullptr) {
            sys::SetLastError(1812);  // ERROR_RESOURCE_NAME_NOT_FOUND
        }
        return -1;
    }
    auto w = MakeWindow(*t, dialog);
    {
        std::lock_guard lock(S().mu);
        if (owner != nullptr && !FindOpen(owner)) {
            sys::SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
            return -1;
        }
        w->handle = reinterpret_cast<WindowHandle>(S().nextHandle);
        tr::Name(tr::Kind::Window, w->handle,
                 [&] { return "dialog " + std::to_string(templateId); });
        S().nextHandle += 0x10;
        S().open[w->handle] = w;
        S().latest[templateId] = w;
        ++S().shown[templateId];
        S().modalStack[w->owner].push_back(w->handle);
    }
    dialog.Attach(w->handle);
    DispatchTo(*w, wm::InitDialog, 0, 0);
    RunLoop(*w);
    DispatchTo(*w, wm::Destroy, 0, 0);
    {
        std::lock_guard lock(S().mu);
        w->open = false;
        w->timers.clear();
        S().open.erase(w->handle);
        auto& stack = S().modalStack[w->owner];
        stack.erase(std::remove(stack.begin(), stack.end(), w->handle), stack.end());
        // Messages still addressed to the destroyed window come back with 0.
        for (auto it = S().requests.begin(); it != S().requests.end();) {
            if ((*it)->target == w->handle) {
                (*it)->done = true;
                it = S().requests.erase(it);
            } else {
                ++it;
            }
        }
    }
    S().cv.notify_all();
    trace.Result(std::to_string(w->result));
    return w->result;
}

void EndDialog(WindowHandle dialog, std::intptr_t result) {
    tr::Note("EndDialog",
             [&] { return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(result)); });
    std::lock_guard lock(S().mu);
    if (auto w = FindOpen(dialog)) {
        w->ending = true;
        w->result = result;
    }
    S().cv.notify_all();
}

LResult Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (message < 0xC000) {  // a registered message's number depends on the order of registration
        tr::Note("SendMessageA", [&] {
            return tr::Args(tr::H(tr::Kind::Window, window), tr::Hex(message),
                            std::to_string(wParam), std::to_string(lParam));
        });
    }
    return OnOwnerThread(window, [window, message, wParam, lParam]() -> LResult {
        std::shared_ptr<Window> w;
        {
            std::lock_guard lock(S().mu);
            w = FindOpen(window);
        }
        return w ? DispatchTo(*w, message, wParam, lParam) : 0;
    });
}

bool WaitForThread(WindowHandle, sys::Thread& thread, sys::Dword milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    const sys::Dword start = sys::GetTickCount();
    for (;;) {
        PumpRequests();
        if (thread.Wait(2)) {
            return true;
        }
        // On Windows the clock runs while we wait: a serial transfer due within the wait (a
        // write held by flow control, timing out) ends then, and may end the thread.
        auto due = sim::detail::NextSerialDue();
        if (due && *due - start <= milliseconds) {
            sim::detail::Settle();
            if (thread.Wait(0)) {
                return true;
            }
            due = sim::detail::NextSerialDue();
            if (due && *due - start <= milliseconds) {
                const sys::Dword now = sys::GetTickCount();
                if (*due > now) {
                    sim::Advance(*due - now);
                } else {
                    sim::detail::DeliverSerial(now);
                }
                continue;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
    }
}

std::string GetItemText(WindowHandle dialog, int id) {
    return TextOf(dialog, id, [](SimControl& c) { return c.state.text; });
}

void SetItemText(WindowHandle dialog, int id, const std::string& text) {
    tr::Note("SetDlgItemTextA", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id), tr::Q(text));
    });
    WithControl(dialog, id, [text](SimControl& c) {
        c.state.text = text;
        return 1;
    });
}

bool EnableItem(WindowHandle dialog, int id, bool enable) {
    tr::Note("EnableWindow", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id),
                        std::to_string(enable));
    });
    return WithControl(dialog, id, [enable](SimControl& c) {
               bool wasDisabled = !c.state.enabled;
               c.state.enabled = enable;
               return wasDisabled;
           }) != 0;
}

bool IsItemEnabled(WindowHandle dialog, int id) {
    return WithControl(dialog, id, [](SimControl& c) { return c.state.enabled; }) != 0;
}

int GetCheck(WindowHandle dialog, int id) {
    return static_cast<int>(WithControl(dialog, id, [](SimControl& c) { return c.state.check; }));
}

void SetCheck(WindowHandle dialog, int id, int state) {
    tr::Note("CheckDlgButton", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id), std::to_string(state));
    });
    WithControl(dialog, id, [state](SimControl& c) {
        c.state.check = state;
        return 0;
    });
}

bool SetTimer(WindowHandle dialog, std::uintptr_t timerId, unsigned milliseconds) {
    tr::Note("SetTimer", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(timerId),
                        std::to_string(milliseconds));
    });
    sim::CountCall("SetTimer");
    if (sim::ShouldFail("SetTimer")) {
        return false;
    }
    std::lock_guard lock(S().mu);
    auto w = FindOpen(dialog);
    if (!w) {
        return false;
    }
    if (w->owner != std::this_thread::get_id()) {
        S().failures.push_back("SetTimer called from a thread that does not own the window");
    }
    w->timers[timerId] = Timer{milliseconds, sys::GetTickCount() + milliseconds};
    S().cv.notify_all();
    return true;
}

bool KillTimer(WindowHandle dialog, std::uintptr_t timerId) {
    tr::Note("KillTimer",
             [&] { return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(timerId)); });
    std::lock_guard lock(S().mu);
    auto w = FindOpen(dialog);
    return w && w->timers.erase(timerId) > 0;
}

int ProgressSetPos(WindowHandle dialog, int id, int position) {
    tr::Note("PBM_SETPOS", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id),
                        std::to_string(position));
    });
    return static_cast<int>(WithControl(dialog, id, [position](SimControl& c) {
        int previous = c.state.position;
        c.state.position = std::clamp(position, 0, 100);
        c.state.positions.push_back(c.state.position);
        return previous;
    }));
}

int ProgressGetPos(WindowHandle dialog, int id) {
    return static_cast<int>(
        WithControl(dialog, id, [](SimControl& c) { return c.state.position; }));
}

void ComboReset(WindowHandle dialog, int id) {
    WithControl(dialog, id, [](SimControl& c) {
        c.state.items.clear();
        c.state.curSel = -1;
        c.state.text.clear();
        return 0;
    });
}

int ComboAdd(WindowHandle dialog, int id, const std::string& text) {
    return static_cast<int>(WithControl(
        dialog, id,
        [text](SimControl& c) {
            c.state.items.push_back(text);
            return static_cast<int>(c.state.items.size()) - 1;
        },
        -1));
}

int ComboSetCurSel(WindowHandle dialog, int id, int index) {
    return static_cast<int>(WithControl(
        dialog, id, [index](SimControl& c) { return ComboSelection(c.state, index); }, -1));
}

int ComboGetCurSel(WindowHandle dialog, int id) {
    return static_cast<int>(WithControl(
        dialog, id, [](SimControl& c) { return c.state.curSel; }, -1));
}

int ComboCount(WindowHandle dialog, int id) {
    return static_cast<int>(WithControl(
        dialog, id, [](SimControl& c) { return static_cast<int>(c.state.items.size()); }));
}

std::string ComboText(WindowHandle dialog, int id, int index) {
    return TextOf(dialog, id, [index](SimControl& c) {
        if (index < 0 || index >= static_cast<int>(c.state.items.size())) {
            return std::string();
        }
        return c.state.items[static_cast<size_t>(index)];
    });
}

bool ListDeleteAllItems(WindowHandle dialog, int id) {
    tr::Note("LVM_DELETEALLITEMS",
             [&] { return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id)); });
    return WithControl(dialog, id, [](SimControl& c) {
               c.state.rows.clear();
               return 1;
           }) != 0;
}

int ListColumnCount(WindowHandle dialog, int id) {
    return static_cast<int>(WithControl(
        dialog, id, [](SimControl& c) { return static_cast<int>(c.state.columns.size()); }));
}

bool ListDeleteColumn(WindowHandle dialog, int id, int column) {
    return WithControl(dialog, id, [column](SimControl& c) {
               auto& cols = c.state.columns;
               if (column < 0 || column >= static_cast<int>(cols.size())) {
                   return 0;
               }
               cols.erase(cols.begin() + column);
               c.state.columnWidths.erase(c.state.columnWidths.begin() + column);
               for (auto& r : c.state.rows) {
                   if (column < static_cast<int>(r.texts.size())) {
                       r.texts.erase(r.texts.begin() + column);
                   }
               }
               return 1;
           }) != 0;
}

unsigned ListGetExtendedStyle(WindowHandle dialog, int id) {
    return static_cast<unsigned>(
        WithControl(dialog, id, [](SimControl& c) { return c.state.extendedStyle; }));
}

void ListSetExtendedStyle(WindowHandle dialog, int id, unsigned style) {
    WithControl(dialog, id, [style](SimControl& c) {
        c.state.extendedStyle = style;
        return 0;
    });
}

int ListInsertColumn(WindowHandle dialog, int id, int column, const std::string& heading,
                     int width) {
    return static_cast<int>(WithControl(
        dialog, id,
        [column, heading, width](SimControl& c) {
            auto& cols = c.state.columns;
            int at = std::clamp(column, 0, static_cast<int>(cols.size()));
            cols.insert(cols.begin() + at, heading);
            c.state.columnWidths.insert(c.state.columnWidths.begin() + at, width);
            return at;
        },
        -1));
}

bool ListSetColumnWidth(WindowHandle dialog, int id, int column, int width) {
    return WithControl(dialog, id, [column, width](SimControl& c) {
               if (column < 0 || column >= static_cast<int>(c.state.columnWidths.size())) {
                   return 0;
               }
               c.state.columnWidths[static_cast<size_t>(column)] = width;
               return 1;
           }) != 0;
}

int ListInsertItem(WindowHandle dialog, int id, int index, const std::string& text) {
    tr::Note("LVM_INSERTITEM", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id), std::to_string(index),
                        tr::Q(text));
    });
    return static_cast<int>(WithControl(
        dialog, id,
        [index, text](SimControl& c) {
            auto& rows = c.state.rows;
            int at = std::clamp(index, 0, static_cast<int>(rows.size()));
            rows.insert(rows.begin() + at, sim::ui::ListRow{{text}, 0});
            return at;
        },
        -1));
}

bool ListSetItemText(WindowHandle dialog, int id, int index, int subItem, const std::string& text) {
    tr::Note("LVM_SETITEMTEXT", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id), std::to_string(index),
                        std::to_string(subItem), tr::Q(text));
    });
    return WithControl(dialog, id, [index, subItem, text](SimControl& c) {
               auto& rows = c.state.rows;
               if (index < 0 || index >= static_cast<int>(rows.size()) || subItem < 0) {
                   return 0;
               }
               auto& texts = rows[static_cast<size_t>(index)].texts;
               if (static_cast<int>(texts.size()) <= subItem) {
                   texts.resize(static_cast<size_t>(subItem) + 1);
               }
               texts[static_cast<size_t>(subItem)] = text;
               return 1;
           }) != 0;
}

std::string ListGetItemText(WindowHandle dialog, int id, int index, int subItem) {
    return TextOf(dialog, id, [index, subItem](SimControl& c) {
        auto& rows = c.state.rows;
        if (index < 0 || index >= static_cast<int>(rows.size()) || subItem < 0) {
            return std::string();
        }
        auto& texts = rows[static_cast<size_t>(index)].texts;
        return subItem < static_cast<int>(texts.size()) ? texts[static_cast<size_t>(subItem)]
                                                        : std::string();
    });
}

bool ListSetItemState(WindowHandle dialog, int id, int index, unsigned state, unsigned mask) {
    tr::Note("LVM_SETITEMSTATE", [&] {
        return tr::Args(tr::H(tr::Kind::Window, dialog), std::to_string(id), std::to_string(index),
                        tr::Hex(state), tr::Hex(mask));
    });
    return WithControl(dialog, id, [index, state, mask](SimControl& c) {
               if (index < -1 || index >= static_cast<int>(c.state.rows.size())) {
                   return 0;
               }
               SelectRow(c, index, state, mask);
               return 1;
           }) != 0;
}

unsigned ListGetItemState(WindowHandle dialog, int id, int index, unsigned mask) {
    return static_cast<unsigned>(WithControl(dialog, id, [index, mask](SimControl& c) {
        if (index < 0 || index >= static_cast<int>(c.state.rows.size())) {
            return 0u;
        }
        return c.state.rows[static_cast<size_t>(index)].state & mask;
    }));
}

int ListItemCount(WindowHandle dialog, int id) {
    return static_cast<int>(WithControl(
        dialog, id, [](SimControl& c) { return static_cast<int>(c.state.rows.size()); }));
}

}  // namespace ui::backend

namespace sim::ui {

void Reset() {
    std::lock_guard lock(S().mu);
    S().latest.clear();
    S().shown.clear();
    S().script.clear();
    S().answers.clear();
    S().boxes.clear();
    S().failures.clear();
    S().stall = std::chrono::milliseconds(10000);
    S().answerEveryBox = false;
}

namespace {

void UserAction(int dialog, std::string what, std::function<void(Window&)> run) {
    Enqueue(Action{dialog, std::move(what), nullptr, std::move(run)});
}

// A user can only reach an enabled, visible control.
SimControl* Reachable(Window& w, int id, const std::string& what) {
    std::lock_guard lock(S().mu);
    SimControl* c = FindControl(w, id);
    if (c == nullptr || !c->state.enabled || !c->state.visible) {
        S().failures.push_back(what + ": control " + std::to_string(id) + " of dialog " +
                               std::to_string(w.templateId) +
                               (c == nullptr ? " does not exist" : " is not enabled"));
        return nullptr;
    }
    return c;
}

}  // namespace

void SelectCombo(int dialog, int id, int index) {
    std::string what = "select combo entry " + std::to_string(index);
    UserAction(dialog, what, [id, index, what](Window& w) {
        if (SimControl* c = Reachable(w, id, what)) {
            {
                std::lock_guard lock(S().mu);
                ComboSelection(c->state, index);
            }
            DispatchTo(w, ::ui::wm::Command, CommandParam(id, kComboSelChange), 0);
        }
    });
}

void TypeText(int dialog, int id, const std::string& text) {
    UserAction(dialog, "type text", [id, text](Window& w) {
        if (SimControl* c = Reachable(w, id, "type text")) {
            {
                std::lock_guard lock(S().mu);
                c->state.text = text;
            }
            DispatchTo(w, ::ui::wm::Command, CommandParam(id, kEditChange), 0);
        }
    });
}

void ClickCheck(int dialog, int id) {
    UserAction(dialog, "click check box", [id](Window& w) {
        if (SimControl* c = Reachable(w, id, "click check box")) {
            {
                std::lock_guard lock(S().mu);
                c->state.check = c->state.check == 0 ? 1 : 0;
            }
            DispatchTo(w, ::ui::wm::Command, CommandParam(id, ::ui::notify::ButtonClicked), 0);
        }
    });
}

void SelectListRow(int dialog, int id, int row) {
    UserAction(dialog, "select list row", [id, row](Window& w) {
        if (SimControl* c = Reachable(w, id, "select list row")) {
            std::lock_guard lock(S().mu);
            const unsigned both = ::ui::ListView::StateSelected | ::ui::ListView::StateFocused;
            SelectRow(*c, -1, 0, ::ui::ListView::StateSelected);
            if (row >= 0 && row < static_cast<int>(c->state.rows.size())) {
                SelectRow(*c, row, both, both);
            }
        }
    });
}

void Click(int dialog, int id) {
    std::string what = "click " + std::to_string(id);
    UserAction(dialog, what, [id, what](Window& w) {
        if (Reachable(w, id, what)) {
            DispatchTo(w, ::ui::wm::Command, CommandParam(id, ::ui::notify::ButtonClicked), 0);
        }
    });
}

void Close(int dialog) {
    UserAction(dialog, "close box", [](Window& w) { DispatchTo(w, ::ui::wm::Close, 0, 0); });
}

void PressEnter(int dialog) {
    UserAction(dialog, "press Enter", [](Window& w) {
        int target = ::ui::id::Ok;
        bool enabled = true;
        {
            std::lock_guard lock(S().mu);
            for (auto& c : w.controls) {
                if (strcasecmp(c.state.className.c_str(), "Button") == 0 &&
                    (c.style & style::ButtonTypeMask) == style::DefPushButton) {
                    target = c.id;
                    enabled = c.state.enabled;
                }
            }
        }
        if (enabled) {
            DispatchTo(w, ::ui::wm::Command, CommandParam(target, ::ui::notify::ButtonClicked), 0);
        }
    });
}

void PressEscape(int dialog) {
    UserAction(dialog, "press Escape", [](Window& w) {
        DispatchTo(w, ::ui::wm::Command,
                   CommandParam(::ui::id::Cancel, ::ui::notify::ButtonClicked), 0);
    });
}

void AdvanceClock(int dialog, std::uint32_t milliseconds) {
    UserAction(dialog, "advance the clock", [milliseconds](Window& w) {
        RunClockTo(sys::GetTickCount() + milliseconds, [&w] { return w.ending; });
    });
}

void WaitUntil(int dialog, std::function<bool()> condition, const std::string& what) {
    Enqueue(Action{dialog, what, std::move(condition), [](Window&) {}});
}

void Call(int dialog, std::function<void()> action) {
    UserAction(dialog, "test call", [action](Window&) { action(); });
}

void AnswerMessageBox(const std::string& textPart, int button, int times, std::uint32_t openFor) {
    std::lock_guard lock(S().mu);
    S().answers.push_back(Answer{textPart, button, times, openFor, nullptr, {}});
}

void AnswerMessageBoxWhen(const std::string& textPart, int button, std::function<bool()> until,
                          const std::string& what) {
    std::lock_guard lock(S().mu);
    S().answers.push_back(Answer{textPart, button, 1, 0, std::move(until), what});
}

std::vector<ShownBox> MessageBoxes() {
    std::lock_guard lock(S().mu);
    return S().boxes;
}

std::optional<ControlState> Control(int dialog, int id) {
    std::lock_guard lock(S().mu);
    auto it = S().latest.find(dialog);
    if (it == S().latest.end()) {
        return std::nullopt;
    }
    SimControl* c = FindControl(*it->second, id);
    if (c == nullptr) {
        return std::nullopt;
    }
    return c->state;
}

std::optional<std::string> Caption(int dialog) {
    std::lock_guard lock(S().mu);
    auto it = S().latest.find(dialog);
    if (it == S().latest.end()) {
        return std::nullopt;
    }
    return it->second->caption;
}

bool IsOpen(int dialog) {
    std::lock_guard lock(S().mu);
    auto it = S().latest.find(dialog);
    return it != S().latest.end() && it->second->open;
}

int TimesShown(int dialog) {
    std::lock_guard lock(S().mu);
    auto it = S().shown.find(dialog);
    return it == S().shown.end() ? 0 : it->second;
}

bool TimerRunning(int dialog, std::uintptr_t timerId) {
    std::lock_guard lock(S().mu);
    auto it = S().latest.find(dialog);
    return it != S().latest.end() && it->second->timers.count(timerId) > 0;
}

std::vector<std::string> Failures() {
    std::lock_guard lock(S().mu);
    auto failures = S().failures;
    if (!S().script.empty()) {
        failures.push_back("script not finished; next: " + S().script.front().what);
    }
    return failures;
}

void AnswerEveryBox(bool on) {
    std::lock_guard lock(S().mu);
    S().answerEveryBox = on;
}

void SetStallTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(S().mu);
    S().stall = timeout;
}

}  // namespace sim::ui

namespace sim::detail {
void NameOpenWindows() {
    std::lock_guard lock(S().mu);
    for (const auto& entry : S().open) {
        const int templateId = entry.second->templateId;
        sim::trace::Name(sim::trace::Kind::Window, entry.first,
                         [templateId] { return "dialog " + std::to_string(templateId); });
    }
}

void RecordUiFailure(const std::string& what) {
    std::lock_guard lock(S().mu);
    S().failures.push_back(what);
}
}  // namespace sim::detail
