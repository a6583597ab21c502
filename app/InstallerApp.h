// The application object: runs the main dialog; the program ends when it closes.
#pragma once

#include <string>

class InstallLog;

class InstallerApp {
  public:
    explicit InstallerApp(InstallLog* log = nullptr) : log_(log) {}
    // False when another installer is open: the user was told, nothing ran.
    bool InitInstance();

  private:
    void Note(const std::string& text);

    InstallLog* log_;
};

// The whole program for its command line (the arguments after its name): the window, or the
// unattended installation; returns the process's exit code.
int RunInstaller(const std::string& arguments);
