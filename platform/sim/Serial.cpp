// The simulated serial devices, events and waits; the model of time and threads is described in
// SimSerial.h.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Files.h"
#include "platform/Handle.h"
#include "platform/Serial.h"
#include "platform/sim/Blocking.h"
#include "platform/sim/Handles.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Sim.h"
#include "platform/sim/SimFileSecurity.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/Trace.h"

namespace {

using sim::serial::Bytes;
using sys::Dword;
namespace tr = sim::trace;

constexpr Dword kNoAccess = 998;       // ERROR_NOACCESS: a null pointer the call writes to
constexpr Dword kIoIncomplete = 996;   // ERROR_IO_INCOMPLETE
constexpr Dword kMrMidNotFound = 317;  // ERROR_MR_MID_NOT_FOUND: no text for the code
constexpr Dword kTooManyWaits = 64;    // MAXIMUM_WAIT_OBJECTS
constexpr std::uintptr_t kStatusPending = 0x103;
constexpr std::uintptr_t kStatusCancelled = 0xC0000120;
constexpr std::uintptr_t kStatusTimeout = 0x102;  // a success status: the transfer ended short
constexpr Dword kMaxDword = 0xFFFFFFFF;

struct EventObject {
    bool manual = false;
    bool signalled = false;
    std::string name;
};

struct Rule {
    Bytes probe;
    Bytes reply;
    Dword delay = 0;
    Dword baud = 0;
};

sys::DCB DefaultDcb() {
    sys::DCB dcb;
    dcb.BaudRate = 9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = 1;
    dcb.fRtsControl = 1;
    dcb.ByteSize = 8;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

struct Device {
    bool present = true;
    Dword openError = 0;
    std::vector<Rule> rules;
    Bytes written;
    Bytes unanswered;     // written since the last answer, searched for a probe
    Dword writeTime = 0;  // simulated ms an overlapped write takes; 0: done at once
    void* openHandle = nullptr;
    sys::DCB dcb = DefaultDcb();
    bool cts = true;  // the lines the device holds on: ready to take data
    bool dsr = true;
};

struct PendingWait {
    Dword* events = nullptr;
    sys::OVERLAPPED* overlapped = nullptr;
};

struct PendingRead {
    std::uint8_t* buffer = nullptr;
    Dword size = 0;
    Dword got = 0;
    sys::OVERLAPPED* overlapped = nullptr;  // null: a blocking read of a thread of the caller's
    std::optional<Dword> totalDeadline;
    Dword interval = 0;    // 0: none
    bool anyByte = false;  // ends with the first byte (MAXDWORD interval and multiplier)
    Dword lastByte = 0;
    bool done = false;
    std::uintptr_t status = 0;
};

struct PendingWrite {
    sys::OVERLAPPED* overlapped = nullptr;
    Bytes bytes;
    std::optional<Dword> due;  // none: held by flow control with no write timeout
    bool held = false;         // by CTS or DSR flow control: at `due` it times out unsent
};

struct Port {
    int number = 0;
    bool overlapped = false;
    sys::COMMTIMEOUTS timeouts;
    Dword mask = 0;
    Dword history = 0;  // events in the mask that fired while no wait was pending
    std::deque<std::uint8_t> in;
    std::optional<PendingWait> wait;
    std::deque<std::shared_ptr<PendingRead>> reads;
    std::deque<PendingWrite> writes;  // oldest first; all due at their own time
};

struct Delivery {
    int number = 0;
    void* handle = nullptr;  // null: whichever handle has the device open then
    Bytes bytes;
    Dword events = 0;  // line events (EV_CTS, EV_BREAK...) that fire with it
};

struct State {
    std::mutex mu;
    std::condition_variable cv;
    std::map<void*, std::shared_ptr<EventObject>> events;  // by handle
    std::map<int, Device> devices;
    std::map<void*, Port> ports;  // by handle
    std::multimap<Dword, Delivery> due;
};

State& S() {
    static State state;
    return state;
}

bool Injected(const char* call) {
    sim::CountCall(call);
    return sim::ShouldFail(call);
}

// A change a waiting thread may be waiting for. Caller holds S().mu.
void Changed() {
    S().cv.notify_all();
    sim::detail::WakeSettle();
}

Port* FindPort(void* handle) {
    auto it = S().ports.find(handle);
    return it == S().ports.end() ? nullptr : &it->second;
}

EventObject* FindEvent(void* handle) {
    auto it = S().events.find(handle);
    return it == S().events.end() ? nullptr : it->second.get();
}

void SignalLocked(void* event) {
    if (auto* e = FindEvent(event)) {
        e->signalled = true;
        Changed();
    }
}

// The I/O manager resets the OVERLAPPED's event when an operation starts.
void StartIo(sys::OVERLAPPED* overlapped) {
    if (auto* e = FindEvent(overlapped->hEvent)) {
        e->signalled = false;
    }
    overlapped->Internal = kStatusPending;
    overlapped->InternalHigh = 0;
}

void CompleteIo(sys::OVERLAPPED* overlapped, std::uintptr_t status, std::uintptr_t count) {
    overlapped->Internal = status;
    overlapped->InternalHigh = count;
    SignalLocked(overlapped->hEvent);
}

void FireLocked(Port& port, Dword events) {
    events &= port.mask;
    if (events == 0) {
        return;
    }
    if (port.wait) {
        *port.wait->events = events;
        if (port.wait->overlapped != nullptr) {
            CompleteIo(port.wait->overlapped, 0, sizeof(Dword));
        }
        port.wait.reset();
        Changed();
    } else {
        port.history |= events;
    }
}

// Moves queued bytes into the pending reads, oldest first; completes the full ones.
void ServeReadsLocked(Port& port, Dword now) {
    while (!port.reads.empty()) {
        auto& read = *port.reads.front();
        bool moved = false;
        while (read.got < read.size && !port.in.empty()) {
            read.buffer[read.got++] = port.in.front();
            port.in.pop_front();
            moved = true;
        }
        if (moved) {
            read.lastByte = now;
        }
        if (read.got < read.size && !(read.anyByte && read.got > 0)) {
            return;
        }
        read.done = true;
        if (read.overlapped != nullptr) {
            CompleteIo(read.overlapped, 0, read.got);
        }
        port.reads.pop_front();
        Changed();
    }
}

// A total timeout's end (COMMTIMEOUTS): the constant plus the multiplier times the bytes, from
// `now`; clamped where the sum would wrap.
Dword TotalDeadline(Dword now, Dword multiplier, Dword constant, Dword bytes) {
    const std::uint64_t total = std::uint64_t{constant} + std::uint64_t{multiplier} * bytes;
    return static_cast<Dword>(std::min<std::uint64_t>(now + total, kMaxDword));
}

std::optional<Dword> ReadDeadline(const PendingRead& read) {
    std::optional<Dword> deadline = read.totalDeadline;
    if (read.interval != 0 && read.got > 0) {
        const Dword gap = read.lastByte + read.interval;
        deadline = deadline ? std::min(*deadline, gap) : gap;
    }
    return deadline;
}

void ArriveLocked(Port& port, const Bytes& bytes, Dword now) {
    if (bytes.empty()) {
        return;
    }
    const sys::DCB& dcb = S().devices[port.number].dcb;
    bool flag = false;
    for (auto b : bytes) {
        port.in.push_back(b);
        flag = flag || static_cast<char>(b) == dcb.EvtChar;
    }
    ServeReadsLocked(port, now);
    FireLocked(port, sys::comm::EvRxChar | (flag ? sys::comm::EvRxFlag : 0));
    Changed();
}

// The device gets written bytes; a probe it knows schedules its reply.
void DeviceTakesLocked(Port& port, void* handle, const Bytes& bytes) {
    Device& dev = S().devices[port.number];
    dev.written.insert(dev.written.end(), bytes.begin(), bytes.end());
    dev.unanswered.insert(dev.unanswered.end(), bytes.begin(), bytes.end());
    for (const Rule& rule : dev.rules) {
        auto hit = std::search(dev.unanswered.begin(), dev.unanswered.end(), rule.probe.begin(),
                               rule.probe.end());
        if (rule.probe.empty() || hit == dev.unanswered.end()) {
            continue;
        }
        dev.unanswered.erase(dev.unanswered.begin(), hit + static_cast<long>(rule.probe.size()));
        if (rule.baud == 0 || rule.baud == dev.dcb.BaudRate) {
            S().due.emplace(sim::Now() + rule.delay, Delivery{port.number, handle, rule.reply});
        }
        break;
    }
}

// Cancels what is pending on the port: 995 (ERROR_OPERATION_ABORTED) for each.
void CancelWritesLocked(Port& port) {
    for (auto& w : port.writes) {
        CompleteIo(w.overlapped, kStatusCancelled, 0);
    }
    port.writes.clear();
}

// Delivers what is due at `now`, and ends reads whose timeouts have passed.
void DeliverLocked(Dword now) {
    for (auto& [handle, port] : S().ports) {
        while (!port.writes.empty() && port.writes.front().due && *port.writes.front().due <= now) {
            PendingWrite w = std::move(port.writes.front());
            port.writes.pop_front();
            if (w.held) {
                CompleteIo(w.overlapped, kStatusTimeout, 0);  // nothing went out
                continue;
            }
            DeviceTakesLocked(port, handle, w.bytes);
            CompleteIo(w.overlapped, 0, w.bytes.size());
            FireLocked(port, sys::comm::EvTxEmpty);
        }
    }
    while (!S().due.empty() && S().due.begin()->first <= now) {
        Delivery d = std::move(S().due.begin()->second);
        S().due.erase(S().due.begin());
        auto dev = S().devices.find(d.number);
        void* handle = dev == S().devices.end() ? nullptr : dev->second.openHandle;
        if (handle == nullptr || (d.handle != nullptr && d.handle != handle)) {
            continue;  // the port was closed: what the device sent is lost
        }
        ArriveLocked(*FindPort(handle), d.bytes, now);
        if (d.events != 0) {
            FireLocked(*FindPort(handle), d.events);
        }
    }
    for (auto& [handle, port] : S().ports) {
        while (!port.reads.empty()) {
            auto& read = *port.reads.front();
            auto deadline = ReadDeadline(read);
            if (!deadline || *deadline > now) {
                break;
            }
            read.done = true;
            if (read.overlapped != nullptr) {
                CompleteIo(read.overlapped, 0, read.got);
            }
            port.reads.pop_front();
            Changed();
        }
    }
}

std::optional<Dword> NextDueLocked() {
    std::optional<Dword> next;
    if (!S().due.empty()) {
        next = S().due.begin()->first;
    }
    for (auto& [handle, port] : S().ports) {
        const auto& write = port.writes;
        if (!write.empty() && write.front().due && (!next || *write.front().due < *next)) {
            next = write.front().due;
        }
        for (auto& read : port.reads) {
            if (auto d = ReadDeadline(*read); d && (!next || *d < *next)) {
                next = d;
            }
        }
    }
    return next;
}

// Runs `satisfied` (under the lock) until it holds or the simulated deadline passes, moving the
// clock as Sleep would. Returns whether it held. Called without the lock.
bool TimedWait(Dword milliseconds, const std::function<bool()>& satisfied) {
    // Clamped, not wrapped: a long timeout must not end before it began.
    const Dword deadline = static_cast<Dword>(
        std::min<std::uint64_t>(std::uint64_t{sim::Now()} + milliseconds, kMaxDword));
    {
        std::lock_guard lock(S().mu);
        if (satisfied()) {
            return true;
        }
    }
    if (milliseconds == 0) {
        return false;
    }
    sim::detail::Settle();
    for (;;) {
        std::optional<Dword> next;
        {
            std::lock_guard lock(S().mu);
            if (satisfied()) {
                return true;
            }
            if (sim::Now() >= deadline) {
                return false;
            }
            next = NextDueLocked();
        }
        const Dword step = next && *next<deadline&& * next> sim::Now() ? *next : deadline;
        sim::Advance(step - sim::Now());
    }
}

// Blocks until `satisfied` holds (under the lock). Called with the lock held in `lock`.
void InfiniteWait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& satisfied) {
    if (satisfied()) {
        return;
    }
    lock.unlock();
    {
        sim::detail::Blocked blocked([&satisfied] {
            std::lock_guard inner(S().mu);
            return satisfied();
        });
        lock.lock();
        S().cv.wait(lock, satisfied);
        lock.unlock();  // the Blocked ends without our lock, which its test takes
    }
    lock.lock();
}

// "COM5", "COM5:" (ports 1 to 9 only, as DOS device names) or "\\.\COM12": the port number.
std::optional<int> ComNumber(const std::string& name) {
    std::string s = sim::detail::Lower(name);
    bool device = false;
    if (s.rfind("\\\\.\\", 0) == 0) {
        s = s.substr(4);
        device = true;
    }
    if (s.rfind("com", 0) != 0) {
        return std::nullopt;
    }
    s = s.substr(3);
    if (!device && !s.empty() && s.back() == ':') {
        s.pop_back();
    }
    if (s.empty() || s.size() > 3 || s[0] == '0' ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int n = std::stoi(s);
    if (!device && n > 9) {
        return std::nullopt;  // COM10 and up need the \\.\ form
    }
    return n;
}

void ClosePort(void* handle) {
    std::lock_guard lock(S().mu);
    auto it = S().ports.find(handle);
    if (it == S().ports.end()) {
        return;
    }
    Port& port = it->second;
    // Closing cancels what is pending on the handle: 995 (ERROR_OPERATION_ABORTED).
    if (port.wait && port.wait->overlapped != nullptr) {
        CompleteIo(port.wait->overlapped, kStatusCancelled, 0);
    }
    for (auto& read : port.reads) {
        read->done = true;
        read->status = kStatusCancelled;
        if (read->overlapped != nullptr) {
            CompleteIo(read->overlapped, kStatusCancelled, read->got);
        }
    }
    CancelWritesLocked(port);
    auto dev = S().devices.find(port.number);
    if (dev != S().devices.end() && dev->second.openHandle == handle) {
        dev->second.openHandle = nullptr;
    }
    S().ports.erase(it);
    Changed();
}

void CloseEvent(void* handle) {
    std::lock_guard lock(S().mu);
    S().events.erase(handle);
    Changed();
}

// The port for a comm call, or null with 6 (ERROR_INVALID_HANDLE) set. Caller holds the lock.
Port* PortOrFail(void* handle) {
    Port* port = FindPort(handle);
    if (port == nullptr) {
        sys::SetLastError(sys::err::InvalidHandle);
    }
    return port;
}

// The port of a ReadFile or WriteFile, or null with the last error set: 6 for a handle that is
// no open port, 87 for an overlapped handle without its OVERLAPPED, 998 (ERROR_NOACCESS) with
// neither a count nor an OVERLAPPED to report the transfer in. Caller holds the lock.
Port* TransferPortOrFail(void* handle, const sys::Dword* count, const sys::OVERLAPPED* overlapped) {
    Port* port = PortOrFail(handle);
    if (port == nullptr) {
        return nullptr;
    }
    if (port->overlapped && overlapped == nullptr) {
        sys::SetLastError(sys::err::InvalidParameter);
        return nullptr;
    }
    if (count == nullptr && overlapped == nullptr) {
        sys::SetLastError(kNoAccess);
        return nullptr;
    }
    return port;
}

// A comm call on one port: counted, failed when injected, 6 for a handle that is no open port,
// 998 (ERROR_NOACCESS) for a null record it must read or write; else f(port) under the lock.
template <class T, class F>
int OnPort(const char* call, void* file, T* record, F f) {
    if (Injected(call)) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    Port* port = PortOrFail(file);
    if (port == nullptr) {
        return 0;
    }
    if (record == nullptr) {
        sys::SetLastError(kNoAccess);
        return 0;
    }
    return f(*port);
}

constexpr int kNoRecord = 0;  // for the calls that take none

// The mode command's words in BuildCommDCBA's text, applied to a copy of the caller's block.
std::string LowerWord(const std::string& s) {
    return sim::detail::Lower(s);
}

std::optional<Dword> ParseBaud(const std::string& v) {
    if (v.empty() || v.size() > 9 ||
        !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    // The mode command's two-digit short forms.
    static const std::map<std::string, Dword> shortForms = {
        {"11", 110},  {"15", 150},  {"30", 300},  {"60", 600},   {"12", 1200},
        {"24", 2400}, {"48", 4800}, {"96", 9600}, {"19", 19200},
    };
    auto it = shortForms.find(v);
    return it != shortForms.end() ? it->second : static_cast<Dword>(std::stoul(v));
}

std::optional<std::uint8_t> ParseParity(const std::string& v) {
    static const std::string letters = "noems";
    if (v.size() != 1 || letters.find(v[0]) == std::string::npos) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(letters.find(v[0]));
}

std::optional<std::uint8_t> ParseData(const std::string& v) {
    if (v.size() != 1 || v[0] < '5' || v[0] > '8') {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(v[0] - '0');
}

std::optional<std::uint8_t> ParseStop(const std::string& v) {
    if (v == "1") {
        return 0;
    }
    if (v == "1.5") {
        return 1;
    }
    if (v == "2") {
        return 2;
    }
    return std::nullopt;
}

std::optional<bool> ParseOnOff(const std::string& v) {
    if (v == "on") {
        return true;
    }
    if (v == "off") {
        return false;
    }
    return std::nullopt;
}

// "baud[,parity[,data[,stop[,x|p]]]]"
bool ParseOldForm(const std::string& text, sys::DCB& dcb) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (parts.size() > 5) {
        return false;
    }
    auto baud = ParseBaud(parts[0]);
    if (!baud) {
        return false;
    }
    dcb.BaudRate = *baud;
    if (*baud == 110) {
        dcb.StopBits = 2;
    }
    if (parts.size() > 1 && !parts[1].empty()) {
        auto parity = ParseParity(parts[1]);
        if (!parity) {
            return false;
        }
        dcb.Parity = *parity;
    }
    if (parts.size() > 2 && !parts[2].empty()) {
        auto data = ParseData(parts[2]);
        if (!data) {
            return false;
        }
        dcb.ByteSize = *data;
    }
    if (parts.size() > 3 && !parts[3].empty()) {
        auto stop = ParseStop(parts[3]);
        if (!stop) {
            return false;
        }
        dcb.StopBits = *stop;
    }
    const std::string flow = parts.size() > 4 ? parts[4] : "";
    if (!flow.empty() && flow != "x" && flow != "p") {
        return false;
    }
    // The old form sets the flow control members as BuildCommDCB's documentation lists.
    dcb.fInX = dcb.fOutX = flow == "x" ? 1 : 0;
    dcb.fOutxDsrFlow = dcb.fOutxCtsFlow = flow == "p" ? 1 : 0;
    dcb.fDtrControl = flow == "p" ? 2 : 1;
    dcb.fRtsControl = flow == "p" ? 2 : 1;
    return true;
}

// Changes only what the text names, flow control included; the stop bits alone always get a value.
bool ParseNewForm(const std::string& text, sys::DCB& dcb) {
    bool stopNamed = false;
    bool baud110 = false;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        auto end = text.find(' ', pos);
        const std::string word = text.substr(pos, end == std::string::npos ? end : end - pos);
        pos = end == std::string::npos ? text.size() : end;
        const auto eq = word.find('=');
        if (eq == std::string::npos || word.find(',') != std::string::npos) {
            return false;
        }
        const std::string key = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (key == "baud") {
            auto v = ParseBaud(value);
            if (!v) {
                return false;
            }
            dcb.BaudRate = *v;
            baud110 = *v == 110;
        } else if (key == "parity") {
            auto v = ParseParity(value);
            if (!v) {
                return false;
            }
            dcb.Parity = *v;
        } else if (key == "data") {
            auto v = ParseData(value);
            if (!v) {
                return false;
            }
            dcb.ByteSize = *v;
        } else if (key == "stop") {
            auto v = ParseStop(value);
            if (!v) {
                return false;
            }
            dcb.StopBits = *v;
            stopNamed = true;
        } else if (key == "dtr" || key == "rts") {
            static const std::map<std::string, int> modes = {
                {"off", 0}, {"on", 1}, {"hs", 2}, {"tg", 3}};
            auto it = modes.find(value);
            if (it == modes.end() || (key == "dtr" && value == "tg")) {
                return false;
            }
            (key == "dtr" ? dcb.fDtrControl : dcb.fRtsControl) = it->second & 3;
        } else {
            auto v = ParseOnOff(value);
            if (!v) {
                return false;
            }
            if (key == "xon") {
                dcb.fInX = dcb.fOutX = *v ? 1 : 0;
            } else if (key == "odsr") {
                dcb.fOutxDsrFlow = *v ? 1 : 0;
            } else if (key == "octs") {
                dcb.fOutxCtsFlow = *v ? 1 : 0;
            } else if (key == "idsr") {
                dcb.fDsrSensitivity = *v ? 1 : 0;
            } else if (key != "to") {  // the timeout switch has no place in a DCB
                return false;
            }
        }
    }
    if (!stopNamed) {
        dcb.StopBits = baud110 ? 2 : 0;  // two at 110 baud, as the mode command, else one
    }
    return true;
}

bool ParseDefinition(const std::string& definition, sys::DCB& dcb) {
    std::string text = LowerWord(definition);
    if (text.empty() || text[0] == ' ') {
        return false;
    }
    // An optional device name, "COMn" or "COMn:", before the settings.
    if (text.rfind("com", 0) == 0) {
        std::string::size_type i = 3;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        if (i == 3) {
            return false;
        }
        if (i < text.size() && text[i] == ':') {
            ++i;
        }
        while (i < text.size() && text[i] == ' ') {
            ++i;
        }
        text = text.substr(i);
    }
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        return ParseOldForm(text, dcb);
    }
    return ParseNewForm(text, dcb);
}

}  // namespace

