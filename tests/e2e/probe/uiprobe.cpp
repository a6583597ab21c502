// uiprobe: finds a top-level window by caption and reads or drives its controls for the Wine tests.
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "common/Escaped.h"

namespace {

constexpr int kOk = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;
constexpr int kPending = 3;
constexpr DWORD kPollMs = 25;
// A hung target must not hang the probe: every cross-process send is bounded.
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kRemoteTextMax = 1024;

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != nullptr) {
            CloseHandle(h_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

// Memory inside another process, for messages whose pointers the system does not marshal.
class RemoteMemory {
  public:
    RemoteMemory(HANDLE process, SIZE_T size)
        : process_(process),
          base_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteMemory() {
        if (base_ != nullptr) {
            VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        }
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    char* get() const { return static_cast<char*>(base_); }

  private:
    HANDLE process_;
    void* base_;
};

bool send(HWND w, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
    return SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, result) != 0;
}

std::string controlText(HWND w) {
    DWORD_PTR len = 0;
    if (!send(w, WM_GETTEXTLENGTH, 0, 0, &len)) {
        return {};
    }
    std::string buf(len + 1, '\0');
    DWORD_PTR got = 0;
    if (!send(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), &got)) {
        return {};
    }
    buf.resize(std::min<size_t>(got, len));
    return buf;
}

std::string className(HWND w) {
    char cls[256] = {};
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}

using e2e::Escaped;

void emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

struct TopSearch {
    std::string_view caption;
    const char* cls;
    HWND found;
};

BOOL CALLBACK matchTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TopSearch*>(lp);
    if (!IsWindowVisible(w) || (s->cls != nullptr && className(w) != s->cls)) {
        return TRUE;
    }
    // Top-level captions are read without a message, so a hung window cannot stall the search.
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    if (s->caption == text) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND findTop(std::string_view caption, const char* cls = nullptr) {
    TopSearch s{caption, cls, nullptr};
    EnumWindows(matchTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool sameProcess(HWND a, HWND b) {
    DWORD pa = 0;
    DWORD pb = 0;
    GetWindowThreadProcessId(a, &pa);
    GetWindowThreadProcessId(b, &pb);
    return pa == pb;
}

// A message box: a dialog-class window whose children are only statics and the standard
// buttons IDOK .. IDCONTINUE (1 .. 11), with some text. Our own dialogs all have other controls.
struct Box {
    HWND w;
    std::string caption;
    std::string text;
    std::vector<int> buttons;
};

bool readBox(HWND w, Box* box) {
    if (!IsWindowVisible(w) || className(w) != "#32770") {
        return false;
    }
    Box b{w, {}, {}, {}};
    char caption[512] = {};
    GetWindowTextA(w, caption, sizeof caption);
    b.caption = caption;
    for (HWND c = GetWindow(w, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string cls = className(c);
        const int id = GetDlgCtrlID(c);
        if (_stricmp(cls.c_str(), "Static") == 0) {
            std::string t = controlText(c);
            if (!t.empty()) {
                b.text += b.text.empty() ? t : "\n" + t;
            }
        } else if (_stricmp(cls.c_str(), "Button") == 0 && id >= IDOK && id <= IDCONTINUE) {
            if (IsWindowVisible(c)) {
                b.buttons.push_back(id);
            }
        } else {
            return false;
        }
    }
    if (b.text.empty() || b.buttons.empty()) {
        return false;
    }
    *box = std::move(b);
    return true;
}

BOOL CALLBACK collectBox(HWND w, LPARAM lp) {
    Box b;
    if (readBox(w, &b)) {
        reinterpret_cast<std::vector<Box>*>(lp)->push_back(std::move(b));
    }
    return TRUE;
}

std::vector<Box> messageBoxes() {
    std::vector<Box> boxes;
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

std::string boxLine(const Box& b) {
    std::string line = Escaped(b.caption) + "\t" + Escaped(b.text) + "\t";
    for (size_t i = 0; i < b.buttons.size(); ++i) {
        if (i != 0) {
            line += ',';
        }
        line += std::to_string(b.buttons[i]);
    }
    return line;
}

// The button a box is answered with when the caller does not name one: OK, else Cancel, else
// the first one it has.
int defaultAnswer(const Box& b) {
    for (int want : {IDOK, IDCANCEL}) {
        if (std::find(b.buttons.begin(), b.buttons.end(), want) != b.buttons.end()) {
            return want;
        }
    }
    return b.buttons.front();
}

template <typename Pred>
bool pollUntil(DWORD timeoutMs, Pred ready) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (ready()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(kPollMs);
    }
}

HWND requireTop(std::string_view caption) {
    HWND w = findTop(caption);
    if (w == nullptr) {
        std::fprintf(stderr, "uiprobe: no window \"%.*s\"\n", static_cast<int>(caption.size()),
                     caption.data());
    }
    return w;
}

HWND findItem(std::string_view caption, int id) {
    HWND dlg = findTop(caption);
    return dlg != nullptr ? GetDlgItem(dlg, id) : nullptr;
}

HWND requireItem(std::string_view caption, int id) {
    HWND dlg = requireTop(caption);
    if (dlg == nullptr) {
        return nullptr;
    }
    HWND c = GetDlgItem(dlg, id);
    if (c == nullptr) {
        std::fprintf(stderr, "uiprobe: no control %d\n", id);
    }
    return c;
}

int parseInt(const char* s, bool* ok) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 0);
    *ok = end != s && *end == '\0';
    return static_cast<int>(v);
}

int cmdWait(std::string_view caption, DWORD ms) {
    HWND w = nullptr;
    if (!pollUntil(ms, [&] { return (w = findTop(caption)) != nullptr; })) {
        std::fprintf(stderr, "uiprobe: timeout waiting for \"%.*s\"\n",
                     static_cast<int>(caption.size()), caption.data());
        return kNotFound;
    }
    return kOk;
}

int cmdWaitGone(std::string_view caption, DWORD ms) {
    return pollUntil(ms, [&] { return findTop(caption) == nullptr; }) ? kOk : kNotFound;
}

int cmdDump(std::string_view caption) {
    HWND dlg = requireTop(caption);
    if (dlg == nullptr) {
        return kNotFound;
    }
    // Direct children only, in Z order (the template's order for a dialog).
    for (HWND c = GetWindow(dlg, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        char tail[64];
        std::snprintf(tail, sizeof tail, "\t%d\t%d\t0x%08lX", IsWindowEnabled(c) ? 1 : 0,
                      IsWindowVisible(c) ? 1 : 0,
                      static_cast<unsigned long>(GetWindowLongA(c, GWL_STYLE)));
        emit(std::to_string(GetDlgCtrlID(c)) + "\t" + className(c) + "\t" +
             Escaped(controlText(c)) + tail);
    }
    return kOk;
}

int cmdText(std::string_view caption, int id) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    emit(Escaped(controlText(c)));
    return kOk;
}

int cmdWaitText(std::string_view caption, int id, std::string_view needle, DWORD ms) {
    std::string last;
    bool seen = pollUntil(ms, [&] {
        HWND c = findItem(caption, id);
        if (c == nullptr) {
            return false;
        }
        last = controlText(c);
        return last.find(needle) != std::string::npos;
    });
    emit(Escaped(last));
    return seen ? kOk : kNotFound;
}

int cmdWaitEnabled(std::string_view caption, int id, DWORD ms) {
    return pollUntil(ms,
                     [&] {
                         HWND c = findItem(caption, id);
                         return c != nullptr && IsWindowEnabled(c);
                     })
               ? kOk
               : kNotFound;
}

int cmdChecked(std::string_view caption, int id) {
    HWND c = requireItem(caption, id);
    DWORD_PTR state = 0;
    if (c == nullptr || !send(c, BM_GETCHECK, 0, 0, &state)) {
        return kNotFound;
    }
    emit(std::to_string(state));
    return kOk;
}

int cmdCombo(std::string_view caption, int id) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    DWORD_PTR count = 0;
    DWORD_PTR current = 0;
    if (!send(c, CB_GETCOUNT, 0, 0, &count) || !send(c, CB_GETCURSEL, 0, 0, &current)) {
        return kNotFound;
    }
    for (int i = 0; i < static_cast<int>(count); ++i) {
        // Wine hands the list's Unicode text to an ANSI caller in another process unconverted,
        // so it is asked for in Unicode and converted with the code page both sides share.
        DWORD_PTR len = 0;
        SendMessageTimeoutW(c, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len);
        std::wstring wide(len + 1, L'\0');
        DWORD_PTR got = 0;
        SendMessageTimeoutW(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &got);
        wide.resize(std::wcslen(wide.c_str()));
        std::string item(wide.size() * 2 + 1, '\0');
        int bytes =
            WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), item.data(),
                                static_cast<int>(item.size()), nullptr, nullptr);
        item.resize(std::max(bytes, 0));
        std::string line = std::to_string(i);
        line += static_cast<int>(current) == i ? "\t1\t" : "\t0\t";
        line += Escaped(item);
        emit(line);
    }
    return kOk;
}

