// Which entry names and link targets stay inside the destination.
#include <gtest/gtest.h>

#include "tools/sevenzip/EntryPath.h"

namespace sevenzip {
namespace {

PathParts Accepted(std::string_view name) {
    PathParts parts;
    EXPECT_EQ(CheckEntryName(name, parts), "") << name;
    return parts;
}

std::string Refused(std::string_view name) {
    PathParts parts{"stale"};
    std::string reason = CheckEntryName(name, parts);
    EXPECT_NE(reason, "") << name;
    EXPECT_TRUE(parts.empty()) << name;
    return reason;
}

TEST(EntryName, BothSeparatorsSplitAndDotsVanish) {
    EXPECT_EQ(Accepted(R"(Ticket\x86/model one.gpd)"),
              (PathParts{"Ticket", "x86", "model one.gpd"}));
    EXPECT_EQ(Accepted("./a//b/./c/"), (PathParts{"a", "b", "c"}));
    EXPECT_EQ(Accepted("..a/b..c/.hidden"), (PathParts{"..a", "b..c", ".hidden"}));
    EXPECT_TRUE(Accepted("./").empty());
}

TEST(EntryName, RootedNamesAreRefused) {
    EXPECT_EQ(Refused("/etc/passwd"), "absolute path");
    EXPECT_EQ(Refused(R"(\Windows\x.dll)"), "absolute path");
    EXPECT_EQ(Refused(R"(\\server\share\x)"), "UNC path");
    EXPECT_EQ(Refused("//server/share/x"), "UNC path");
    EXPECT_EQ(Refused(R"(C:\x)"), "drive letter");
    EXPECT_EQ(Refused("c:x"), "drive letter");
}

TEST(EntryName, ClimbingOrWindowsSpecialComponentsAreRefused) {
    EXPECT_EQ(Refused("../x"), "'..' component");
    EXPECT_EQ(Refused(R"(..\x)"), "'..' component");
    EXPECT_EQ(Refused("sub/../../x"), "'..' component");
    EXPECT_EQ(Refused(R"(sub\..)"), "'..' component");
    EXPECT_NE(Refused("a/b:stream").find("':'"), std::string::npos);
    EXPECT_NE(Refused("a/\x01name").find("control"), std::string::npos);
    EXPECT_EQ(Refused("a/.. /b"), "name made of dots and blanks");
    EXPECT_EQ(Refused("a/.../b"), "name made of dots and blanks");
    EXPECT_EQ(Refused("a/NUL.txt"), "device name \"NUL.txt\"");
    EXPECT_EQ(Refused("com1"), "device name \"com1\"");
    EXPECT_EQ(Refused("lpt9 .log"), "device name \"lpt9 .log\"");
    Accepted("COM10");
    Accepted("console.txt");
}

TEST(EntryName, ConsoleBuffersAndSuperscriptPortsAreDevices) {
    EXPECT_EQ(Refused("CONIN$"), "device name \"CONIN$\"");
    EXPECT_EQ(Refused("a/conout$.log"), "device name \"conout$.log\"");
    EXPECT_EQ(Refused("Ticket/CONOUT$ "), "device name \"CONOUT$ \"");
    // Superscript one, two and three in code page 1252.
    for (const char* name : {"COM\xB9", "com\xB2.txt", "LPT\xB3", "x/lpt\xB9 .dat"}) {
        EXPECT_NE(Refused(name).find("device name"), std::string::npos) << name;
    }
    Accepted("CONIN");
    Accepted("CONIN$x");
    Accepted("COM\xB4");  // the acute accent, next to the superscripts, is no port
    Accepted("LPT\xB9\xB9");
}

TEST(SymlinkTarget, StaysWithinTheLinksDepth) {
    EXPECT_EQ(CheckSymlinkTarget({"lib.so"}, "lib.so.1"), "");
    EXPECT_EQ(CheckSymlinkTarget({"a", "b", "l"}, "../../c/d"), "");
    EXPECT_EQ(CheckSymlinkTarget({"a", "l"}, "./x/./y"), "");
    EXPECT_EQ(CheckSymlinkTarget({"l"}, ".."), "link target leaves the destination");
    EXPECT_EQ(CheckSymlinkTarget({"a", "b", "l"}, R"(..\..\..\x)"),
              "link target leaves the destination");
}

TEST(SymlinkTarget, RootedEmptyOrZigzagTargetsAreRefused) {
    EXPECT_EQ(CheckSymlinkTarget({"l"}, ""), "empty link target");
    EXPECT_EQ(CheckSymlinkTarget({"l"}, "/tmp/x"), "link target: absolute path");
    EXPECT_EQ(CheckSymlinkTarget({"l"}, R"(C:\Windows)"), "link target: drive letter");
    EXPECT_EQ(CheckSymlinkTarget({"l"}, R"(\\host\share)"), "link target: UNC path");
    // Lexically inside, but ".." after a name may climb out through another link on disk.
    EXPECT_EQ(CheckSymlinkTarget({"a", "b", "l"}, "x/../y"), "link target climbs after descending");
    EXPECT_NE(CheckSymlinkTarget({"l"}, "dir/aux"), "");
}

TEST(JoinParts, JoinsTheFirstParts) {
    const PathParts parts{"a", "b", "c"};
    EXPECT_EQ(JoinParts(parts, 2, '\\'), R"(a\b)");
    EXPECT_EQ(JoinParts(parts, 9, '/'), "a/b/c");
    EXPECT_EQ(JoinParts(parts, 0, '/'), "");
}

}  // namespace
}  // namespace sevenzip