namespace sim::detail {

void ResetSerial() {
    std::lock_guard lock(S().mu);
    S().events.clear();
    S().ports.clear();
    S().devices.clear();
    S().due.clear();
    S().devices[1] = Device{};
    Changed();
}

std::optional<sys::Dword> NextSerialDue() {
    std::lock_guard lock(S().mu);
    return NextDueLocked();
}

void DeliverSerial(sys::Dword now) {
    std::lock_guard lock(S().mu);
    DeliverLocked(now);
}

}  // namespace sim::detail

namespace sys {

void* InvalidHandleValue() {
    return reinterpret_cast<void*>(~std::uintptr_t{0});
}

void* CreateFileA(const char* name, Dword access, Dword shareMode, void* /*security*/,
                  Dword creation, Dword flags, void* /*templateFile*/) {
    tr::Call trace("CreateFileA", [&] {
        return tr::Args(tr::Q(name), tr::Hex(access), tr::Hex(shareMode), std::to_string(creation),
                        tr::Hex(flags));
    });
    if (Injected("CreateFileA")) {
        return InvalidHandleValue();
    }
    auto number = name == nullptr ? std::nullopt : ComNumber(name);
    if (name != nullptr && !number && creation == hold::OpenExisting) {
        return sim::detail::OpenFileEntry(name, access, shareMode, flags);
    }
    std::lock_guard lock(S().mu);
    auto dev = number ? S().devices.find(*number) : S().devices.end();
    if (dev == S().devices.end() || !dev->second.present) {
        SetLastError(err::FileNotFound);  // 2: no such device
        return InvalidHandleValue();
    }
    if (dev->second.openError != 0) {
        SetLastError(dev->second.openError);
        return InvalidHandleValue();
    }
    // A serial port is exclusive whatever the share mode: 5 (ERROR_ACCESS_DENIED) while open.
    if (dev->second.openHandle != nullptr) {
        SetLastError(err::AccessDenied);
        return InvalidHandleValue();
    }
    (void)access;
    void* handle = sim::detail::NewHandle(sim::detail::HandleKind::SerialPort, ClosePort);
    tr::Name(tr::Kind::Kernel, handle, [&] { return tr::Q(name); });
    Port port;
    port.number = *number;
    port.overlapped = (flags & comm::FlagOverlapped) != 0;
    S().ports[handle] = std::move(port);
    dev->second.openHandle = handle;
    dev->second.unanswered.clear();
    return handle;
}

int SetupComm(void* file, Dword inQueue, Dword outQueue) {
    tr::Call trace("SetupComm", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, file), std::to_string(inQueue),
                        std::to_string(outQueue));
    });
    return OnPort("SetupComm", file, &kNoRecord, [](Port&) { return 1; });
}

