// The port chosen before a printer is added: the TCP/IP or parallel port dialog's answer.
#pragma once

#include <string>
#include <vector>

class InstallDialog;

namespace install {

// The dialogs' answers: 0x1200 + row, cancelled, or a TCP/IP port added without a dialog.
constexpr int kPortRowBase = 0x1200;
constexpr int kPortCancelled = 0xCCCC;
constexpr int kPortAdded = 0xAAAA;

// The entry of `list` a dialog result names, or -1 for a result that names none: cancel, the
// framework's 0, 1 and 2, a row past the list, or an added port while the list is empty.
int PortIndexOf(int result, const std::vector<std::string>& list);

// Settles portName for the TCP/IP and parallel types; the other types keep it. False when
// the attempt ends here (the Install button is enabled again).
bool ChoosePortBeforeInstall(InstallDialog& dialog);

}  // namespace install