int cmdListView(std::string_view caption, int id) {
    HWND lv = requireItem(caption, id);
    if (lv == nullptr) {
        return kNotFound;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(lv, &pid);
    Handle process(OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
        FALSE, pid));
    if (process.get() == nullptr) {
        std::fprintf(stderr, "uiprobe: cannot open process %lu\n", static_cast<unsigned long>(pid));
        return kNotFound;
    }
    RemoteMemory remote(process.get(), sizeof(LVITEMA) + kRemoteTextMax);
    if (remote.get() == nullptr) {
        std::fprintf(stderr, "uiprobe: VirtualAllocEx failed\n");
        return kNotFound;
    }
    DWORD_PTR rows = 0;
    DWORD_PTR header = 0;
    send(lv, LVM_GETITEMCOUNT, 0, 0, &rows);
    send(lv, LVM_GETHEADER, 0, 0, &header);
    DWORD_PTR columns = 0;
    if (header != 0) {
        send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &columns);
    }
    columns = std::max<DWORD_PTR>(columns, 1);

    for (int row = 0; row < static_cast<int>(rows); ++row) {
        DWORD_PTR state = 0;
        send(lv, LVM_GETITEMSTATE, row, LVIS_SELECTED, &state);
        std::string line = std::to_string(row) + "\t" + ((state & LVIS_SELECTED) ? "1" : "0");
        for (int col = 0; col < static_cast<int>(columns); ++col) {
            LVITEMA item{};
            item.iSubItem = col;
            item.pszText = remote.get() + sizeof(LVITEMA);
            item.cchTextMax = kRemoteTextMax;
            char text[kRemoteTextMax + 1] = {};
            DWORD_PTR got = 0;
            if (WriteProcessMemory(process.get(), remote.get(), &item, sizeof item, nullptr) &&
                WriteProcessMemory(process.get(), item.pszText, text, kRemoteTextMax, nullptr) &&
                send(lv, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.get()), &got)) {
                ReadProcessMemory(process.get(), item.pszText, text, kRemoteTextMax, nullptr);
            }
            line += '\t';
            line += Escaped(text);
        }
        emit(line);
    }
    return kOk;
}

