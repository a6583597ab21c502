// The serial search on simulated COM devices: the baud prompt and each way it ends, the probe of
// each port on the timer, the port and its line settings written, other printers' COM ports
// freed and given back on every path, and the whole serial installation ending on "&Finish".
#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "catalog/ModelTables.h"
#include "platform/Handle.h"
#include "platform/Registry.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSerial.h"
#include "ports/SerialDetection.h"
#include "ports/SerialJournal.h"
#include "ports/SerialPromptDialog.h"
#include "tests/unit/PortTestSupport.h"

using Names = std::vector<std::string>;

namespace {

constexpr int D = IDD_INSTALL;
constexpr int P = IDD_SERIAL_PROMPT;
const std::string kPrinter = "Serial Receipt";
const std::string kOther = "Kitchen";
const std::string kControlKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const sim::serial::Bytes kReceiptProbe = {0x10, 0x04, 0x01};
const sim::serial::Bytes kLabelProbe = {0x1B, 0x21, 0x3F};
const std::string kNoPortDot = "Cannot select a available port\xA1\xA3";

// The main dialog with every status line it showed and the simulated time it showed it.
class SearchDialog : public porttest::CountingDialog {
  public:
    struct Status {
        std::string text;
        sys::Dword at;
    };
    std::vector<Status> statuses;
    std::function<void(const std::string&)> onStatus;  // on the dialog's thread

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : statuses) {
            texts.push_back(s.text);
        }
        return texts;
    }
    std::optional<sys::Dword> TimeOf(const std::string& text) const {
        for (const auto& s : statuses) {
            if (s.text == text) {
                return s.at;
            }
        }
        return std::nullopt;
    }
    int Count(const std::string& text) const {
        return static_cast<int>(std::count_if(statuses.begin(), statuses.end(),
                                              [&](const Status& s) { return s.text == text; }));
    }

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override {
        if (message == ui::RegisterWindowMessageA("MyUpdateData") && wParam == 0 &&
            (statuses.empty() || statuses.back().text != statusText)) {
            statuses.push_back({statusText, sim::Now()});
            if (onStatus) {
                onStatus(statusText);
            }
        }
        return CountingDialog::OnMessage(message, wParam, lParam, result);
    }
};

std::optional<std::string> PortOf(const std::string& printer) {
    return sim::registry::GetString("HKLM", kControlKey + printer, "Port");
}

std::optional<std::string> PortsValue(const std::string& entry) {
    return sim::registry::GetString("HKLM", kPortsKey, entry);
}

void AddPrinter(const std::string& name, const std::string& port) {
    sim::spooler::AddPrinter({name, port, "TR-210 Series", "WinPrint", "RAW"});
}

// A device that answers the receipt probe at 19200 after 40 ms.
void AddPrinterDevice(int number, const sim::serial::Bytes& probe = kReceiptProbe) {
    sim::serial::AddPort(number);
    sim::serial::AddReply(number, probe, {0x12}, 40, 19200);
}

std::string Status(int id = IDC_STATUS) {
    return sim::ui::Control(D, id)->text;
}

class SerialDetectionTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        AddPrinter(kPrinter, "COM1:");
    }

    // Runs the serial flow in the main dialog on `ports`; `script` plays the user from the
    // prompt on (the main dialog is closed after it).
    static void Detect(SearchDialog& dialog, const Names& ports,
                       const std::function<void()>& script, int model = 0,
                       const std::function<void()>& before = {}) {
        porttest::InMainDialog(
            dialog,
            [&dialog, ports, model, before] {
                dialog.installation.serialPorts = ports;
                dialog.installation.selectedModel = model;
                dialog.SetDlgItemTextA(IDC_PRINTER_NAME, kPrinter);
                dialog.installation.printerName = kPrinter;
                if (before) {
                    before();
                }
                ports::StartSerialDetection(dialog.installation, dialog);
            },
            script);
    }

    // "&Yes" with the prompt's rate (19200), then enough time for `ports` probes.
    static void AnswerYes(int ports) {
        sim::ui::Click(P, IDC_PROMPT_YES);
        sim::ui::AdvanceClock(D, 700 * static_cast<std::uint32_t>(ports) + 100);
    }

    static void ExpectFinished() {
        const auto install = sim::ui::Control(D, IDC_INSTALL);
        EXPECT_EQ(install->text, "&Finish");
        EXPECT_TRUE(install->enabled);
        EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 100);
        EXPECT_FALSE(sim::ui::TimerRunning(D, InstallDialog::kSerialTimer));
        EXPECT_EQ(sim::serial::OpenPortCount(), 0);
    }
};

}  // namespace

