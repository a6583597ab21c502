// The test-facing side of the simulated serial devices, events and waits.
//
// Time and threads. The sim has one simulated millisecond clock (sim::Now). It moves only when
// someone moves it: sim::Advance, sys::Sleep, the window layer's timers (sim::ui::AdvanceClock,
// message boxes kept open), and a wait with a finite timeout of its own (below). Real time never
// decides an outcome.
// - A device's reply is due at a simulated time (the write's time plus the reply's delay). It
//   arrives when the clock reaches that time: the bytes enter the port's input queue, EV_RXCHAR
//   (and EV_RXFLAG for the event character) fire, a pending WaitCommEvent completes and sets its
//   OVERLAPPED's event, a pending ReadFile takes the bytes. A pending ReadFile's own timeout, and
//   a slow write's end (SetWriteTime), are due the same way.
// - Before the clock moves, and after each due time it stops at, the mover "settles" the
//   threads: it waits (in real time, at most two seconds) until every running sys::Thread is
//   blocked in a simulated wait that nothing can end now, in a message sent to a dialog, or in
//   sys::Thread::Wait. So a monitor thread woken by an event has read the byte and sent it on
//   before time goes further, and a write requested before the clock moves has reached the
//   device first.
// - The window layer moves the clock from timer to timer and stops at every due reply; there it
//   handles the messages the woken threads sent before the next timer fires.
// - WaitForSingleObject / WaitForMultipleObjects with a finite timeout, and a ReadFile on a
//   handle opened without FILE_FLAG_OVERLAPPED whose timeouts end it, act as Sleep up to their
//   deadline when nothing satisfies them at once: they settle the other threads, then move the
//   clock, stopping at each due reply, and end as soon as they are satisfied. INFINITE waits and
//   GetOverlappedResult(wait TRUE) never move the clock: another thread, or a clock move, ends
//   them.
// So a test makes a reply arrive by writing the probe and moving the clock past its delay:
// sim::Advance(delay) on a test thread, or sim::ui::AdvanceClock in a dialog's script.
//
// Limits: CreateFileA knows only serial devices ("COMn" for 1 to 9, "\\.\COMn" for any n;
// other names give 2); only events are waitable (another handle in a wait gives WAIT_FAILED, 6);
// a thread that is not a sys::Thread (a test's own std::thread) is not waited for when settling.
//
// Reset() (Sim.h) leaves one device, COM1, present and silent (the registry's SERIALCOMM lists
// COM1), no events, no open ports.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Serial.h"
#include "platform/Types.h"

namespace sim::serial {

using Bytes = std::vector<std::uint8_t>;

// Adds the device COMn (n >= 1): present, can be opened, silent until it gets replies.
void AddPort(int number);
void RemovePort(int number);  // gone: CreateFileA gives 2; an open handle stays usable
// CreateFileA of COMn fails with this error (5 for a port another program holds); 0 opens it.
void SetOpenError(int number, sys::Dword error);

// An overlapped WriteFile to the device returns FALSE/997 and completes `milliseconds` of
// simulated time later (the device sees the bytes then, EV_TXEMPTY fires); 0, the default: at once
// with TRUE. PurgeComm(PURGE_TXABORT) and closing the port end pending writes with 995.
void SetWriteTime(int number, sys::Dword milliseconds);

// The CTS and DSR lines the device holds; both on by default (a printer ready for data). With
// fOutxCtsFlow (fOutxDsrFlow) set by SetCommState and that line off, an overlapped WriteFile
// returns FALSE/997 and is held: nothing is sent, and at its total write timeout (COMMTIMEOUTS:
// multiplier times bytes plus constant) it completes with STATUS_TIMEOUT, 0 bytes written
// (GetOverlappedResult TRUE); with both 0 only a purge or closing ends it. Turning the line on
// sends the held writes.
void SetFlowLines(int number, bool cts, bool dsr);

// When the bytes written to the device since its last answer contain `probe`, it sends `reply`
// `delay` simulated ms later, provided the port's baud rate (SetCommState) is `baud` at the
// time of the write (0: any rate). Several replies may be set; the first whose probe is found
// answers.
void AddReply(int number, const Bytes& probe, const Bytes& reply, sys::Dword delay,
              sys::Dword baud = 0);
// Bytes the device sends unasked, `delay` ms from now, to whatever handle has it open then.
void Send(int number, const Bytes& bytes, sys::Dword delay = 0);

// Line events (EV_CTS, EV_DSR, EV_BREAK, EV_ERR, EV_RING...) the device causes `delay` ms from
// now; those in the port's mask fire as received bytes do.
void RaiseEvents(int number, sys::Dword events, sys::Dword delay = 0);

// What the programs wrote to the device since Reset, all opens together.
Bytes Written(int number);
bool IsOpen(int number);
// The line settings last applied with SetCommState (the device keeps them across opens).
sys::DCB State(int number);

int OpenPortCount();   // port handles not yet closed (leak check)
int OpenEventCount();  // event handles not yet closed (leak check)

}  // namespace sim::serial