int cmdClick(std::string_view caption, int id) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    if (!IsWindowEnabled(c)) {
        std::fprintf(stderr, "uiprobe: control %d is disabled\n", id);
        return kNotFound;
    }
    // Posted: the click may open a modal box, and the probe must come back to answer it.
    return PostMessageA(c, BM_CLICK, 0, 0) ? kOk : kNotFound;
}

int cmdClose(std::string_view caption) {
    HWND dlg = requireTop(caption);
    if (dlg == nullptr) {
        return kNotFound;
    }
    return PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0) ? kOk : kNotFound;
}

int cmdMsgBox(std::string_view caption, int button, DWORD ms) {
    HWND box = nullptr;
    if (!pollUntil(ms, [&] { return (box = findTop(caption, "#32770")) != nullptr; })) {
        std::fprintf(stderr, "uiprobe: no message box \"%.*s\"\n", static_cast<int>(caption.size()),
                     caption.data());
        return kNotFound;
    }
    // The message text is the box's only static with text; the icon is a static without.
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (_stricmp(className(c).c_str(), "Static") == 0) {
            std::string text = controlText(c);
            if (!text.empty()) {
                emit(Escaped(text));
            }
        }
    }
    HWND b = GetDlgItem(box, button);
    if (b == nullptr) {
        std::fprintf(stderr, "uiprobe: message box has no button %d\n", button);
        return kNotFound;
    }
    return PostMessageA(b, BM_CLICK, 0, 0) ? kOk : kNotFound;
}

