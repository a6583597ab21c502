// Shared by the installation tests: a main dialog that records its status lines, a package tree
// on the simulated drive with every model's files, and the form's controls.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "platform/sim/Sim.h"
#include "platform/sim/SimUi.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace install_test {

// The main dialog with a record of every status line it showed, in order.
class RecordingDialog : public InstallDialog {
  public:
    std::vector<std::string> statuses;

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override {
        if (message == ui::RegisterWindowMessageA("MyUpdateData") && wParam == 0 &&
            (statuses.empty() || statuses.back() != statusText)) {
            statuses.push_back(statusText);
        }
        return InstallDialog::OnMessage(message, wParam, lParam, result);
    }
};

inline bool InstallEnabled() {
    auto c = sim::ui::Control(IDD_INSTALL, IDC_INSTALL);
    return c && c->enabled;
}

inline std::string Text(int id) {
    return sim::ui::Control(IDD_INSTALL, id)->text;
}

inline bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The driver failure's Retry/Cancel text for an error code.
inline std::string DriverFailedText(int error) {
    return "Failed to add the driver " + std::to_string(error) +
           "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
           "exit and abort installation";
}

inline void ChooseParallelRow(int row) {
    sim::ui::SelectListRow(IDD_PARALLEL_PORTS, IDC_PORT_LIST, row);
    sim::ui::Click(IDD_PARALLEL_PORTS, IDC_PORTS_OK);
}

// The unpacked package: a catalogue with one section per model (so the combo index is the
// catalogue index) and every file of both architectures; the label monitor modules export
// the entry point the spooler calls.
inline void WritePackageTree(void (*write)(const std::string&, const std::string&)) {
    std::string catalogue;
    for (int i = 0; i < catalog::kModelCount; ++i) {
        const auto name = i < catalog::kReceiptModelCount
                              ? catalog::ReceiptDriverName(i)
                              : catalog::LabelDriverName(i - catalog::kReceiptModelCount);
        catalogue += "[Model " + std::to_string(i) + "]\nPrintName1=" + std::string(name) + "\n";
    }
    write("C:\\DriverName.cfg", catalogue);
    for (const char* arch : {"x86", "x64"}) {
        const std::string ticket = std::string("C:\\Ticket\\") + arch + "\\";
        for (int row = 0; row < 5; ++row) {
            write(ticket + std::string(catalog::ReceiptModuleStem(row)) + ".DLL", "module");
        }
        for (int i = 0; i < catalog::kReceiptModelCount; ++i) {
            write(ticket + std::string(catalog::ReceiptGpdStem(i)) + ".GPD", "gpd");
        }
        for (const char* file : catalog::UniDrvFiles()) {
            write(ticket + file, "unidrv");
        }
        const std::string barcode = std::string("C:\\Barcode\\") + arch + "\\";
        const auto files = catalog::LabelFiles(arch == std::string("x64"));
        write(barcode + files[0], "MZ ... InitializePrintMonitor2 ...");
        for (const char* file : files.subspan(1)) {
            write(barcode + file, "label module");
        }
    }
    write("C:\\Barcode\\Common\\THERMAL.chm", "help");
    for (int i = 0; i < catalog::kLabelModelCount; ++i) {
        const std::string stem(catalog::LabelDataStem(i));
        write("C:\\Barcode\\Common\\" + stem + ".BA0", "ba0");
        write("C:\\Barcode\\Common\\" + stem + ".DAT", "dat");
    }
}

// A fresh machine with the unpacked package on drive C.
class InstallTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        WritePackageTree(&WriteFile);
    }

    // Picks the model and port type, presses Install; `after` scripts what follows. With
    // `close`, the close box ends the dialog once the script has run. The dialog's result.
    static int Install(RecordingDialog& dialog, int model, int portType,
                       const std::function<void()>& after = {}, bool close = true) {
        sim::ui::WaitUntil(IDD_INSTALL, InstallEnabled, "the worker to enable Install");
        sim::ui::SelectCombo(IDD_INSTALL, IDC_DRIVER_COMBO, model);
        sim::ui::SelectListRow(IDD_INSTALL, IDC_PORT_TYPES, portType);
        sim::ui::Click(IDD_INSTALL, IDC_INSTALL);
        if (after) {
            after();
        }
        if (close) {
            sim::ui::Close(IDD_INSTALL);
        }
        return static_cast<int>(dialog.DoModal());
    }
};

}  // namespace install_test
