// The parallel port choice: no port, one port, the "Select A Parallel Port" dialog and every
// way it can end.
#include <cstdio>

#include "platform/sim/Sim.h"
#include "ports/ParallelPortDialog.h"
#include "ports/PortResult.h"
#include "tests/unit/PortTestSupport.h"

using porttest::AddPort;
using Names = std::vector<std::string>;

namespace {

constexpr int P = IDD_PARALLEL_PORTS;
constexpr const char* kNoParallel =
    "There is no available parallel port.\r\n\r\nPlease select other port type.";

}  // namespace

class ParallelPortDialogTest : public SimTest {};

TEST_F(ParallelPortDialogTest, ListsTheLptPortsWithTheirDescriptions) {
    porttest::ClearPorts();
    AddPort("COM1:", "Local Port");
    AddPort("LPT1:", "Local Port");
    AddPort("lpt2:", "Local Port");
    AddPort("LPT3:", porttest::kTcpip, porttest::kTcpip);  // a row, though not a parallel port
    AddPort("LP", "Local Port");
    AddPort("LPT9", "Printer port");

    ParallelPortDialog dialog(nullptr);
    sim::ui::PressEscape(P);
    dialog.DoModal();

    EXPECT_EQ(sim::ui::Caption(P), "Select A Parallel Port");
    const auto list = *sim::ui::Control(P, IDC_PORT_LIST);
    EXPECT_EQ(list.columns, (Names{"Port", "Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{125, 300}));
    EXPECT_EQ(list.extendedStyle, ui::ListView::ExGridLines | ui::ListView::ExFullRowSelect);
    EXPECT_EQ(porttest::Column(P, IDC_PORT_LIST, 0), (Names{"LPT1:", "LPT3:", "LPT9"}));
    EXPECT_EQ(porttest::Column(P, IDC_PORT_LIST, 1),
              (Names{"Local Port", porttest::kTcpip, "Printer port"}));
    EXPECT_EQ(porttest::SelectedRows(P, IDC_PORT_LIST), (std::vector<int>{0}));
}

TEST_F(ParallelPortDialogTest, ListsMoreThan256Ports) {
    porttest::ClearPorts();
    char name[16];
    for (int i = 1; i <= 300; ++i) {
        std::snprintf(name, sizeof name, "LPT%d:", i);
        AddPort(name, "Local Port");
    }
    ParallelPortDialog dialog(nullptr);
    sim::ui::SelectListRow(P, IDC_PORT_LIST, 299);
    sim::ui::Click(P, IDC_PORTS_OK);
    EXPECT_EQ(dialog.DoModal(), 0x1200 + 299);
    EXPECT_EQ(sim::ui::Control(P, IDC_PORT_LIST)->rows.size(), 300u);
}

TEST_F(ParallelPortDialogTest, EndsWithTheRowTheCancelCodeOrTheFrameworksResults) {
    struct Case {
        const char* what;
        std::function<void()> script;
        bool emptyList;
        std::intptr_t expected;
    };
    const Case cases[] = {
        {"Ok with row 1",
         [] {
             sim::ui::SelectListRow(P, IDC_PORT_LIST, 1);
             sim::ui::Click(P, IDC_PORTS_OK);
         },
         false, 0x1201},
        {"Ok with row 0", [] { sim::ui::Click(P, IDC_PORTS_OK); }, false, 0x1200},
        {"Ok with no row",
         [] {
             sim::ui::SelectListRow(P, IDC_PORT_LIST, -1);
             sim::ui::Click(P, IDC_PORTS_OK);
         },
         false, 0},
        {"Ok on an empty list", [] { sim::ui::Click(P, IDC_PORTS_OK); }, true, 0},
        {"Cancel", [] { sim::ui::Click(P, IDC_PORTS_CANCEL); }, false, 0xCCCC},
        {"close box", [] { sim::ui::Close(P); }, false, 0xCCCC},
        {"Enter", [] { sim::ui::PressEnter(P); }, false, 1},
        {"Escape", [] { sim::ui::PressEscape(P); }, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        porttest::ClearPorts();
        if (!c.emptyList) {
            AddPort("LPT1:", "Local Port");
            AddPort("LPT2:", "Local Port");
        }
        ParallelPortDialog dialog(nullptr);
        c.script();
        EXPECT_EQ(dialog.DoModal(), c.expected);
    }
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

class ChooseParallelPortTest : public SimTest {
  protected:
    porttest::CountingDialog main;

    int Choose(const Names& listed, const std::function<void()>& script = {}) {
        return porttest::RunChoice(main, &ports::ChooseParallelPort,
                                   &install::Installation::parallelPorts, listed, script);
    }
};

TEST_F(ChooseParallelPortTest, WithoutAParallelPortSaysSoAndCancels) {
    sim::ui::AnswerMessageBox("There is no available parallel port.", ui::id::Ok);
    const int result = Choose({});

    EXPECT_EQ(result, 0xCCCC);
    EXPECT_EQ(ports::PortIndexOf(result, main.installation.parallelPorts), -1);
    EXPECT_EQ(sim::ui::TimesShown(P), 0);
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kNoParallel);
    EXPECT_EQ(boxes[0].caption, "Thermal Driver Setup");  // the application's box
    EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
    EXPECT_TRUE(boxes[0].ownedByDialog);
}

TEST_F(ChooseParallelPortTest, TheOnlyParallelPortIsTakenWithoutDialogOrEnumeration) {
    EXPECT_EQ(Choose({"LPT7:"}), 0x1200);
    EXPECT_EQ(sim::CallCount("EnumPortsA") - main.enumerationsBefore, 0);
    EXPECT_EQ(main.installation.parallelPorts, (Names{"LPT7:"}));
    EXPECT_EQ(sim::ui::TimesShown(P), 0);
    EXPECT_TRUE(sim::ui::MessageBoxes().empty());
}

TEST_F(ChooseParallelPortTest, SeveralPortsRunTheDialogThenEnumerateAgain) {
    porttest::ClearPorts();
    AddPort("LPT1:", "Local Port");
    AddPort("LPT3:", porttest::kTcpip, porttest::kTcpip);
    AddPort("LPT2:", "Local Port");
    const int result = Choose({"stale A", "stale B"}, [] {
        sim::ui::SelectListRow(P, IDC_PORT_LIST, 1);
        sim::ui::Click(P, IDC_PORTS_OK);
    });
    EXPECT_EQ(sim::ui::TimesShown(P), 1);
    EXPECT_EQ(result, 0x1201);            // the dialog's row, unchanged
    EXPECT_EQ(main.chosenPort, "LPT3:");  // the row's name, though not a parallel entry
    EXPECT_EQ(main.installation.parallelPorts, (Names{"LPT1:", "LPT2:"}));
    EXPECT_EQ(main.installation.tcpipPorts, (Names{"LPT3:"}));
}

TEST_F(ChooseParallelPortTest, ClosingTheDialogGivesTheCancelCode) {
    EXPECT_EQ(Choose({"LPT1:", "LPT2:"}, [] { sim::ui::Close(P); }), 0xCCCC);
}