TEST_F(SerialDetectionTest, PortNumbersAndTheSettingsText) {
    EXPECT_EQ(ports::PortNumberOf("COM1:"), 1);
    EXPECT_EQ(ports::PortNumberOf("COM12:"), 12);
    EXPECT_EQ(ports::PortNumberOf("COM7"), 7);
    EXPECT_EQ(ports::PortNumberOf("LPT1:"), 0);
    EXPECT_EQ(ports::PortSettingsText(19200, 'N', 8, 1), "19200,n,8,1");
    EXPECT_EQ(ports::PortSettingsText(9600, 'E', 7, 2), "9600,e,7,2");
}

TEST_F(SerialDetectionTest, ThePromptOffersTheBaudTableWith19200Selected) {
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:"}, [] { sim::ui::Click(P, IDC_PROMPT_NO); });
    EXPECT_EQ(sim::ui::Caption(P), "Prompt(automatically select the available serial port) ");
    const auto combo = sim::ui::Control(P, IDC_BAUD_COMBO);
    EXPECT_EQ(combo->items,
              (Names{"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(combo->curSel, 5);
}

// COM1 gets the probe and 700 ms of silence, COM2 answers: COM2: becomes the printer's port
// and gets its line settings; the search took the two 700 ms steps.
TEST_F(SerialDetectionTest, TwoPortsWithThePrinterOnTheSecond) {
    AddPrinterDevice(2);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:"}, [] { AnswerYes(2); });

    EXPECT_EQ(sim::serial::Written(1), kReceiptProbe);
    EXPECT_EQ(sim::serial::Written(2), kReceiptProbe);
    EXPECT_EQ(sim::serial::State(2).BaudRate, 19200u);
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    EXPECT_EQ(PortsValue("COM2:"), "19200,n,8,1");
    EXPECT_EQ(PortsValue("COM1:"), "9600,n,8,1");  // as the machine had it
    EXPECT_EQ(dialog.installation.baudRate, 19200);
    const auto com1 = dialog.TimeOf("Checking COM1:");
    const auto com2 = dialog.TimeOf("Checking COM2:");
    const auto found = dialog.TimeOf("The available printer port:  COM2:");
    ASSERT_TRUE(com1 && com2 && found);
    EXPECT_EQ(*com2 - *com1, 700u);
    EXPECT_EQ(*found - *com2, 700u);
    // Flow start, "&Yes", search running; then found, ports given back, spooler restarted.
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->positions,
              (std::vector<int>{50, 60, 100, 80, 90, 100}));
    ExpectFinished();
}

// COM1's settings, as another program left them, have CTS (or DSR) flow control on, and the
// line is off: the port is searched with its flow control on, so the probe is held and the
// write times out after the channel's write timeouts (1000 ms a byte plus 1000); closing COM1
// waits for that, within its bound, and the search moves on to the printer on COM2.
TEST_F(SerialDetectionTest, APortHeldByItsFlowControlIsPassedOverAtTheWriteTimeout) {
    for (const bool cts : {true, false}) {
        SCOPED_TRACE(cts ? "CTS" : "DSR");
        sim::Reset();
        sim::ui::Reset();
        AddPrinter(kPrinter, "COM1:");
        {
            sys::Handle com1(sys::CreateFileA("COM1", sys::comm::GenericRead, 0, nullptr,
                                              sys::comm::OpenExisting, 0, nullptr));
            sys::DCB dcb;
            ASSERT_NE(sys::GetCommState(com1.Get(), &dcb), 0);
            (cts ? dcb.fOutxCtsFlow : dcb.fOutxDsrFlow) = 1;
            ASSERT_NE(sys::SetCommState(com1.Get(), &dcb), 0);
        }
        sim::serial::SetFlowLines(1, !cts, cts);
        AddPrinterDevice(2);
        SearchDialog dialog;
        Detect(dialog, {"COM1:", "COM2:"}, [] {
            sim::ui::Click(P, IDC_PROMPT_YES);
            sim::ui::AdvanceClock(D, 6000);
        });

        const sys::DCB searched = sim::serial::State(1);
        EXPECT_EQ(cts ? searched.fOutxCtsFlow : searched.fOutxDsrFlow, 1u);
        EXPECT_EQ(searched.BaudRate, 19200u);
        EXPECT_TRUE(sim::serial::Written(1).empty());
        // Closing COM1 waited for its write to time out, 4000 ms after the probe; then COM2
        // answered within its 700.
        const auto com1 = dialog.TimeOf("Checking COM1:");
        const auto found = dialog.TimeOf("The available printer port:  COM2:");
        ASSERT_TRUE(com1 && found);
        EXPECT_EQ(*found - *com1, 4700u);
        EXPECT_EQ(PortOf(kPrinter), "COM2:");
        EXPECT_EQ(PortsValue("COM2:"), "19200,n,8,1");
        ExpectFinished();
        EXPECT_TRUE(sim::ui::MessageBoxes().empty());
    }
}

TEST_F(SerialDetectionTest, TheSearchWritesTheRateChosenInThePrompt) {
    sim::serial::AddPort(2);
    sim::serial::AddReply(2, kReceiptProbe, {0x12}, 40, 9600);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:"}, [] {
        sim::ui::SelectCombo(P, IDC_BAUD_COMBO, 4);
        AnswerYes(2);
    });
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    EXPECT_EQ(PortsValue("COM2:"), "9600,n,8,1");
}