int cmdEnabled(std::string_view caption, int id) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    emit(IsWindowEnabled(c) ? "1" : "0");
    return kOk;
}

int cmdSetText(std::string_view caption, int id, const std::string& text) {
    HWND c = requireItem(caption, id);
    DWORD_PTR done = 0;
    if (c == nullptr || !send(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &done) ||
        !done) {
        return kNotFound;
    }
    return kOk;
}

// Selects one row of a list view in another process and makes it the focused one; the other
// rows lose their selection. LVITEM is not marshalled, so it goes through the target's memory.
// Picks a combo box entry as the user would: the selection, then CBN_SELCHANGE to the owner.
int cmdPick(std::string_view caption, int id, int row) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    DWORD_PTR count = 0;
    DWORD_PTR now = 0;
    if (!send(c, CB_GETCOUNT, 0, 0, &count) || row < 0 || row >= static_cast<int>(count) ||
        !send(c, CB_SETCURSEL, static_cast<WPARAM>(row), 0, &now) || static_cast<int>(now) != row) {
        std::fprintf(stderr, "uiprobe: no entry %d (combo box has %d)\n", row,
                     static_cast<int>(count));
        return kNotFound;
    }
    DWORD_PTR ignored = 0;
    return send(GetParent(c), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                reinterpret_cast<LPARAM>(c), &ignored)
               ? kOk
               : kNotFound;
}

int cmdSelect(std::string_view caption, int id, int row) {
    HWND lv = requireItem(caption, id);
    if (lv == nullptr) {
        return kNotFound;
    }
    DWORD_PTR rows = 0;
    if (!send(lv, LVM_GETITEMCOUNT, 0, 0, &rows) || row < 0 || row >= static_cast<int>(rows)) {
        std::fprintf(stderr, "uiprobe: no row %d (list has %d)\n", row, static_cast<int>(rows));
        return kNotFound;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(lv, &pid);
    Handle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
    if (process.get() == nullptr) {
        std::fprintf(stderr, "uiprobe: cannot open process %lu\n", static_cast<unsigned long>(pid));
        return kNotFound;
    }
    RemoteMemory remote(process.get(), sizeof(LVITEMA));
    if (remote.get() == nullptr) {
        std::fprintf(stderr, "uiprobe: VirtualAllocEx failed\n");
        return kNotFound;
    }
    auto setState = [&](int index, UINT state) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = state;
        DWORD_PTR ok = 0;
        return WriteProcessMemory(process.get(), remote.get(), &item, sizeof item, nullptr) &&
               send(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(remote.get()), &ok) &&
               ok != 0;
    };
    // Index -1 addresses every row.
    if (!setState(-1, 0) || !setState(row, LVIS_SELECTED | LVIS_FOCUSED)) {
        std::fprintf(stderr, "uiprobe: LVM_SETITEMSTATE failed\n");
        return kNotFound;
    }
    DWORD_PTR state = 0;
    send(lv, LVM_GETITEMSTATE, row, LVIS_SELECTED, &state);
    return (state & LVIS_SELECTED) ? kOk : kNotFound;
}

// Sent, not posted: returns once the click's handler has run to its end, or kPending when it
// is still running after the time given (a modal box or dialog opened by it, for instance).
int cmdClickSync(std::string_view caption, int id, DWORD ms) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    if (!IsWindowEnabled(c)) {
        std::fprintf(stderr, "uiprobe: control %d is disabled\n", id);
        return kNotFound;
    }
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(c, BM_CLICK, 0, 0, SMTO_NORMAL, ms, &result) != 0) {
        return kOk;
    }
    std::fprintf(stderr, "uiprobe: click on %d still being handled after %lu ms\n", id,
                 static_cast<unsigned long>(ms));
    return kPending;
}

