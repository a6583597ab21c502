// The installation's log, each line written through at once so that a killed run keeps it.
#include "app/InstallLog.h"

#include <cstdio>

#include "platform/Clock.h"
#include "platform/Files.h"

InstallLog::~InstallLog() = default;

bool InstallLog::Open(const std::string& path) {
    std::lock_guard lock(mu_);
    // An empty append creates the file, or shows that it cannot be written.
    path_ = sys::AppendFileA(path, std::string()) ? path : std::string();
    return !path_.empty();
}

void InstallLog::Line(const std::string& text) {
    const sys::LocalTime t = sys::GetLocalTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d  ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.milliseconds);
    std::string line = stamp;
    // One line a call, whatever the text holds: a status text's line breaks become blanks.
    for (char ch : text) {
        line += (ch == '\r' || ch == '\n') ? ' ' : ch;
    }
    line += "\r\n";
    std::lock_guard lock(mu_);
    if (!path_.empty()) {
        sys::AppendFileA(path_, line);
    }
}

void InstallLog::Failed(const std::string& what, unsigned long error) {
    Line(what + " failed, error " + std::to_string(error));
}

std::string DefaultLogPath() {
    return sys::GetTempPathA() + "ThermalDriverSetup.log";
}