// The probe is the receipt status request for receipt models, the label one for label models.
TEST_F(SerialDetectionTest, TheProbeBytesFollowTheModelKind) {
    AddPrinterDevice(2, kLabelProbe);
    SearchDialog dialog;
    Detect(
        dialog, {"COM1:", "COM2:"}, [] { AnswerYes(2); }, catalog::kReceiptModelCount);
    EXPECT_EQ(sim::serial::Written(1), kLabelProbe);
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
}

// COM2 cannot be opened (another program holds it): the search moves on after 1 ms.
TEST_F(SerialDetectionTest, APortThatCannotBeOpenedCostsOneMillisecond) {
    sim::serial::AddPort(2);
    sim::serial::SetOpenError(2, sys::err::AccessDenied);
    AddPrinterDevice(3);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:", "COM3:"}, [] { AnswerYes(3); });

    const auto com2 = dialog.TimeOf("Checking COM2:");
    const auto com3 = dialog.TimeOf("Checking COM3:");
    ASSERT_TRUE(com2 && com3);
    EXPECT_EQ(*com3 - *com2, 1u);
    EXPECT_TRUE(sim::serial::Written(2).empty());
    EXPECT_EQ(PortOf(kPrinter), "COM3:");
    EXPECT_EQ(PortsValue("COM3:"), "19200,n,8,1");
    ExpectFinished();
}

TEST_F(SerialDetectionTest, ATwoDigitPortNumberOpensThatPort) {
    AddPrinterDevice(12);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM12:"}, [] { AnswerYes(2); });
    EXPECT_EQ(sim::serial::Written(12), kReceiptProbe);
    EXPECT_EQ(PortOf(kPrinter), "COM12:");
    EXPECT_EQ(PortsValue("COM12:"), "19200,n,8,1");
}