// Posts a click, then waits for a window (or a text in one of its controls) and prints the
// milliseconds from the click to the first sight of it.
int cmdClickUntil(std::string_view caption, int id, DWORD ms, std::string_view target, int targetId,
                  std::string_view needle) {
    HWND c = requireItem(caption, id);
    if (c == nullptr) {
        return kNotFound;
    }
    if (!IsWindowEnabled(c)) {
        std::fprintf(stderr, "uiprobe: control %d is disabled\n", id);
        return kNotFound;
    }
    LARGE_INTEGER freq;
    LARGE_INTEGER t0;
    LARGE_INTEGER t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    if (!PostMessageA(c, BM_CLICK, 0, 0)) {
        return kNotFound;
    }
    bool seen = pollUntil(ms, [&] {
        if (targetId < 0) {
            return findTop(target) != nullptr;
        }
        HWND t = findItem(target, targetId);
        return t != nullptr && controlText(t).find(needle) != std::string::npos;
    });
    QueryPerformanceCounter(&t1);
    const double elapsed = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                           static_cast<double>(freq.QuadPart);
    char line[64];
    std::snprintf(line, sizeof line, "%.0f", elapsed);
    emit(line);
    return seen ? kOk : kNotFound;
}

int cmdBoxes() {
    for (const Box& b : messageBoxes()) {
        emit(boxLine(b));
    }
    return kOk;
}

// Waits for a message box whose text contains the needle (any box for an empty needle),
// prints it and presses the button given, or its default answer for 0.
int cmdAnswer(std::string_view needle, int button, DWORD ms) {
    Box found{};
    bool seen = pollUntil(ms, [&] {
        for (Box& b : messageBoxes()) {
            if (b.text.find(needle) != std::string::npos) {
                found = std::move(b);
                return true;
            }
        }
        return false;
    });
    if (!seen) {
        std::fprintf(stderr, "uiprobe: no message box with \"%.*s\"\n",
                     static_cast<int>(needle.size()), needle.data());
        return kNotFound;
    }
    emit(boxLine(found));
    const int press = button != 0 ? button : defaultAnswer(found);
    HWND b = GetDlgItem(found.w, press);
    if (b == nullptr) {
        std::fprintf(stderr, "uiprobe: message box has no button %d\n", press);
        return kNotFound;
    }
    return PostMessageA(b, BM_CLICK, 0, 0) ? kOk : kNotFound;
}

// Waits until a control of a window is enabled, answering every message box of the same
// process meanwhile with its default answer. Prints each box answered and, at the end, the
// milliseconds waited.
int cmdWaitReady(std::string_view caption, int id, DWORD ms) {
    const DWORD start = GetTickCount();
    std::vector<HWND> answered;
    bool ready = pollUntil(ms, [&] {
        HWND dlg = findTop(caption);
        if (dlg == nullptr) {
            return false;
        }
        HWND c = GetDlgItem(dlg, id);
        if (c != nullptr && IsWindowEnabled(c)) {
            return true;
        }
        for (const Box& b : messageBoxes()) {
            if (sameProcess(b.w, dlg) &&
                std::find(answered.begin(), answered.end(), b.w) == answered.end()) {
                const int press = defaultAnswer(b);
                emit("box\t" + boxLine(b) + "\t" + std::to_string(press));
                PostMessageA(GetDlgItem(b.w, press), BM_CLICK, 0, 0);
                answered.push_back(b.w);
            }
        }
        return false;
    });
    emit((ready ? "ready\t" : "timeout\t") + std::to_string(GetTickCount() - start));
    return ready ? kOk : kNotFound;
}

int usage() {
    std::fputs(
        "usage: uiprobe wait <caption> <ms>\n"
        "       uiprobe waitgone <caption> <ms>\n"
        "       uiprobe dump <caption>\n"
        "       uiprobe text <caption> <id>\n"
        "       uiprobe waittext <caption> <id> <substring> <ms>\n"
        "       uiprobe waitenabled <caption> <id> <ms>\n"
        "       uiprobe checked <caption> <id>\n"
        "       uiprobe combo <caption> <id>\n"
        "       uiprobe listview <caption> <id>\n"
        "       uiprobe click <caption> <id>\n"
        "       uiprobe close <caption>\n"
        "       uiprobe msgbox <caption-of-box> <button-id> <ms>\n"
        "       uiprobe enabled <caption> <id>\n"
        "       uiprobe settext <caption> <id> <text>\n"
        "       uiprobe select <caption> <list-view-id> <row>\n"
        "       uiprobe pick <caption> <combo-id> <row>\n"
        "       uiprobe clicksync <caption> <id> <ms>    (3: still being handled)\n"
        "       uiprobe clickuntil <caption> <id> <ms> <target-caption> [<target-id> <text>]\n"
        "       uiprobe boxes\n"
        "       uiprobe answer <text-in-box> <button-id or 0> <ms>\n"
        "       uiprobe waitready <caption> <id> <ms>\n",
        stderr);
    return kUsage;
}