int SetCommTimeouts(void* file, const COMMTIMEOUTS* timeouts) {
    tr::Call trace("SetCommTimeouts",
                   [&] { return tr::Args(tr::H(tr::Kind::Kernel, file), tr::Of(timeouts)); });
    return OnPort("SetCommTimeouts", file, timeouts, [timeouts](Port& port) {
        port.timeouts = *timeouts;
        return 1;
    });
}

int SetCommMask(void* file, Dword mask) {
    tr::Call trace("SetCommMask",
                   [&] { return tr::Args(tr::H(tr::Kind::Kernel, file), tr::Hex(mask)); });
    return OnPort("SetCommMask", file, &kNoRecord, [mask](Port& port) {
        // A new mask ends a pending WaitCommEvent with no events, and forgets what fired before.
        if (port.wait) {
            *port.wait->events = 0;
            if (port.wait->overlapped != nullptr) {
                CompleteIo(port.wait->overlapped, 0, sizeof(Dword));
            }
            port.wait.reset();
        }
        port.history = 0;
        port.mask = mask;
        Changed();
        return 1;
    });
}

int GetCommMask(void* file, Dword* mask) {
    tr::Call trace("GetCommMask", [&] { return tr::H(tr::Kind::Kernel, file); });
    return OnPort("GetCommMask", file, mask, [mask](Port& port) {
        *mask = port.mask;
        return 1;
    });
}

