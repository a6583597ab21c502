// The command line: Windows' splitting rules, and every accepted and refused line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

struct Split {
    const char* line;
    std::vector<std::string> args;
};

// The C runtime's rules, as CommandLineToArgvW documents them for the arguments.
const Split kSplits[] = {
    {"", {}},
    {"  \t ", {}},
    {"/quiet", {"/quiet"}},
    {"/model \"TR-210 Receipt\"  /port\tLPT1:", {"/model", "TR-210 Receipt", "/port", "LPT1:"}},
    {"/name Front\" \"Desk", {"/name", "Front Desk"}},
    {"/log C:\\logs\\a.log", {"/log", "C:\\logs\\a.log"}},
    {"/log \"C:\\with space\\\\\"", {"/log", "C:\\with space\\"}},
    {"a\\\\\\\"b", {"a\\\"b"}},
    {"\"say \"\"hi\"\"\" x", {"say \"hi\"", "x"}},
    {"\"\" x", {"", "x"}},
    {"\"unterminated value", {"unterminated value"}},
};

TEST(CommandLineTest, SplitsAsTheWindowsRuntimeDoes) {
    for (const auto& c : kSplits) {
        EXPECT_EQ(SplitArguments(c.line), c.args) << c.line;
    }
}

struct Good {
    const char* line;
    bool quiet;
    std::string model, name, port;
    int baud;
    bool setDefault;
    std::string log;
};

const Good kGood[] = {
    {"", false, "", "", "", 19200, true, ""},
    {"/log C:\\t.log", false, "", "", "", 19200, true, "C:\\t.log"},
    {"/quiet /model \"TR-210 Receipt\" /port LPT1:", true, "TR-210 Receipt", "", "LPT1:", 19200,
     true, ""},
    {"/QUIET /Model \"LB-200 Label\" /NAME \"Front desk\" /Port USB /Default NO /LOG x.log", true,
     "LB-200 Label", "Front desk", "usb", 19200, false, "x.log"},
    {"/quiet /model M /port Serial /baud 9600", true, "M", "", "serial", 9600, true, ""},
    {"/quiet /model M /port serial /baud 115200 /default yes", true, "M", "", "serial", 115200,
     true, ""},
    {"/quiet /port IP_10.0.0.5 /model M", true, "M", "", "IP_10.0.0.5", 19200, true, ""},
};

TEST(CommandLineTest, AcceptedLinesGiveTheirOptions) {
    for (const auto& c : kGood) {
        const CommandLine line = ParseCommandLine(c.line);
        EXPECT_EQ(line.error, "") << c.line;
        EXPECT_EQ(line.quiet, c.quiet) << c.line;
        EXPECT_EQ(line.options.model, c.model) << c.line;
        EXPECT_EQ(line.options.printerName, c.name) << c.line;
        EXPECT_EQ(line.options.port, c.port) << c.line;
        EXPECT_EQ(line.options.baudRate, c.baud) << c.line;
        EXPECT_EQ(line.options.setDefault, c.setDefault) << c.line;
        EXPECT_EQ(line.logPath, c.log) << c.line;
    }
}

struct Bad {
    const char* line;
    const char* reason;  // a part of the error
};

const Bad kBad[] = {
    {"/?", "usage"},
    {"/quiet /model M /port LPT1: /?", "usage"},
    {"/install", "Unknown option: /install"},
    {"LPT1:", "Unknown option: LPT1:"},
    {"-quiet", "Unknown option"},
    {"/quiet", "/quiet needs /model"},
    {"/quiet /port LPT1:", "/quiet needs /model"},
    {"/quiet /model M", "/quiet needs /port"},
    {"/quiet /model", "/model needs a value"},
    {"/quiet /model \"\" /port LPT1:", "/model needs a value"},
    {"/quiet /model M /port LPT1: /model N", "twice"},
    {"/quiet /model M /port serial /baud 19201", "baud rate 19201"},
    {"/quiet /model M /port serial /baud fast", "baud rate fast"},
    {"/quiet /model M /port serial /baud -9600", "baud rate -9600"},
    {"/quiet /model M /port LPT1: /baud 9600", "/baud applies to /port serial"},
    {"/quiet /model M /port LPT1: /default maybe", "yes or no"},
    {"/model M /port LPT1:", "need /quiet"},
    {"/default no", "need /quiet"},
    {"/remove", "/remove needs a value"},
    {"/remove Shop /repair", "two actions"},
    {"/remove Shop /port LPT1:", "/remove takes only /quiet and /log"},
    {"/repair /quiet", "/repair takes only /log"},
};

TEST(CommandLineTest, OtherActionsTakeTheirOwnOptions) {
    const CommandLine remove = ParseCommandLine("/QUIET /Remove \"Shop Receipt\" /log r.log");
    EXPECT_EQ(remove.error, "");
    EXPECT_TRUE(remove.remove && remove.quiet && !remove.repair);
    EXPECT_EQ(remove.removeName, "Shop Receipt");
    const CommandLine repair = ParseCommandLine("/repair");
    EXPECT_EQ(repair.error, "");
    EXPECT_TRUE(repair.repair && !repair.remove);
}

TEST(CommandLineTest, RefusedLinesSayWhy) {
    EXPECT_EQ(ParseCommandLine("/quiet /colour red /log C:\\bad.log").logPath, "C:\\bad.log");
    for (const auto& c : kBad) {
        EXPECT_NE(ParseCommandLine(c.line).error.find(c.reason), std::string::npos)
            << c.line << " gave \"" << ParseCommandLine(c.line).error << "\"";
    }
}

}  // namespace
