// Serial port auto-detection: the baud prompt, other printers' COM ports freed and given back,
// the timer-driven probe of each serial port, and the port's line settings in the port table.
#pragma once

#include <string>

#include "install/Forward.h"
#include "platform/Window.h"

namespace ports {

// What a search keeps beyond the installation's members.
struct SerialSearch {
    bool probing = false;     // timer 1 carries the search on
    bool inStep = false;      // a step runs: a timer fired in its nested modal loop is ignored
    bool portsFreed = false;  // other printers sit on "LPT1:" and are owed their own ports
    int portNumber = 0;       // n of the COMn being tried
    std::string printerName;
};

inline constexpr unsigned kProbeWaitMs = 700;  // a port that was opened and sent the probe
inline constexpr unsigned kSkipWaitMs = 1;     // past a port that could not be opened
// The single-port path asks for no rate: it writes the prompt's default one.
inline constexpr int kSinglePortBaudRate = 19200;

// The serial flow entry, after the printer was added on the first serial port. Returns once
// the search runs on the timer, or when it ended without one.
void StartSerialDetection(install::Installation& state, install::Frontend& front);
// One step of the search, when the front end's serial timer fires. After a step (and after the
// entry) the serial channel's error boxes are shown, outside the step: the search goes on
// meanwhile.
void SerialTimerStep(install::Installation& state, install::Frontend& front);
// A byte the channel received from COMn (lParam of its message): a reply only when n is the
// port being probed.
void SerialReplyReceived(install::Installation& state, ui::LParam port);
// The window closes while a search runs: stop probing, give every other printer its port back.
void EndSerialSearch(install::Installation& state, install::Frontend& front);

// n of an entry "COMn:" or "COMn", n >= 1 in decimal digits only; 0 when it names no port.
int PortNumberOf(const std::string& entry);
// The port table's text: "%d,%c,%d,%d" with the parity letter in lower case.
std::string PortSettingsText(int baudRate, int parity, int dataBits, int stopBits);

}  // namespace ports