int GetCommState(void* file, DCB* dcb) {
    tr::Call trace("GetCommState", [&] { return tr::H(tr::Kind::Kernel, file); });
    return OnPort("GetCommState", file, dcb, [dcb](Port& port) {
        *dcb = S().devices[port.number].dcb;
        dcb->DCBlength = sizeof(DCB);
        return 1;
    });
}

int BuildCommDCBA(const char* definition, DCB* dcb) {
    tr::Call trace("BuildCommDCBA", [&] { return tr::Args(tr::Q(definition), tr::Of(dcb)); });
    if (Injected("BuildCommDCBA")) {
        return 0;
    }
    if (dcb == nullptr) {
        SetLastError(kNoAccess);
        return 0;
    }
    DCB result = *dcb;
    if (definition == nullptr || !ParseDefinition(definition, result)) {
        SetLastError(err::InvalidParameter);  // 87
        return 0;
    }
    *dcb = result;  // success leaves the last error as it was
    return 1;
}

int SetCommState(void* file, DCB* dcb) {
    tr::Call trace("SetCommState",
                   [&] { return tr::Args(tr::H(tr::Kind::Kernel, file), tr::Of(dcb)); });
    return OnPort("SetCommState", file, dcb, [dcb](Port& port) {
        // 87 for settings the line cannot take (DCB's documented ranges): 5 data bits with 2
        // stop bits, 6 to 8 with one and a half, no rate, the same XON and XOFF characters with
        // XON/XOFF on.
        const bool bad = dcb->BaudRate == 0 || dcb->ByteSize < 5 || dcb->ByteSize > 8 ||
                         dcb->Parity > 4 || dcb->StopBits > 2 ||
                         (dcb->ByteSize == 5 && dcb->StopBits == 2) ||
                         (dcb->ByteSize > 5 && dcb->StopBits == 1) ||
                         ((dcb->fOutX || dcb->fInX) && dcb->XonChar == dcb->XoffChar);
        if (bad) {
            SetLastError(err::InvalidParameter);
            return 0;
        }
        S().devices[port.number].dcb = *dcb;
        return 1;
    });
}

