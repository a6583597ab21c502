// The TCP/IP port choice: the monitor's wizard when there is no port, the "Configure TCP/IP
// PrinterPort" dialog with its add, configure and delete buttons, and every way it can end.
#include <optional>

#include "platform/sim/Sim.h"
#include "ports/PortResult.h"
#include "ports/TcpipPortDialog.h"
#include "tests/unit/PortTestSupport.h"

using porttest::AddPort;
using porttest::AddTcpipPort;
using Names = std::vector<std::string>;

namespace {

constexpr int T = IDD_TCPIP_PORTS;
constexpr const char* kEmptyPrompt =
    "There is no available TCP/IP port\r\nClick \"Add port\" to create a new port";

bool HasPort(const std::string& name) {
    for (const auto& port : sim::spooler::Ports()) {
        if (port.name == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

class TcpipPortDialogTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        porttest::ClearPorts();
    }
    // Runs the dialog with no owner and the script queued by `script`.
    static std::intptr_t Run(const std::function<void()>& script) {
        TcpipPortDialog dialog(nullptr);
        script();
        return dialog.DoModal();
    }
    static Names Rows() { return porttest::Column(T, IDC_PORT_LIST, 0); }
    static std::vector<int> Selected() { return porttest::SelectedRows(T, IDC_PORT_LIST); }
};

TEST_F(TcpipPortDialogTest, ListsThePortsWithTheTcpipDescriptionInEitherLanguage) {
    AddPort("LPT1:", "Local Port");
    AddTcpipPort("IP_10.0.0.1");
    AddPort("USB003", porttest::kTcpip, porttest::kTcpip);  // a row, though a USB port
    AddPort("IP_10.0.0.2", porttest::kTcpipChinese, porttest::kTcpip);
    AddPort("IP_10.0.0.3", "Standard TCP/IP Port ");

    Run([] { sim::ui::PressEscape(T); });

    EXPECT_EQ(sim::ui::Caption(T), "Configure TCP/IP PrinterPort");
    const auto list = *sim::ui::Control(T, IDC_PORT_LIST);
    EXPECT_EQ(list.columns, (Names{"Port", "Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{125, 300}));
    EXPECT_EQ(list.extendedStyle, ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect);
    EXPECT_EQ(Rows(), (Names{"IP_10.0.0.1", "USB003", "IP_10.0.0.2"}));
    EXPECT_EQ(porttest::Column(T, IDC_PORT_LIST, 1),
              (Names{porttest::kTcpip, porttest::kTcpip, porttest::kTcpipChinese}));
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
}

TEST_F(TcpipPortDialogTest, EndsWithTheRowTheCancelCodeOrTheFrameworksResults) {
    AddTcpipPort("IP_1");
    AddTcpipPort("IP_2");
    struct Case {
        const char* what;
        std::function<void()> script;
        std::intptr_t expected;
    };
    const Case cases[] = {
        {"Ok with row 1",
         [] {
             sim::ui::SelectListRow(T, IDC_PORT_LIST, 1);
             sim::ui::Click(T, IDC_PORTS_OK);
         },
         0x1201},
        {"Ok with row 0", [] { sim::ui::Click(T, IDC_PORTS_OK); }, 0x1200},
        {"Ok with no row",
         [] {
             sim::ui::SelectListRow(T, IDC_PORT_LIST, -1);
             sim::ui::Click(T, IDC_PORTS_OK);
         },
         0},
        {"Cancel", [] { sim::ui::Click(T, IDC_PORTS_CANCEL); }, 0xCCCC},
        {"close box", [] { sim::ui::Close(T); }, 0xCCCC},
        {"Enter", [] { sim::ui::PressEnter(T); }, 1},
        {"Escape", [] { sim::ui::PressEscape(T); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Run(c.script), c.expected);
    }
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

TEST_F(TcpipPortDialogTest, OkOnAnEmptyListPromptsAndStaysOpen) {
    sim::ui::AnswerMessageBox("There is no available TCP/IP port", ui::id::Ok);
    bool openAfterOk = false;
    const auto result = Run([&] {
        sim::ui::Click(T, IDC_PORTS_OK);
        sim::ui::Call(T, [&] { openAfterOk = sim::ui::IsOpen(T); });
        sim::ui::Click(T, IDC_PORTS_CANCEL);
    });
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(result, 0xCCCC);
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kEmptyPrompt);
    EXPECT_EQ(boxes[0].caption, "Prompt");
    EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
    EXPECT_TRUE(boxes[0].ownedByDialog);
}

TEST_F(TcpipPortDialogTest, AddingSelectsTheLastRowOnlyWhenAPortWasAdded) {
    AddTcpipPort("IP_1");
    AddTcpipPort("IP_2");
    sim::spooler::ScriptAddPort(std::string("IP_new"));
    sim::spooler::ScriptAddPort(std::nullopt);
    std::vector<int> afterAdd;
    Names rowsAfterAdd;
    std::vector<int> afterCancel;
    Names rowsAfterCancel;
    const auto result = Run([&] {
        sim::ui::Click(T, IDC_ADD_PORT);
        sim::ui::Call(T, [&] {
            afterAdd = Selected();
            rowsAfterAdd = Rows();
            AddTcpipPort("IP_behind");  // shows only after a refill
        });
        sim::ui::Click(T, IDC_ADD_PORT);  // the wizard is cancelled
        sim::ui::Call(T, [&] {
            afterCancel = Selected();
            rowsAfterCancel = Rows();
        });
        sim::ui::Click(T, IDC_PORTS_OK);
    });
    EXPECT_EQ(sim::spooler::AddPortDialogsShown(), 2);
    EXPECT_EQ(rowsAfterAdd, (Names{"IP_1", "IP_2", "IP_new"}));
    EXPECT_EQ(afterAdd, (std::vector<int>{2}));
    EXPECT_EQ(rowsAfterCancel, (Names{"IP_1", "IP_2", "IP_new", "IP_behind"}));
    EXPECT_EQ(afterCancel, (std::vector<int>{0}));
    EXPECT_EQ(result, 0x1200);
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

TEST_F(TcpipPortDialogTest, DeletingRemovesTheSelectedPortRefillsAndSelectsRowZero) {
    AddTcpipPort("IP_1");
    AddTcpipPort("IP_2");
    AddTcpipPort("IP_3");
    Names rows;
    std::vector<int> selected;
    Run([&] {
        sim::ui::SelectListRow(T, IDC_PORT_LIST, 2);
        sim::ui::Click(T, IDC_DELETE_PORT);
        sim::ui::Call(T, [&] {
            rows = Rows();
            selected = Selected();
        });
        sim::ui::Click(T, IDC_PORTS_CANCEL);
    });
    EXPECT_FALSE(HasPort("IP_3"));
    EXPECT_TRUE(HasPort("IP_2"));
    EXPECT_EQ(rows, (Names{"IP_1", "IP_2"}));
    EXPECT_EQ(selected, (std::vector<int>{0}));
}

TEST_F(TcpipPortDialogTest, DeletingWithNoRowDeletesNothingButRefills) {
    AddTcpipPort("IP_1");
    Names rows;
    Run([&] {
        sim::ui::SelectListRow(T, IDC_PORT_LIST, -1);
        sim::ui::Call(T, [] { AddTcpipPort("IP_behind"); });
        sim::ui::Click(T, IDC_DELETE_PORT);
        sim::ui::Call(T, [&] { rows = Rows(); });
        sim::ui::Click(T, IDC_PORTS_CANCEL);
    });
    EXPECT_EQ(sim::CallCount("DeletePortA"), 0);
    EXPECT_EQ(rows, (Names{"IP_1", "IP_behind"}));
}

TEST_F(TcpipPortDialogTest, AFailedDeleteReportsOnlyNotSupportedAndStillRefills) {
    AddTcpipPort("IP_1");
    AddTcpipPort("IP_gone");
    sim::ui::AnswerMessageBox("Failed to delete port.", ui::id::Ok);
    Names rows;
    Run([&] {
        // The port the row shows went behind the dialog's back: the spooler gives 50.
        sim::ui::SelectListRow(T, IDC_PORT_LIST, 1);
        sim::ui::Call(T, [] {
            sim::spooler::RemovePort("IP_gone");
            AddTcpipPort("IP_behind");
        });
        sim::ui::Click(T, IDC_DELETE_PORT);
        sim::ui::Call(T, [&] {
            rows = Rows();
            sim::FailCall("DeletePortA", 5 /* ERROR_ACCESS_DENIED */);
        });
        sim::ui::Click(T, IDC_DELETE_PORT);
        sim::ui::Click(T, IDC_PORTS_CANCEL);
    });
    EXPECT_EQ(sim::CallCount("DeletePortA"), 2);
    EXPECT_TRUE(HasPort("IP_1"));
    EXPECT_EQ(rows, (Names{"IP_1", "IP_behind"}));
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failed to delete port.The request is not supported.");
    EXPECT_EQ(boxes[0].caption, "Delete Port");
    EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
    EXPECT_TRUE(boxes[0].ownedByDialog);
}

TEST_F(TcpipPortDialogTest, AFailedConfigureReportsBy50Or57AndDoesNotRefill) {
    AddTcpipPort("IP_1");
    sim::spooler::ScriptConfigurePort(true);
    sim::ui::AnswerMessageBox("Failed to configure printer port.", ui::id::Ok, 2);
    Names rows;
    Run([&] {
        sim::ui::Click(T, IDC_CONFIGURE_PORT);  // succeeds: no box
        // The port the row shows went behind the dialog's back: the spooler gives 50.
        sim::ui::Call(T, [] {
            sim::spooler::RemovePort("IP_1");
            AddTcpipPort("IP_behind");
        });
        sim::ui::Click(T, IDC_CONFIGURE_PORT);
        sim::ui::Call(T, [] { sim::FailCall("ConfigurePortA", 57 /* ERROR_ADAP_HDW_ERR */); });
        sim::ui::Click(T, IDC_CONFIGURE_PORT);
        sim::ui::Call(T, [] { sim::FailCall("ConfigurePortA", 5 /* ERROR_ACCESS_DENIED */); });
        sim::ui::Click(T, IDC_CONFIGURE_PORT);
        sim::ui::Call(T, [&] { rows = Rows(); });
        sim::ui::Click(T, IDC_PORTS_CANCEL);
    });
    EXPECT_EQ(sim::spooler::ConfigurePortDialogsShown(), 1);
    EXPECT_EQ(sim::CallCount("ConfigurePortA"), 4);
    EXPECT_EQ(rows, (Names{"IP_1"}));
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Failed to configure printer port.\r\nThe request is not supported.");
    EXPECT_EQ(boxes[0].caption, "Configure Port");
    EXPECT_EQ(boxes[1].text, "Failed to configure printer port.\r\nA hardware error occurred. ");
    EXPECT_EQ(boxes[1].caption, "Configure Por");
    for (const auto& box : boxes) {
        EXPECT_EQ(box.flags, ui::mb::Ok);
        EXPECT_TRUE(box.ownedByDialog);
    }
}

TEST_F(TcpipPortDialogTest, ConfigureWithNoRowCallsNothing) {
    AddTcpipPort("IP_1");
    Run([] {
        sim::ui::SelectListRow(T, IDC_PORT_LIST, -1);
        sim::ui::Click(T, IDC_CONFIGURE_PORT);
        sim::ui::Click(T, IDC_PORTS_CANCEL);
    });
    EXPECT_EQ(sim::CallCount("ConfigurePortA"), 0);
}

class ChooseTcpipPortTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        porttest::ClearPorts();
    }

    porttest::CountingDialog main;

    int Choose(const Names& listed, const std::function<void()>& script = {}) {
        return porttest::RunChoice(main, &ports::ChooseTcpipPort,
                                   &install::Installation::tcpipPorts, listed, script);
    }
};

TEST_F(ChooseTcpipPortTest, WithoutATcpipPortTheWizardAddsOneWithNoDialog) {
    sim::spooler::ScriptAddPort(std::string("IP_10.0.0.9"));
    const int result = Choose({});
    EXPECT_EQ(result, 0xAAAA);
    EXPECT_EQ(sim::spooler::AddPortDialogsShown(), 1);
    EXPECT_EQ(sim::ui::TimesShown(T), 0);
    EXPECT_EQ(main.installation.tcpipPorts, (Names{"IP_10.0.0.9"}));
    EXPECT_EQ(ports::PortIndexOf(result, main.installation.tcpipPorts), 0);
}

TEST_F(ChooseTcpipPortTest, ACancelledWizardGivesTheCancelCodeAfterARefresh) {
    sim::spooler::ScriptAddPort(std::nullopt);
    AddPort("LPT1:", "Local Port");
    EXPECT_EQ(Choose({}), 0xCCCC);
    EXPECT_EQ(sim::ui::TimesShown(T), 0);
    EXPECT_EQ(main.installation.parallelPorts, (Names{"LPT1:"}));  // enumerated again all the same
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

TEST_F(ChooseTcpipPortTest, WithPortsTheDialogsResultComesBackUnchangedAfterARefresh) {
    AddTcpipPort("IP_1");
    AddTcpipPort("IP_2");
    sim::spooler::ScriptAddPort(std::string("IP_3"));
    const int result = Choose({"IP_1", "IP_2"}, [] {
        sim::ui::Click(T, IDC_ADD_PORT);  // the new port, selected, is the last row
        sim::ui::Click(T, IDC_PORTS_OK);
    });
    EXPECT_EQ(sim::ui::TimesShown(T), 1);
    EXPECT_EQ(result, 0x1202);
    EXPECT_EQ(main.installation.tcpipPorts, (Names{"IP_1", "IP_2", "IP_3"}));
    EXPECT_EQ(ports::PortIndexOf(result, main.installation.tcpipPorts), 2);
}

TEST_F(ChooseTcpipPortTest, EscapeInTheDialogComesBackAsTwo) {
    AddTcpipPort("IP_1");
    const int result = Choose({"IP_1"}, [] { sim::ui::PressEscape(T); });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(ports::PortIndexOf(result, main.installation.tcpipPorts), -1);
}