TEST_F(SerialDetectionTest, NoPortAnswersAndThePrinterKeepsTheFirst) {
    sim::serial::AddPort(2);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:"}, [] { AnswerYes(3); });
    EXPECT_EQ(PortOf(kPrinter), "COM1:");
    EXPECT_EQ(Status(),
              kNoPortDot + "The current printer port is COM1:,you can configure after finished");
    EXPECT_EQ(PortsValue("COM2:"), "9600,n,8,1");
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->positions,
              (std::vector<int>{50, 60, 100, 80, 90, 100}));
    ExpectFinished();
}

// No port opens at all: the search ends at once, with the plain full stop in its text.
TEST_F(SerialDetectionTest, NoPortOpensAndTheSearchEndsAtOnce) {
    sim::serial::RemovePort(1);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:"}, [] { sim::ui::Click(P, IDC_PROMPT_YES); });
    EXPECT_EQ(Status(),
              "Cannot select a available port.The current printer port is COM1:,you can "
              "configure after finished");
    EXPECT_EQ(PortOf(kPrinter), "COM1:");
    ExpectFinished();
}

// COM1's reply comes just after its 700 ms ran out and is handled while its channel closes;
// COM2 then cannot be opened. The reply counts for no port: COM2 is neither taken nor written.
TEST_F(SerialDetectionTest, ALateReplyIsNeverCreditedToTheNextPort) {
    sim::serial::AddPort(2);
    sim::serial::SetOpenError(2, sys::err::AccessDenied);
    SearchDialog dialog;
    dialog.onStatus = [](const std::string& text) {
        if (text == "Checking COM2:") {
            sim::serial::Send(1, {0x12});
            sim::Advance(1);  // COM1's monitor reads it and blocks sending it to the dialog
        }
    };
    Detect(dialog, {"COM1:", "COM2:"}, [] { AnswerYes(2); });
    EXPECT_EQ(PortOf(kPrinter), "COM1:");
    EXPECT_EQ(PortsValue("COM2:"), "9600,n,8,1");
    EXPECT_EQ(Status(),
              kNoPortDot + "The current printer port is COM1:,you can configure after finished");
    ExpectFinished();
}

// The Ports key will not open for writing (a user without KEY_SET_VALUE): the port found is
// still the printer's, and the box of a failed write tells that its settings were not kept.
TEST_F(SerialDetectionTest, APortsKeyThatWillNotOpenForWritingIsReported) {
    AddPrinterDevice(2);
    sim::registry::SetKeyAccess("HKLM", kPortsKey, sys::key::Read);
    sim::ui::AnswerMessageBox("Failed to set Registry", ui::id::Ok);
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:"}, [] { AnswerYes(2); });
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    EXPECT_EQ(PortsValue("COM2:"), "9600,n,8,1");
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Error\xA3\xBA"
              "Failed to set Registry");
    EXPECT_EQ(boxes[0].flags, ui::mb::Ok);
    ExpectFinished();
}

// COM1's reply cannot be read, and nobody answers the box that says so until COM2 was found:
// the box keeps neither the search nor the channel waiting. COM2 is really probed meanwhile
// and found, and all is closed once the dialog is gone.
TEST_F(SerialDetectionTest, AnUnansweredReadErrorBoxDoesNotStopTheSearch) {
    sim::serial::AddReply(1, kReceiptProbe, {0x12}, 40, 19200);
    AddPrinterDevice(2);
    std::atomic<bool> found{false};
    sim::ui::AnswerMessageBoxWhen(
        "ReadFile()", ui::id::Ok,
        [&found] {
            sim::Advance(10);  // time goes on while the box is open
            return found.load();
        },
        "COM2 found");
    {
        SearchDialog dialog;
        dialog.onStatus = [&found](const std::string& text) {
            found = found || text == "The available printer port:  COM2:";
        };
        Detect(
            dialog, {"COM1:", "COM2:"}, [] { AnswerYes(2); }, 0,
            [] { sim::FailCall("ReadFile", 31); });
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    // The channel's own report for COM1 (its text is pinned with the channel).
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("WARNING:  ReadFile() Failed", 0), 0u);
    EXPECT_NE(boxes[0].text.find("\nPort: 1\n"), std::string::npos);
    EXPECT_EQ(sim::serial::OpenPortCount(), 0);
    EXPECT_EQ(sim::serial::OpenEventCount(), 0);
}