int PurgeComm(void* file, Dword flags) {
    tr::Call trace("PurgeComm",
                   [&] { return tr::Args(tr::H(tr::Kind::Kernel, file), tr::Hex(flags)); });
    return OnPort("PurgeComm", file, &kNoRecord, [flags](Port& port) {
        if ((flags & ~Dword{0xF}) != 0) {
            SetLastError(err::InvalidParameter);
            return 0;
        }
        if ((flags & comm::PurgeTxAbort) != 0) {
            CancelWritesLocked(port);
        }
        if ((flags & comm::PurgeRxAbort) != 0) {
            for (auto& read : port.reads) {
                read->done = true;
                read->status = kStatusCancelled;
                if (read->overlapped != nullptr) {
                    CompleteIo(read->overlapped, kStatusCancelled, read->got);
                }
            }
            port.reads.clear();
        }
        if ((flags & comm::PurgeRxClear) != 0) {
            port.in.clear();
        }
        Changed();
        return 1;
    });
}

int WaitCommEvent(void* file, Dword* events, OVERLAPPED* overlapped) {
    tr::Call trace("WaitCommEvent", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, file),
                        overlapped ? tr::H(tr::Kind::Kernel, overlapped->hEvent) : "null");
    });
    if (Injected("WaitCommEvent")) {
        return 0;
    }
    std::unique_lock lock(S().mu);
    Port* port = PortOrFail(file);
    if (port == nullptr) {
        return 0;
    }
    if (events == nullptr) {
        SetLastError(kNoAccess);
        return 0;
    }
    // 87: one wait at a time, and no wait without events to wait for (the serial driver's
    // STATUS_INVALID_PARAMETER), and an overlapped handle needs its OVERLAPPED.
    if (port->wait || port->mask == 0 || (port->overlapped && overlapped == nullptr)) {
        // The event was set non-signalled before the request began (documented for the
        // OVERLAPPED's hEvent); a request refused at once leaves it so.
        if (overlapped != nullptr) {
            if (auto* e = FindEvent(overlapped->hEvent)) {
                e->signalled = false;
            }
        }
        SetLastError(err::InvalidParameter);
        return 0;
    }
    if (port->history != 0) {
        *events = std::exchange(port->history, 0);
        if (overlapped != nullptr) {
            CompleteIo(overlapped, 0, sizeof(Dword));
        }
        return 1;
    }
    if (port->overlapped) {
        StartIo(overlapped);
        port->wait = PendingWait{events, overlapped};
        SetLastError(err::IoPending);
        return 0;
    }
    port->wait = PendingWait{events, nullptr};
    InfiniteWait(lock, [file] {
        Port* p = FindPort(file);
        return p == nullptr || !p->wait;
    });
    if (FindPort(file) == nullptr) {
        SetLastError(err::OperationAborted);  // 995: the handle was closed meanwhile
        return 0;
    }
    return 1;
}

