// The program's entry, called by the platform once the process is set up.
#include "app/InstallerApp.h"
#include "platform/Entry.h"

int AppMain(const std::string& arguments) {
    return RunInstaller(arguments);
}