// "&No", Esc and the close box: no search, the printer stays on the first port, nothing
// written. (Esc and the close box end the dialog with IDCANCEL, which names no rate.)
TEST_F(SerialDetectionTest, NoEscapeAndTheCloseBoxLeaveThePrinterOnTheFirstPort) {
    const std::vector<std::function<void()>> answers = {
        [] { sim::ui::Click(P, IDC_PROMPT_NO); },
        [] { sim::ui::PressEscape(P); },
        [] { sim::ui::Close(P); },
    };
    for (size_t i = 0; i < answers.size(); ++i) {
        SCOPED_TRACE(i);
        sim::Reset();
        sim::ui::Reset();
        AddPrinter(kPrinter, "COM1:");
        AddPrinter(kOther, "COM2:");
        AddPrinterDevice(2);
        const auto portsBefore = sim::registry::ValueNames("HKLM", kPortsKey);
        SearchDialog dialog;
        Detect(dialog, {"COM1:", "COM2:"}, answers[i]);
        EXPECT_EQ(Status(),
                  "The current printer port is COM1: ,you can set that after the installation "
                  "finished");
        EXPECT_EQ(PortOf(kPrinter), "COM1:");
        EXPECT_EQ(PortOf(kOther), "COM2:");
        EXPECT_EQ(sim::registry::ValueNames("HKLM", kPortsKey), portsBefore);
        EXPECT_EQ(PortsValue("COM2:"), "9600,n,8,1");
        EXPECT_TRUE(sim::serial::Written(2).empty());
        EXPECT_EQ(sim::CallCount("ControlService"), 0);
        ExpectFinished();
        for (const auto& failure : sim::ui::Failures()) {
            ADD_FAILURE() << failure;
        }
    }
}

// One serial port: no prompt, no probe; the port and a real rate, the prompt's default 19200.
TEST_F(SerialDetectionTest, ASinglePortNeedsNoPromptAndGetsTheDefaultRate) {
    AddPrinter(kOther, "COM3:");
    SearchDialog dialog;
    Detect(dialog, {"COM1:"}, [] {});
    EXPECT_EQ(sim::ui::TimesShown(P), 0);
    EXPECT_TRUE(sim::serial::Written(1).empty());
    EXPECT_EQ(PortOf(kPrinter), "COM1:");
    EXPECT_EQ(PortsValue("COM1:"), "19200,n,8,1");
    EXPECT_EQ(PortOf(kOther), "COM3:");
    EXPECT_EQ(Status(), "The current printer port is COM1:,you can configure after finished");
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->positions, (std::vector<int>{50, 90, 100}));
    ExpectFinished();
}

