// Shared by the port tests: the main dialog run on the test thread with test code on its own
// thread, a count of its "MyUpdateData" messages, and short-hands for the simulated spooler.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "install/InstallLabelPrinter.h"
#include "install/InstallReceiptPrinter.h"
#include "install/RestartService.h"
#include "install/SetPrinterPortRegistry.h"
#include "platform/sim/SimSpooler.h"
#include "ports/ChooseParallelPort.h"
#include "ports/ChooseTcpipPort.h"
#include "ports/EnumeratePorts.h"
#include "ports/SelectUsbPort.h"
#include "ports/SerialDetection.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace porttest {

inline constexpr const char* kTcpip = "Standard TCP/IP Port";
inline constexpr const char* kTcpipChinese = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";

// The main dialog, counting the "MyUpdateData" messages it handles.
class CountingDialog : public InstallDialog {
  public:
    int updates = 0;
    int enumerationsBefore = 0;
    std::string chosenPort;  // the name the last port choice handed back

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override {
        if (message == ui::RegisterWindowMessageA("MyUpdateData")) {
            ++updates;
        }
        return InstallDialog::OnMessage(message, wParam, lParam, result);
    }
};

// Runs `body` on the main dialog's thread once its preparation is done; `nested` queues the
// user's actions for any dialog that body opens. Then the main dialog is closed.
inline void InMainDialog(InstallDialog& dialog, const std::function<void()>& body,
                         const std::function<void()>& nested = {}) {
    sim::ui::WaitUntil(
        IDD_INSTALL,
        [] {
            auto install = sim::ui::Control(IDD_INSTALL, IDC_INSTALL);
            return install && install->enabled;
        },
        "the worker to enable Install");
    sim::ui::Call(IDD_INSTALL, body);
    if (nested) {
        nested();
    }
    sim::ui::Close(IDD_INSTALL);
    dialog.DoModal();
}

// Runs a port choice of the main dialog (ChooseParallelPort, ChooseTcpipPort) on its thread,
// with `listed` as the port list that the choice looks at first; `nested` as above.
using Choice = int (*)(install::Installation&, install::Frontend&, std::string&);

inline int RunChoice(CountingDialog& dialog, Choice choose,
                     std::vector<std::string> install::Installation::*list,
                     const std::vector<std::string>& listed,
                     const std::function<void()>& nested = {}) {
    int result = -1;
    InMainDialog(
        dialog,
        [&] {
            dialog.installation.*list = listed;
            dialog.enumerationsBefore = sim::CallCount("EnumPortsA");
            result = choose(dialog.installation, dialog, dialog.chosenPort);
        },
        nested);
    return result;
}

// No ports at all; the monitors stay, so the TCP/IP monitor can still add one.
inline void ClearPorts() {
    for (const auto& port : sim::spooler::Ports()) {
        sim::spooler::RemovePort(port.name);
    }
}

inline void AddPort(const std::string& name, const std::string& description,
                    const std::string& monitor = "Local Port") {
    sim::spooler::AddPort({name, monitor, description});
}

inline void AddTcpipPort(const std::string& name) {
    AddPort(name, kTcpip, kTcpip);
}

// The rows of a list view, column by column.
inline std::vector<std::string> Column(int dialog, int id, size_t column) {
    std::vector<std::string> texts;
    const auto control = sim::ui::Control(dialog, id);
    for (const auto& row : control->rows) {
        texts.push_back(column < row.texts.size() ? row.texts[column] : std::string());
    }
    return texts;
}

// The selected rows of a list view.
inline std::vector<int> SelectedRows(int dialog, int id) {
    std::vector<int> selected;
    const auto rows = sim::ui::Control(dialog, id)->rows;
    for (size_t i = 0; i < rows.size(); ++i) {
        if ((rows[i].state & ui::ListView::StateSelected) != 0) {
            selected.push_back(static_cast<int>(i));
        }
    }
    return selected;
}

}  // namespace porttest
