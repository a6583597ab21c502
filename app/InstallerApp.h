// The application object: runs the main dialog; the program ends when it closes.
#pragma once

class InstallerApp {
  public:
    bool InitInstance();
};