// Other printers on COM ports sit on LPT1: while the search runs and get their own ports back
// at its end, found or not; printers on other ports are left alone.
TEST_F(SerialDetectionTest, OtherPrintersOnComPortsAreMovedAndRestored) {
    for (const bool found : {true, false}) {
        SCOPED_TRACE(found ? "found" : "not found");
        sim::Reset();
        sim::ui::Reset();
        AddPrinter(kPrinter, "COM1:");
        AddPrinter(kOther, "COM4:");
        AddPrinter("Office", "LPT2:");
        sim::serial::AddPort(2);
        if (found) {
            AddPrinterDevice(3);
        } else {
            sim::serial::AddPort(3);
        }
        std::optional<std::string> during;
        std::optional<std::string> ownDuring;
        std::vector<ports::journal::Moved> journaled;
        SearchDialog dialog;
        Detect(dialog, {"COM1:", "COM2:", "COM3:"}, [&] {
            sim::ui::Click(P, IDC_PROMPT_YES);
            sim::ui::AdvanceClock(D, 800);
            sim::ui::Call(D, [&] {
                during = PortOf(kOther);
                ownDuring = PortOf(kPrinter);
                journaled = ports::journal::Read();
            });
            sim::ui::AdvanceClock(D, 2000);
        });
        EXPECT_EQ(during, "LPT1:");
        EXPECT_EQ(ownDuring, "COM1:");
        // While moved, the other printer is in the journal; once restored, nothing is.
        ASSERT_EQ(journaled.size(), 1u);
        EXPECT_EQ(journaled[0].printer, kOther);
        EXPECT_EQ(journaled[0].port, "COM4:");
        EXPECT_TRUE(ports::journal::Read().empty());
        EXPECT_EQ(PortOf(kOther), "COM4:");
        EXPECT_EQ(PortOf("Office"), "LPT2:");
        EXPECT_EQ(PortOf(kPrinter), found ? "COM3:" : "COM1:");
        ExpectFinished();
        for (const auto& failure : sim::ui::Failures()) {
            ADD_FAILURE() << failure;
        }
    }
}

// The window closes while the search runs: the probing stops and every other printer still
// gets its own port back.
TEST_F(SerialDetectionTest, ClosingTheWindowMidSearchRestoresTheOtherPrinters) {
    AddPrinter(kOther, "COM4:");
    sim::serial::AddPort(2);
    sim::serial::AddPort(3);
    std::optional<std::string> during;
    SearchDialog dialog;
    Detect(dialog, {"COM1:", "COM2:", "COM3:"}, [&] {
        sim::ui::Click(P, IDC_PROMPT_YES);
        sim::ui::AdvanceClock(D, 750);
        sim::ui::Call(D, [&] { during = PortOf(kOther); });
    });
    EXPECT_EQ(during, "LPT1:");
    EXPECT_EQ(PortOf(kOther), "COM4:");
    EXPECT_EQ(PortOf(kPrinter), "COM1:");
    EXPECT_TRUE(sim::serial::Written(3).empty());
    EXPECT_EQ(sim::serial::OpenPortCount(), 0);
    EXPECT_EQ(sim::serial::OpenEventCount(), 0);
}

