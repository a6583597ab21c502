// The program's entry, called by the platform once the process is set up.
#include "app/InstallLog.h"
#include "app/InstallerApp.h"
#include "app/Remove.h"
#include "platform/Entry.h"

int AppMain(const std::string& arguments) {
    if (const auto command = uninstall::ParseCommand(arguments)) {
        InstallLog log;
        return uninstall::RunRemove(command->printerName, command->quiet, log);
    }
    InstallerApp app;
    app.InitInstance();
    return 0;
}