int ClearCommError(void* file, Dword* errors, COMSTAT* status) {
    tr::Call trace("ClearCommError", [&] { return tr::H(tr::Kind::Kernel, file); });
    return OnPort("ClearCommError", file, &kNoRecord, [errors, status](Port& port) {
        if (errors != nullptr) {
            *errors = 0;
        }
        if (status != nullptr) {
            *status = COMSTAT{};
            status->cbInQue = static_cast<Dword>(port.in.size());
        }
        return 1;
    });
}

int ReadFile(void* file, void* buffer, Dword size, Dword* read, OVERLAPPED* overlapped) {
    tr::Call trace("ReadFile", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, file), std::to_string(size),
                        overlapped ? tr::H(tr::Kind::Kernel, overlapped->hEvent) : "null");
    });
    if (Injected("ReadFile")) {
        return 0;
    }
    std::unique_lock lock(S().mu);
    Port* port = TransferPortOrFail(file, read, overlapped);
    if (port == nullptr) {
        return 0;
    }
    if (read != nullptr) {
        *read = 0;
    }
    const Dword now = sim::Now();
    auto pending = std::make_shared<PendingRead>();
    pending->buffer = static_cast<std::uint8_t*>(buffer);
    pending->size = size;
    pending->overlapped = port->overlapped ? overlapped : nullptr;
    pending->lastByte = now;
    // COMMTIMEOUTS: a MAXDWORD interval with no total timeout returns what is there at once; with
    // a MAXDWORD multiplier and a constant below MAXDWORD, at the first byte or the constant.
    const COMMTIMEOUTS& t = port->timeouts;
    const bool maxInterval = t.ReadIntervalTimeout == kMaxDword;
    const bool returnAtOnce =
        maxInterval && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
    pending->anyByte = maxInterval && t.ReadTotalTimeoutMultiplier == kMaxDword &&
                       t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMaxDword;
    if (pending->anyByte) {
        pending->totalDeadline = TotalDeadline(now, 0, t.ReadTotalTimeoutConstant, 0);
    } else if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
        pending->totalDeadline =
            TotalDeadline(now, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, size);
    }
    if (t.ReadIntervalTimeout != 0 && !maxInterval) {
        pending->interval = t.ReadIntervalTimeout;
    }
    port->reads.push_back(pending);
    ServeReadsLocked(*port, now);
    if (!pending->done && (returnAtOnce || size == 0)) {
        std::erase(port->reads, pending);
        pending->done = true;
    }
    if (pending->done) {
        if (read != nullptr) {
            *read = pending->got;
        }
        if (overlapped != nullptr) {
            CompleteIo(overlapped, 0, pending->got);
        }
        return 1;
    }
    if (port->overlapped) {
        StartIo(overlapped);
        SetLastError(err::IoPending);
        return 0;
    }
    // A blocking read: as Sleep up to its timeout (which a received byte may bring nearer), or
    // until the bytes come.
    auto done = [pending] { return pending->done; };
    InfiniteWait(lock, [pending] { return pending->done || ReadDeadline(*pending); });
    for (auto deadline = ReadDeadline(*pending); !pending->done && deadline;
         deadline = ReadDeadline(*pending)) {
        const Dword wait = *deadline > sim::Now() ? *deadline - sim::Now() : 0;
        lock.unlock();
        TimedWait(wait, done);
        lock.lock();
        if (!pending->done && sim::Now() >= *ReadDeadline(*pending)) {
            std::erase(port->reads, pending);  // timed out: nothing may write the buffer later
            pending->done = true;
        }
    }
    if (read != nullptr) {
        *read = pending->got;
    }
    if (pending->status == kStatusCancelled) {
        SetLastError(err::OperationAborted);
        return 0;
    }
    return 1;
}