// The search moves only on its timer. When the first probe's cannot be set the search ends as
// if no port had answered (instead of stopping half-way with the other printers moved and
// Install never enabled); a later one that cannot be set leaves the timer that fired running,
// so the search goes on and finds the printer.
TEST_F(SerialDetectionTest, ATimerThatCannotBeSetNeverStopsTheSearchHalfWay) {
    struct Case {
        int skip;
        std::string status;
    };
    const Case cases[] = {
        {0,
         "Cannot select a available port.The current printer port is COM1:,you can configure "
         "after finished"},
        {1, "The available printer port:  COM3:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skip);
        sim::Reset();
        sim::ui::Reset();
        AddPrinter(kPrinter, "COM1:");
        AddPrinter(kOther, "COM4:");
        sim::serial::RemovePort(2);  // COM1 silent, COM2 missing, the printer on COM3
        AddPrinterDevice(3);
        SearchDialog dialog;
        Detect(
            dialog, {"COM1:", "COM2:", "COM3:"}, [] { AnswerYes(3); }, 0,
            [&c] { sim::FailCall("SetTimer", 1400, 1, c.skip); });
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(PortOf(kPrinter), c.skip == 0 ? "COM1:" : "COM3:");
        EXPECT_EQ(PortOf(kOther), "COM4:");
        ExpectFinished();
        EXPECT_EQ(sim::serial::OpenEventCount(), 0);
        for (const auto& failure : sim::ui::Failures()) {
            ADD_FAILURE() << failure;
        }
    }
}

// A reply flag left from an earlier search must not end this one on its first port.
TEST_F(SerialDetectionTest, AnEarlierReplyDoesNotCountForTheNextProbe) {
    AddPrinterDevice(2);
    SearchDialog dialog;
    Detect(
        dialog, {"COM1:", "COM2:"}, [] { AnswerYes(2); }, 0,
        [&dialog] { dialog.installation.serialResponseSeen = 1; });
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    EXPECT_EQ(PortsValue("COM2:"), "19200,n,8,1");
}

// Every timer of the dialog leads to the search step. One fires while the found step's message
// box is open (a nested modal loop dispatches it): it must not run the step again underneath,
// nor after the search has ended.
TEST_F(SerialDetectionTest, ATimerFiringInsideTheStepsMessageBoxDoesNotRunItAgain) {
    AddPrinterDevice(2);
    sim::ui::AnswerMessageBox("Failed to", ui::id::Ok, 1, 1000);
    SearchDialog dialog;
    dialog.onStatus = [&dialog](const std::string& text) {
        if (text == "The available printer port:  COM2:") {
            sim::FailCall("RegSetValueExA", sys::err::AccessDenied);  // the step's next write
            dialog.SetTimer(2, 100);
        }
    };
    Detect(dialog, {"COM1:", "COM2:"}, [] {
        AnswerYes(2);
        sim::ui::AdvanceClock(D, 1000);
    });
    const auto boxes = sim::ui::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failed to read Registry");
    // One spooler restart for "&Yes", one for the port found: the step ran once.
    EXPECT_EQ(sim::CallCount("ControlService"), 2);
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
}

// The whole serial installation through the Install button ends on "&Finish" with the
// printer on the port that answered.
TEST_F(SerialDetectionTest, TheSerialInstallationEndsOnFinish) {
    std::string catalogue;
    catalogue += "[Model 0]\nPrintName1=" + std::string(catalog::ReceiptDriverName(0)) + "\n";
    WriteFile("C:\\DriverName.cfg", catalogue);
    for (int row = 0; row < 5; ++row) {
        WriteFile("C:\\Ticket\\x86\\" + std::string(catalog::ReceiptModuleStem(row)) + ".DLL",
                  "module");
    }
    WriteFile("C:\\Ticket\\x86\\" + std::string(catalog::ReceiptGpdStem(0)) + ".GPD", "gpd");
    for (const char* file : catalog::UniDrvFiles()) {
        WriteFile(std::string("C:\\Ticket\\x86\\") + file, "unidrv");
    }
    sim::registry::SetString("HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial1",
                             "COM2");
    AddPrinterDevice(2);

    SearchDialog dialog;
    sim::ui::WaitUntil(
        D, [] { return sim::ui::Control(D, IDC_INSTALL)->enabled; }, "Install enabled");
    sim::ui::TypeText(D, IDC_PRINTER_NAME, kPrinter);
    sim::ui::SelectListRow(D, IDC_PORT_TYPES, 0);
    sim::ui::Click(D, IDC_INSTALL);
    AnswerYes(2);
    sim::ui::Click(D, IDC_INSTALL);  // "&Finish" ends the dialog
    dialog.DoModal();

    const std::string model(catalog::ReceiptDriverName(0));
    const auto printer = sim::spooler::FindPrinter(kPrinter);
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->driver, model);
    EXPECT_EQ(PortOf(kPrinter), "COM2:");
    EXPECT_EQ(PortsValue("COM2:"), "19200,n,8,1");
    const auto texts = dialog.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "The available printer port:  COM2:"),
              texts.end());
    EXPECT_EQ(sim::ui::Control(D, IDC_INSTALL)->text, "&Finish");
    EXPECT_EQ(sim::ui::Control(D, IDC_PROGRESS)->position, 100);
}