int run(const std::vector<std::string>& a) {
    if (a.size() == 1 && a[0] == "boxes") {
        return cmdBoxes();
    }
    if (a.size() < 2) {
        return usage();
    }
    const std::string& cmd = a[0];
    const std::string& caption = a[1];
    bool ok = true;
    auto num = [&](size_t i) {
        bool good = false;
        int v = i < a.size() ? parseInt(a[i].c_str(), &good) : 0;
        ok = ok && good;
        return v;
    };
    auto is = [&](const char* name, size_t argc) { return cmd == name && a.size() == argc; };

    int result = kUsage;
    if (is("wait", 3)) {
        int ms = num(2);
        result = ok ? cmdWait(caption, ms) : kUsage;
    } else if (is("waitgone", 3)) {
        int ms = num(2);
        result = ok ? cmdWaitGone(caption, ms) : kUsage;
    } else if (is("dump", 2)) {
        result = cmdDump(caption);
    } else if (is("text", 3)) {
        int id = num(2);
        result = ok ? cmdText(caption, id) : kUsage;
    } else if (is("waittext", 5)) {
        int id = num(2);
        int ms = num(4);
        result = ok ? cmdWaitText(caption, id, a[3], ms) : kUsage;
    } else if (is("waitenabled", 4)) {
        int id = num(2);
        int ms = num(3);
        result = ok ? cmdWaitEnabled(caption, id, ms) : kUsage;
    } else if (is("checked", 3)) {
        int id = num(2);
        result = ok ? cmdChecked(caption, id) : kUsage;
    } else if (is("combo", 3)) {
        int id = num(2);
        result = ok ? cmdCombo(caption, id) : kUsage;
    } else if (is("listview", 3)) {
        int id = num(2);
        result = ok ? cmdListView(caption, id) : kUsage;
    } else if (is("click", 3)) {
        int id = num(2);
        result = ok ? cmdClick(caption, id) : kUsage;
    } else if (is("close", 2)) {
        result = cmdClose(caption);
    } else if (is("msgbox", 4)) {
        int id = num(2);
        int ms = num(3);
        result = ok ? cmdMsgBox(caption, id, ms) : kUsage;
    } else if (is("enabled", 3)) {
        int id = num(2);
        result = ok ? cmdEnabled(caption, id) : kUsage;
    } else if (is("settext", 4)) {
        int id = num(2);
        result = ok ? cmdSetText(caption, id, a[3]) : kUsage;
    } else if (is("select", 4)) {
        int id = num(2);
        int row = num(3);
        result = ok ? cmdSelect(caption, id, row) : kUsage;
    } else if (is("pick", 4)) {
        int id = num(2);
        int row = num(3);
        result = ok ? cmdPick(caption, id, row) : kUsage;
    } else if (is("clicksync", 4)) {
        int id = num(2);
        int ms = num(3);
        result = ok ? cmdClickSync(caption, id, ms) : kUsage;
    } else if (is("clickuntil", 5) || is("clickuntil", 7)) {
        int id = num(2);
        int ms = num(3);
        int targetId = a.size() == 7 ? num(5) : -1;
        result =
            ok ? cmdClickUntil(caption, id, ms, a[4], targetId, a.size() == 7 ? a[6] : "") : kUsage;
    } else if (is("answer", 4)) {
        int id = num(2);
        int ms = num(3);
        result = ok ? cmdAnswer(caption, id, ms) : kUsage;
    } else if (is("waitready", 4)) {
        int id = num(2);
        int ms = num(3);
        result = ok ? cmdWaitReady(caption, id, ms) : kUsage;
    }
    return result == kUsage ? usage() : result;
}

}  // namespace

int main(int argc, char** argv) {
    // Raw bytes out: no CRLF translation, no code-page conversion.
    _setmode(_fileno(stdout), _O_BINARY);
    int rc = run(std::vector<std::string>(argv + 1, argv + argc));
    std::fflush(stdout);
    return rc;
}