int WriteFile(void* file, const void* buffer, Dword size, Dword* written, OVERLAPPED* overlapped) {
    tr::Call trace("WriteFile", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, file), tr::Bytes(buffer, size),
                        overlapped ? tr::H(tr::Kind::Kernel, overlapped->hEvent) : "null");
    });
    if (Injected("WriteFile")) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    Port* port = TransferPortOrFail(file, written, overlapped);
    if (port == nullptr) {
        return 0;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    Device& dev = S().devices[port->number];
    // CTS or DSR flow control with the line off holds the write until its total timeout.
    const bool held = (dev.dcb.fOutxCtsFlow && !dev.cts) || (dev.dcb.fOutxDsrFlow && !dev.dsr);
    if ((held || dev.writeTime != 0) && port->overlapped) {
        StartIo(overlapped);
        PendingWrite w{overlapped, Bytes(bytes, bytes + size), sim::Now() + dev.writeTime, held};
        const COMMTIMEOUTS& t = port->timeouts;
        if (held && t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0) {
            w.due.reset();  // no total timeout: held until the line comes on or a purge
        } else if (held) {
            w.due = TotalDeadline(sim::Now(), t.WriteTotalTimeoutMultiplier,
                                  t.WriteTotalTimeoutConstant, size);
        }
        port->writes.push_back(std::move(w));
        SetLastError(err::IoPending);
        return 0;
    }
    DeviceTakesLocked(*port, file, Bytes(bytes, bytes + size));
    // The write is complete and the line is idle.
    if (written != nullptr) {
        *written = size;
    }
    if (overlapped != nullptr) {
        CompleteIo(overlapped, 0, size);
    }
    FireLocked(*port, comm::EvTxEmpty);
    Changed();
    DeliverLocked(sim::Now());  // a reply without delay is there at once
    return 1;
}

int GetOverlappedResult(void* file, OVERLAPPED* overlapped, Dword* transferred, int wait) {
    tr::Call trace("GetOverlappedResult", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, file),
                        overlapped ? tr::H(tr::Kind::Kernel, overlapped->hEvent) : "null",
                        std::to_string(wait));
    });
    if (Injected("GetOverlappedResult")) {
        return 0;
    }
    std::unique_lock lock(S().mu);
    if (overlapped == nullptr || transferred == nullptr) {
        SetLastError(kNoAccess);
        return 0;
    }
    if (overlapped->Internal == kStatusPending) {
        if (!wait) {
            SetLastError(kIoIncomplete);  // 996
            return 0;
        }
        (void)file;
        InfiniteWait(lock, [overlapped] { return overlapped->Internal != kStatusPending; });
    }
    *transferred = static_cast<Dword>(overlapped->InternalHigh);
    if (overlapped->Internal == kStatusCancelled) {
        SetLastError(err::OperationAborted);  // 995
        return 0;
    }
    return 1;
}

void* CreateEventA(void* /*security*/, int manualReset, int initialState, const char* name) {
    tr::Call trace("CreateEventA", [&] {
        return tr::Args(std::to_string(manualReset), std::to_string(initialState), tr::Q(name));
    });
    if (Injected("CreateEventA")) {
        return nullptr;
    }
    std::lock_guard lock(S().mu);
    std::shared_ptr<EventObject> object;
    if (name != nullptr && *name != '\0') {
        for (auto& [handle, e] : S().events) {
            if (e->name == name) {
                object = e;
            }
        }
    }
    if (object) {
        SetLastError(err::AlreadyExists);  // 183: the named event was there; its state stays
    } else {
        object = std::make_shared<EventObject>(
            EventObject{manualReset != 0, initialState != 0, name != nullptr ? name : ""});
        if (name != nullptr && *name != '\0') {
            SetLastError(err::Success);
        }
    }
    void* handle = sim::detail::NewHandle(sim::detail::HandleKind::Event, CloseEvent);
    tr::Name(tr::Kind::Kernel, handle, [] { return tr::Ordinal("event"); });
    S().events[handle] = object;
    return handle;
}

namespace {

// SetEvent and ResetEvent: 6 for a handle that is no event; a set event wakes the waiters.
int Signal(const char* call, void* event, bool signalled) {
    if (Injected(call)) {
        return 0;
    }
    std::lock_guard lock(S().mu);
    auto* e = FindEvent(event);
    if (e == nullptr) {
        SetLastError(err::InvalidHandle);
        return 0;
    }
    e->signalled = signalled;
    if (signalled) {
        Changed();
    }
    return 1;
}

}  // namespace

int SetEvent(void* event) {
    tr::Call trace("SetEvent", [&] { return tr::H(tr::Kind::Kernel, event); });
    return Signal("SetEvent", event, true);
}

int ResetEvent(void* event) {
    tr::Call trace("ResetEvent", [&] { return tr::H(tr::Kind::Kernel, event); });
    return Signal("ResetEvent", event, false);
}

