// Shared by the tests that press Install on the simulated machine: the unpacked driver package
// of every model, the main dialog with a record of its status lines, and the button press.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "install/InstallLabelPrinter.h"
#include "install/InstallReceiptPrinter.h"
#include "install/RestartService.h"
#include "install/SetPrinterPortRegistry.h"
#include "ports/ChooseParallelPort.h"
#include "ports/ChooseTcpipPort.h"
#include "ports/EnumeratePorts.h"
#include "ports/SelectUsbPort.h"
#include "ports/SerialDetection.h"
#include "res/resource.h"
#include "tests/unit/SimFixture.h"

namespace installtest {

inline constexpr int D = IDD_INSTALL;

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
    auto c = sim::ui::Control(D, IDC_INSTALL);
    return c && c->enabled;
}

inline std::string Text(int id) {
    return sim::ui::Control(D, id)->text;
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

// A fresh machine holding the unpacked package: the catalogue with one section per model (so
// the combo index is the catalogue index) and the receipt and label driver files of both
// architectures; the label monitor modules export the entry point the spooler calls.
class InstallTest : public SimTest {
  protected:
    bool bothArchitectures = true;  // false: the x86 files only, for many runs on 32 bits

    // The catalogue file: each model's driver name as its display name, but for `renamed`.
    static void WriteCatalogue(const std::map<int, std::string>& renamed = {}) {
        std::string catalogue;
        for (int i = 0; i < catalog::kModelCount; ++i) {
            std::string name(i < catalog::kReceiptModelCount
                                 ? catalog::ReceiptDriverName(i)
                                 : catalog::LabelDriverName(i - catalog::kReceiptModelCount));
            if (renamed.count(i) != 0) {
                name = renamed.at(i);
            }
            catalogue += "[Model " + std::to_string(i) + "]\nPrintName1=" + name + "\n";
        }
        WriteFile("C:\\DriverName.cfg", catalogue);
    }

    void SetUp() override {
        SimTest::SetUp();
        WriteCatalogue();
        for (const char* arch : {"x86", "x64"}) {
            if (!bothArchitectures && arch == std::string("x64")) {
                continue;
            }
            const std::string dir = std::string("C:\\Ticket\\") + arch + "\\";
            for (int row = 0; row < 5; ++row) {
                WriteFile(dir + std::string(catalog::ReceiptModuleStem(row)) + ".DLL", "module");
            }
            for (int i = 0; i < catalog::kReceiptModelCount; ++i) {
                WriteFile(dir + std::string(catalog::ReceiptGpdStem(i)) + ".GPD", "gpd");
            }
            for (const char* file : catalog::UniDrvFiles()) {
                WriteFile(dir + file, "unidrv");
            }
            const std::string barcode = std::string("C:\\Barcode\\") + arch + "\\";
            const auto files = catalog::LabelFiles(arch == std::string("x64"));
            WriteFile(barcode + files[0], "MZ ... InitializePrintMonitor2 ...");
            for (const char* file : files.subspan(1)) {
                WriteFile(barcode + file, "label module");
            }
        }
        WriteFile("C:\\Barcode\\Common\\THERMAL.chm", "help");
        for (int i = 0; i < catalog::kLabelModelCount; ++i) {
            const std::string stem(catalog::LabelDataStem(i));
            WriteFile("C:\\Barcode\\Common\\" + stem + ".BA0", "ba0");
            WriteFile("C:\\Barcode\\Common\\" + stem + ".DAT", "dat");
        }
    }

    // Picks the model and port type, presses Install; `portDialog` scripts what follows. With
    // `close`, the close box ends the dialog once the script has run. The dialog's result.
    static int Install(RecordingDialog& dialog, int model, int portType,
                       const std::function<void()>& portDialog = {}, bool close = true) {
        sim::ui::WaitUntil(D, InstallEnabled, "the worker to enable Install");
        sim::ui::SelectCombo(D, IDC_DRIVER_COMBO, model);
        sim::ui::SelectListRow(D, IDC_PORT_TYPES, portType);
        sim::ui::Click(D, IDC_INSTALL);
        if (portDialog) {
            portDialog();
        }
        if (close) {
            sim::ui::Close(D);
        }
        return static_cast<int>(dialog.DoModal());
    }
};

}  // namespace installtest
