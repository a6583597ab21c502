// The test-facing side of the simulated window layer: a script that plays the user, answers to
// message boxes, and a view of every control of every dialog shown.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Window.h"

namespace sim::ui {

void Reset();  // no script, no answers, no windows, no recorded boxes or failures

// A scripted user action runs, in the order queued, in the modal loop of the dialog with the
// given template id once that dialog is the innermost one open on its thread.
void SelectCombo(int dialog, int id, int index);  // as the user: sets the selection, CBN_SELCHANGE
void TypeText(int dialog, int id, const std::string& text);
void ClickCheck(int dialog, int id);                        // toggles a check box
void SelectListRow(int dialog, int id, int row);            // -1 clears the selection
void Click(int dialog, int id);                             // BN_CLICKED if the button is enabled
void Close(int dialog);                                     // the close box: WM_CLOSE
void PressEnter(int dialog);                                // the dialog manager's IDOK
void PressEscape(int dialog);                               // the dialog manager's IDCANCEL
void AdvanceClock(int dialog, std::uint32_t milliseconds);  // due timers fire in order
void WaitUntil(int dialog, std::function<bool()> condition, const std::string& what);
void Call(int dialog, std::function<void()> action);  // any test code, on the dialog's thread

// Answers message boxes whose text contains `textPart`, `times` times, in the order shown. A box
// is a modal loop of its own: it stays open `openFor` simulated milliseconds (the clock moves on,
// and the timers of the thread's dialogs fire inside it, re-entrantly, as they fall due) and
// handles messages sent to the thread's windows. A box nobody answered takes its default button
// and is reported in Failures().
void AnswerMessageBox(const std::string& textPart, int button, int times = 1,
                      std::uint32_t openFor = 0);
// Answers one box once `until` holds (in real time); meanwhile it handles sends and due timers.
void AnswerMessageBoxWhen(const std::string& textPart, int button, std::function<bool()> until,
                          const std::string& what);

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned flags = 0;
    int answer = 0;
    bool scripted = false;  // false: no answer was queued, the default button was taken (a failure)
    bool ownedByDialog = false;
};
std::vector<ShownBox> MessageBoxes();

struct ListRow {
    std::vector<std::string> texts;
    unsigned state = 0;
};

struct ControlState {
    std::string className;
    std::string text;
    bool enabled = true;
    bool visible = true;
    int check = 0;
    int position = 0;
    std::vector<int> positions;      // progress bar: every position set, in order
    std::vector<std::string> items;  // combo box
    int curSel = -1;
    std::vector<std::string> columns;  // list view
    std::vector<int> columnWidths;
    std::vector<ListRow> rows;
    unsigned extendedStyle = 0;
};

// The control as it is now, or as it was when its dialog closed (the latest dialog shown with
// that template); nothing when no such dialog or control was ever shown.
std::optional<ControlState> Control(int dialog, int id);
std::optional<std::string> Caption(int dialog);
bool IsOpen(int dialog);
int TimesShown(int dialog);
bool TimerRunning(int dialog, std::uintptr_t timerId);

// Anything the simulated window layer found wrong: a stalled script (a dialog that opens with
// nothing left that could close it fails at once), a click on a disabled control, an action for
// a dialog that never opened, a message box nobody answered. Tests expect this to be empty.
std::vector<std::string> Failures();

// How long the modal loop waits with nothing to do before it gives up on the script, and how
// long a send waits for a dialog thread that does not handle messages.
void SetStallTimeout(std::chrono::milliseconds timeout);

// For fault sweeps, which cannot script every box: a box nobody answered takes its default
// button (Ok, No, Cancel) without being reported in Failures(). Off after Reset.
void AnswerEveryBox(bool on);

}  // namespace sim::ui