Dword WaitForMultipleObjects(Dword count, void* const* handles, int waitAll, Dword milliseconds) {
    tr::Call trace("WaitForMultipleObjects", [&] {
        return tr::Args(std::to_string(count),
                        handles && count > 0 ? tr::H(tr::Kind::Kernel, handles[0]) : "null",
                        std::to_string(waitAll), std::to_string(milliseconds));
    });
    if (Injected("WaitForMultipleObjects")) {
        return wait::Failed;
    }
    if (count == 0 || count > kTooManyWaits) {
        SetLastError(err::InvalidParameter);
        return wait::Failed;
    }
    if (handles == nullptr) {
        SetLastError(kNoAccess);
        return wait::Failed;
    }
    std::vector<std::shared_ptr<EventObject>> objects;
    {
        std::lock_guard lock(S().mu);
        for (Dword i = 0; i < count; ++i) {
            auto it = S().events.find(handles[i]);
            if (it == S().events.end()) {
                SetLastError(err::InvalidHandle);  // 6; only events are waitable here
                return wait::Failed;
            }
            objects.push_back(it->second);
        }
    }
    // Whether the wait is satisfied now; `take` consumes auto-reset events as a wait does.
    std::optional<Dword> index;
    auto check = [&](bool take) {
        if (waitAll) {
            if (!std::all_of(objects.begin(), objects.end(),
                             [](auto& e) { return e->signalled; })) {
                return false;
            }
            if (take) {
                for (auto& e : objects) {
                    e->signalled = e->manual;
                }
                index = 0;
            }
            return true;
        }
        for (Dword i = 0; i < count; ++i) {
            if (objects[i]->signalled) {
                if (take) {
                    objects[i]->signalled = objects[i]->manual;
                    index = i;
                }
                return true;
            }
        }
        return false;
    };
    if (milliseconds == wait::Infinite) {
        std::unique_lock lock(S().mu);
        InfiniteWait(lock, [&] { return check(false); });
        check(true);
        return wait::Object0 + *index;
    }
    if (TimedWait(milliseconds, [&] { return check(true); })) {
        return wait::Object0 + *index;
    }
    return wait::Timeout;
}

Dword WaitForSingleObject(void* handle, Dword milliseconds) {
    tr::Call trace("WaitForSingleObject", [&] {
        return tr::Args(tr::H(tr::Kind::Kernel, handle), std::to_string(milliseconds));
    });
    if (Injected("WaitForSingleObject")) {
        return wait::Failed;
    }
    void* const handles[1] = {handle};
    return WaitForMultipleObjects(1, handles, 0, milliseconds);
}

Dword FormatMessageA(Dword messageId, char* buffer, Dword size) {
    tr::Call trace("FormatMessageA", [&] { return std::to_string(messageId); });
    if (Injected("FormatMessageA")) {
        return 0;
    }
    // The system's English texts of the codes the serial calls give.
    static const std::map<Dword, const char*> texts = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {31, "A device attached to the system is not functioning.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {121, "The semaphore timeout period has expired.\r\n"},
        {995,
         "The I/O operation has been aborted because of either a thread exit or an application "
         "request.\r\n"},
        {996, "Overlapped I/O event is not in a signaled state.\r\n"},
        {997, "Overlapped I/O operation is in progress.\r\n"},
        {998, "Invalid access to memory location.\r\n"},
    };
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    auto it = texts.find(messageId);
    if (it == texts.end()) {
        buffer[0] = '\0';
        SetLastError(kMrMidNotFound);  // 317: the system has no text for the code
        return 0;
    }
    const Dword length = std::min<Dword>(static_cast<Dword>(std::strlen(it->second)), size - 1);
    std::memcpy(buffer, it->second, length);
    buffer[length] = '\0';
    return length;
}

}  // namespace sys

namespace sim::serial {

void AddPort(int number) {
    std::lock_guard lock(S().mu);
    auto& dev = S().devices[number];
    dev.present = true;
}

void RemovePort(int number) {
    std::lock_guard lock(S().mu);
    S().devices[number].present = false;
}

void SetOpenError(int number, sys::Dword error) {
    std::lock_guard lock(S().mu);
    S().devices[number].openError = error;
}

void SetWriteTime(int number, sys::Dword milliseconds) {
    std::lock_guard lock(S().mu);
    S().devices[number].writeTime = milliseconds;
}

void SetFlowLines(int number, bool cts, bool dsr) {
    std::lock_guard lock(S().mu);
    Device& dev = S().devices[number];
    dev.cts = cts;
    dev.dsr = dsr;
    Port* port = dev.openHandle != nullptr ? FindPort(dev.openHandle) : nullptr;
    if (port == nullptr) {
        return;
    }
    // Writes the lines held go out now.
    const bool held = (dev.dcb.fOutxCtsFlow && !cts) || (dev.dcb.fOutxDsrFlow && !dsr);
    for (auto& w : port->writes) {
        if (w.held && !held) {
            w.held = false;
            w.due = sim::Now() + dev.writeTime;
        }
    }
    DeliverLocked(sim::Now());
}

void AddReply(int number, const Bytes& probe, const Bytes& reply, sys::Dword delay,
              sys::Dword baud) {
    std::lock_guard lock(S().mu);
    S().devices[number].rules.push_back(Rule{probe, reply, delay, baud});
}

void Send(int number, const Bytes& bytes, sys::Dword delay) {
    std::lock_guard lock(S().mu);
    S().due.emplace(sim::Now() + delay, Delivery{number, nullptr, bytes});
    if (delay == 0) {
        DeliverLocked(sim::Now());
    }
}

void RaiseEvents(int number, sys::Dword events, sys::Dword delay) {
    std::lock_guard lock(S().mu);
    S().due.emplace(sim::Now() + delay, Delivery{number, nullptr, {}, events});
    if (delay == 0) {
        DeliverLocked(sim::Now());
    }
}

Bytes Written(int number) {
    std::lock_guard lock(S().mu);
    auto it = S().devices.find(number);
    return it == S().devices.end() ? Bytes{} : it->second.written;
}

bool IsOpen(int number) {
    std::lock_guard lock(S().mu);
    auto it = S().devices.find(number);
    return it != S().devices.end() && it->second.openHandle != nullptr;
}

sys::DCB State(int number) {
    std::lock_guard lock(S().mu);
    return S().devices[number].dcb;
}

int OpenPortCount() {
    std::lock_guard lock(S().mu);
    return static_cast<int>(S().ports.size());
}

int OpenEventCount() {
    std::lock_guard lock(S().mu);
    return static_cast<int>(S().events.size());
}

}  // namespace sim::serial
