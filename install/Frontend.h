// What an installation asks of whoever shows it: the window, or the unattended run that
// answers every question itself.
#pragma once

#include <string>
#include <vector>

#include "platform/Window.h"
#include "ports/SerialChannel.h"

namespace install {

class Frontend : public SerialOwner {
  public:
    // The status line: shown at once, or kept until the next Refresh.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    // The installation's choices and status line to the form ("MyUpdateData").
    virtual void Refresh() = 0;
    virtual void SetProgress(int percent) = 0;
    // A pause that only lets the user see a step end before the next.
    virtual void PauseForTheEye(sys::Dword milliseconds) = 0;
    // A box owned by the main window; returns the button's id.
    virtual int Box(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // A box with the product's caption; 0 once the main window has gone.
    virtual int AppMessageBox(const std::string& text, unsigned flags) = 0;
    // The owner of the spooler's own dialogs (null: none).
    virtual ui::WindowHandle OwnerWindow() = 0;
    // The port dialogs and the baud prompt: their results, unchanged; `port` gets the chosen
    // row's name or is emptied.
    virtual int ChooseParallelPort(std::string& port) = 0;
    virtual int ChooseTcpipPort(std::string& port) = 0;
    virtual int AskBaudRate() = 0;
    // The Install button: the caption alone, enabled or not, or both (enabled).
    virtual void SetInstallCaption(const std::string& caption) = 0;
    virtual void EnableInstall(bool enabled) = 0;
    virtual void SetInstallButton(const std::string& caption) = 0;
    // Ends the main window as its OK button does; the installation stops.
    virtual void CloseMainWindow() = 0;
    // The serial search's step timer (repeating until killed); false when it cannot be set.
    virtual bool SetSerialTimer(unsigned milliseconds) = 0;
    virtual void KillSerialTimer() = 0;
    // The port lists were read again; the driver list was read.
    virtual void PortsEnumerated() = 0;
    virtual void ShowDrivers(const std::vector<std::string>& names) = 0;
    virtual void Log(const std::string& line) = 0;

  protected:
    ~Frontend() = default;
};

}  // namespace install
