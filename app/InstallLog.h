// The installation's log: timestamped lines appended to a file, from any thread. A log that
// cannot be written never stops an installation: its lines are then dropped.
#pragma once

#include <mutex>
#include <string>

class InstallLog {
  public:
    InstallLog() = default;  // not open: lines are dropped
    ~InstallLog();
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    // Opens `path` for the lines that follow; false when it cannot be written.
    bool Open(const std::string& path);
    // One line, with its time stamp; safe from any thread.
    void Line(const std::string& text);
    // A failed call's line: what failed and the Windows error code it gave.
    void Failed(const std::string& what, unsigned long error);

  private:
    std::mutex mu_;
    std::string path_;
};

// "%TEMP%\ThermalDriverSetup.log".
std::string DefaultLogPath();
