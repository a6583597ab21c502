// The command line as the installer and hand-written callers send it.
#include <gtest/gtest.h>

#include "tools/sevenzip/CommandLine.h"

namespace sevenzip {
namespace {

Command Parsed(std::string_view line) {
    Command command;
    std::string error;
    EXPECT_TRUE(ParseCommandLine(line, command, error)) << line << ": " << error;
    return command;
}

std::string Rejected(std::string_view line) {
    Command command;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(line, command, error)) << line;
    return error;
}

TEST(CommandLine, InstallerLineWithBlanksInPaths) {
    const Command c = Parsed(R"(x -y "C:\Program Files\Setup Dir\DriverData.Drv" -o"C:\" -hide)");
    EXPECT_EQ(c.archive, R"(C:\Program Files\Setup Dir\DriverData.Drv)");
    EXPECT_EQ(c.destination, "C:\\");
    EXPECT_TRUE(c.assumeYes);
    EXPECT_TRUE(c.hide);
}

TEST(CommandLine, SwitchesInAnyOrderAndCase) {
    const Command c = Parsed(R"(-HIDE -o"D:\out dir" X pkg.7z -Y)");
    EXPECT_EQ(c.archive, "pkg.7z");
    EXPECT_EQ(c.destination, R"(D:\out dir)");
    EXPECT_TRUE(c.assumeYes);
    EXPECT_TRUE(c.hide);

    const Command plain = Parsed("x a.7z -o/tmp/out");
    EXPECT_FALSE(plain.assumeYes);
    EXPECT_FALSE(plain.hide);
    EXPECT_EQ(plain.destination, "/tmp/out");
}

TEST(CommandLine, QuotesMayOpenAnywhereInAToken) {
    const Command c = Parsed(R"(x C:\"a b"\c.7z -o"x y"z)");
    EXPECT_EQ(c.archive, R"(C:\a b\c.7z)");
    EXPECT_EQ(c.destination, "x yz");
    // A quoted leading dash is a file name, not a switch.
    EXPECT_EQ(Parsed(R"(x "-odd.7z" -o.)").archive, "-odd.7z");
    EXPECT_EQ(Parsed("\tx\t a.7z \r\n -oout ").destination, "out");
}

TEST(CommandLine, MissingPieces) {
    EXPECT_EQ(Rejected(""), "no command");
    EXPECT_EQ(Rejected("-y -oout"), "no command");
    EXPECT_EQ(Rejected("x -y -oout"), "no archive name");
    EXPECT_EQ(Rejected(R"(x "" -oout)"), "empty archive name");
    EXPECT_EQ(Rejected(R"(x -y "a.7z" -hide)"), "no output directory (-o)");
    EXPECT_EQ(Rejected(R"(x a.7z -o"")"), "empty output directory in -o");
}

TEST(CommandLine, UnknownOrRepeatedInput) {
    EXPECT_EQ(Rejected("x a.7z -oout -r"), "unknown switch -r");
    EXPECT_EQ(Rejected("x a.7z -oout -aoa"), "unknown switch -aoa");
    EXPECT_EQ(Rejected("x a.7z -oout -"), "unknown switch -");
    EXPECT_EQ(Rejected("e a.7z -oout"), "unsupported command \"e\"");
    EXPECT_EQ(Rejected("x a.7z b.7z -oout"), "unexpected argument \"b.7z\"");
    EXPECT_EQ(Rejected("x a.7z -oone -otwo"), "more than one output directory");
    EXPECT_EQ(Rejected(R"(x "a.7z -oout)"), "unterminated quote");
}

}  // namespace
}  // namespace sevenzip
