// The simulated console: what the program wrote, for the tests to read.
#include "platform/Console.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Trace.h"

namespace sys {

bool WriteConsoleText(const std::string& text) {
    sim::trace::Call trace("WriteConsoleText", [&] { return sim::trace::Q(text); });
    sim::CountCall("WriteConsoleText");
    if (sim::ShouldFail("WriteConsoleText")) {
        return false;
    }
    std::lock_guard lock(sim::detail::M().mu);
    sim::detail::M().console += text;
    return true;
}

}  // namespace sys

namespace sim {

std::string ConsoleOutput() {
    std::lock_guard lock(detail::M().mu);
    return detail::M().console;
}

}  // namespace sim
