// A recording of the platform calls the logic makes and of what the user sees, line by line,
// for the trace tests; off unless a test starts it, and then costs one flag test per call.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Types.h"

namespace sys {
struct COMMTIMEOUTS;
struct DCB;
struct DRIVER_INFO_3;
struct MONITOR_INFO_2;
struct PRINTER_DEFAULTS;
struct PRINTER_INFO_2;
struct SECURITY_ATTRIBUTES;
struct SERVICE_STATUS;
struct TOKEN_PRIVILEGES;
}  // namespace sys

namespace sim::trace {

// Starts an empty recording; Stop ends it and returns its lines grouped by thread: the thread
// that started it ("dialog") first, then the sys::Thread bodies in the order they were created
// ("t1", "t2", ...), each in its own order, so that the record does not depend on scheduling.
void Start();
std::vector<std::string> Stop();

extern std::atomic<bool> recording;
inline bool On() {
    return recording.load(std::memory_order_relaxed);
}

// For the back end. One line per call, begun where the call starts (so that what a modal loop
// inside it runs follows it) and ended with its result. Calls a recorded call makes of others
// are not recorded. By default the result is the last error the call set ("ok" when it set none
// or 0); Code() and Result() give it instead for calls that report otherwise.
class Call {
  public:
    template <class F>
    Call(const char* name, F&& args, bool byLastError = true) {
        if (On()) {
            Begin(name, args(), byLastError);
        }
    }
    explicit Call(const char* name) : Call(name, [] { return std::string(); }) {}
    ~Call() {
        if (index_ >= 0) {
            End();
        }
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // What the call returned through its arguments, read when it ends.
    template <class F>
    void Out(F&& f) {
        if (index_ >= 0) {
            out_ = std::forward<F>(f);
        }
    }
    sys::Dword Code(sys::Dword code);  // a call that returns its error code
    void Result(const std::string& text);

  private:
    void Begin(const char* name, std::string args, bool byLastError);
    void End();

    int index_ = -1;
    bool byLastError_ = true;
    sys::Dword saved_ = 0;
    std::string result_;
    std::function<std::string()> out_;
};

// A line for an effect the user sees that returns nothing worth recording.
template <class F>
void Note(const char* name, F&& args) {
    if (On()) {
        Call call(name, std::forward<F>(args), false);
    }
}

// Formatting of arguments: texts and data quoted with bytes outside printable ASCII escaped
// ("\xA3"), numbers in hex, handles by the name they were given when made (or "null", or "?").
std::string Q(const char* text);
std::string Q(const std::string& text);
std::string Hex(sys::Dword value);
std::string Bytes(const void* data, sys::Dword size);
enum class Kind { Key, Service, Printer, Kernel, Module, Window };
std::string H(Kind kind, const void* handle);
// Names a handle the back end just made, by what `name()` returns (made only while recording).
void NameAs(Kind kind, const void* handle, const std::string& name);
template <class F>
void Name(Kind kind, const void* handle, F&& name) {
    if (On() && handle != nullptr) {
        NameAs(kind, handle, name());
    }
}
// A per-thread ordinal for handles that have no name of their own ("event t1.2").
std::string Ordinal(const char* kind);

// The fields of the records the calls take that say what the logic asks for.
std::string Of(const sys::COMMTIMEOUTS* timeouts);
std::string Of(const sys::DCB* dcb);
std::string Of(const sys::DRIVER_INFO_3* info);
std::string Of(const sys::MONITOR_INFO_2* info);
std::string Of(const sys::PRINTER_DEFAULTS* defaults);
std::string Of(const sys::PRINTER_INFO_2* info);
std::string Of(const sys::SECURITY_ATTRIBUTES* security);
std::string Of(const sys::SERVICE_STATUS* status);
std::string Of(const sys::TOKEN_PRIVILEGES* privileges);

template <class... T>
std::string Args(const T&... parts) {
    std::string out;
    bool first = true;
    ((out += (first ? "" : ", ") + std::string(parts), first = false), ...);
    return out;
}

// For sys::Thread: a tag for a new thread, taken by its creator, and set in the new thread.
int NewThreadTag();
void SetThreadTag(int tag);

}  // namespace sim::trace
