// The serial search's journal: which printers it moved off their COM ports, kept in the registry
// so that a run killed half-way can give them their ports back at the next start.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ports::journal {

// HKLM only: its Software key lets administrators alone create and write subkeys, so a
// journal found there was written by an elevated run, never planted by a standard user.
inline constexpr const char* kKey = "SOFTWARE\\ThermalDriverSetup";
inline constexpr const char* kValue = "SerialJournal";

struct Moved {
    std::string printer;
    std::string port;  // the one it had before the search
};

// Replaces the journal with `moved` in one value write: a crash leaves the old or the new one.
// False when it could not be written.
bool Record(const std::vector<Moved>& moved);
// The recorded printers; empty when there is no journal or it cannot be read.
std::vector<Moved> Read();
// Empties the journal once no recorded printer is still on the free port.
void ClearIfRestored();

struct Replayed {
    std::vector<std::string> restored;  // "name (port)" of each printer given its port back
    bool failed = false;                // a port not written back, or the spooler not restarted
};

// Gives each recorded printer still on the free port its port back and restarts the spooler
// once through `restart`; a printer since moved elsewhere or gone is left alone.
Replayed Replay(const std::function<bool()>& restart);

// The status line after a replay that gave ports back; empty when it gave none.
std::string ReplayStatus(const Replayed& replayed);

}  // namespace ports::journal
