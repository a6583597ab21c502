// The program's entry, called by the platform once the process is set up.
#include "app/InstallerApp.h"
#include "platform/Entry.h"

int AppMain() {
    InstallerApp app;
    app.InitInstance();
    return 0;
}
