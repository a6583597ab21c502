// The serial search's journal: which printers it moved off their COM ports, kept in the registry
// so that a run killed half-way can give them their ports back at the next start.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ports::journal {

// Under HKLM\SOFTWARE, made with an access list that lets only SYSTEM and Administrators change
// it; a journal whose key others may change is never replayed (its ports would be the user's).
inline constexpr const char* kKey = "SOFTWARE\\ThermalDriverSetup";
inline constexpr const char* kValue = "SerialJournal";

struct Moved {
    std::string printer;
    std::string port;  // the one it had before the search
};

// Replaces the journal with `moved` in one value write: a crash leaves the old or the new one.
// False when it could not be written.
bool Record(const std::vector<Moved>& moved);
// The recorded printers; empty when there is no journal, it cannot be read, or its key is one
// that others than SYSTEM and Administrators may change (then `refused` is set).
std::vector<Moved> Read(bool* refused = nullptr);
// Empties the journal once no recorded printer is still on the free port.
void ClearIfRestored();

// The port the spooler reads for a printer at its next start; nothing when its key is gone.
std::optional<std::string> RegistryPort(const std::string& printer);

struct Replayed {
    std::vector<std::string> restored;  // "name (port)" of each printer given its port back
    bool failed = false;                // a port not written back, or the spooler not restarted
    bool refused = false;               // a journal in a key others may change: not used
};

// Gives each recorded printer still on the free port its port back and restarts the spooler
// once through `restart`; a printer since moved elsewhere or gone is left alone.
Replayed Replay(const std::function<bool()>& restart);

// The status line after a replay that gave ports back or refused a journal; empty otherwise.
std::string ReplayStatus(const Replayed& replayed);

}  // namespace ports::journal
