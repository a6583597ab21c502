// The installation's log (not yet written to a file).
#include "app/InstallLog.h"

InstallLog::~InstallLog() = default;

bool InstallLog::Open(const std::string&) {
    return false;
}

void InstallLog::Line(const std::string&) {}

std::string DefaultLogPath() {
    return "ThermalDriverSetup.log";
}
