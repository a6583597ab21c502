// The program's entry, called by the platform once the process is set up.
#include <cstring>

#include "app/InstallLog.h"
#include "app/InstallerApp.h"
#include "app/Repair.h"
#include "platform/Entry.h"

int AppMain(const char* commandLine) {
    if (commandLine != nullptr && std::strstr(commandLine, "/repair") != nullptr) {
        InstallLog log;
        log.Open(DefaultLogPath());
        return RunRepair(log);
    }
    InstallerApp app;
    app.InitInstance();
    return 0;
}
