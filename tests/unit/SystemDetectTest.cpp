// Tests of the version code, the WOW64 query and the system status text.
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>

#include "catalog/SystemDetect.h"
#include "tests/unit/SimFixture.h"

namespace {

using catalog::IsWow64;
using catalog::OsName;
using catalog::SystemStatusText;
using catalog::VersionCode;

struct VersionRow {
    sys::Dword platformId, major, minor;
    int code;
    std::string_view name;
};

// Names the row in the test list (by default gtest prints its bytes, a pointer among them).
void PrintTo(const VersionRow& row, std::ostream* os) {
    *os << "platform " << row.platformId << " version " << row.major << "." << row.minor;
}

class VersionTableTest : public SimTest, public ::testing::WithParamInterface<VersionRow> {};

TEST_P(VersionTableTest, MapsToCodeAndName) {
    const VersionRow& row = GetParam();
    sim::SetVersion(row.platformId, row.major, row.minor, 1234);
    const int code = VersionCode();
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(OsName(code), row.name);
}

INSTANTIATE_TEST_SUITE_P(KnownSystems, VersionTableTest,
                         ::testing::Values(VersionRow{1, 4, 0, 1, "Microsoft Windows 95 "},
                                           VersionRow{1, 4, 10, 2, "Microsoft Windows 98 "},
                                           VersionRow{1, 4, 90, 3, "Microsoft Windows Me "},
                                           VersionRow{2, 3, 51, 4, "Microsoft Windows NT "},
                                           VersionRow{2, 4, 0, 4, "Microsoft Windows NT "},
                                           VersionRow{2, 4, 90, 4, "Microsoft Windows NT "},
                                           VersionRow{2, 5, 0, 5, "Microsoft Windows 2000 "},
                                           VersionRow{2, 5, 1, 6, "Microsoft Windows XP "},
                                           VersionRow{2, 5, 2, 7, "Microsoft Windows 2003 "},
                                           VersionRow{2, 6, 0, 8, "Microsoft Windows vista "},
                                           VersionRow{2, 6, 1, 9, "Microsoft Windows 7 "},
                                           VersionRow{2, 6, 2, 10, "Microsoft Windows 8 "}));

INSTANTIATE_TEST_SUITE_P(UnknownSystems, VersionTableTest,
                         ::testing::Values(VersionRow{2, 6, 3, -1, ""},   // 8.1
                                           VersionRow{2, 6, 4, -1, ""},   //
                                           VersionRow{2, 10, 0, -1, ""},  // 10 and 11
                                           VersionRow{2, 5, 3, -1, ""},   //
                                           VersionRow{2, 7, 0, -1, ""},   //
                                           VersionRow{1, 4, 1, -1, ""},   // 9x, odd minor
                                           VersionRow{1, 3, 0, -1, ""},   //
                                           VersionRow{1, 5, 0, -1, ""},   //
                                           VersionRow{0, 4, 0, -1, ""},   // Win32s
                                           VersionRow{3, 6, 1, -1, ""}    // CE
                                           ));

class SystemDetectTest : public SimTest {};

TEST_F(SystemDetectTest, ExtendedRecordIsAskedFirst) {
    sim::SetVersion(2, 5, 1, 2600);
    // A system that knows only the extended record still answers in one call.
    sim::SetVersionQueryFails(false, true);
    EXPECT_EQ(VersionCode(), 6);
    EXPECT_EQ(sim::CallCount("GetVersionExA"), 1);
}

TEST_F(SystemDetectTest, PlainRecordIsTheFallback) {
    sim::SetVersion(1, 4, 10, 1998);
    sim::SetVersionQueryFails(true, false);
    EXPECT_EQ(VersionCode(), 2);
    EXPECT_EQ(sim::CallCount("GetVersionExA"), 2);
}

TEST_F(SystemDetectTest, BothQueriesFailingGivesMinusOne) {
    sim::SetVersion(2, 6, 1, 7601);
    sim::SetVersionQueryFails(true, true);
    EXPECT_EQ(VersionCode(), -1);
    EXPECT_EQ(sim::CallCount("GetVersionExA"), 2);
}

TEST_F(SystemDetectTest, NamesEndInOneBlankAndUnknownCodesHaveNone) {
    for (int code : {-1, 0, 11, 100, -100}) {
        EXPECT_TRUE(OsName(code).empty()) << code;
    }
    for (int code = 1; code <= 10; ++code) {
        const std::string_view name = OsName(code);
        ASSERT_GE(name.size(), 2u) << code;
        EXPECT_EQ(name.back(), ' ') << code;
        EXPECT_NE(name[name.size() - 2], ' ') << code;
    }
}

TEST_F(SystemDetectTest, Wow64FollowsIsWow64Process) {
    for (auto [present, wow64, expected] :
         {std::tuple{true, true, true}, std::tuple{true, false, false},
          std::tuple{false, true, false}, std::tuple{false, false, false}}) {
        sim::SetWow64(present, wow64);
        EXPECT_EQ(IsWow64(), expected) << "present " << present << " wow64 " << wow64;
    }
}

TEST_F(SystemDetectTest, Wow64IsFalseWhenTheLookupFails) {
    sim::SetWow64(true, true);
    sim::FailCall("GetProcAddress", sys::err::ProcNotFound);
    EXPECT_FALSE(IsWow64());
}

TEST_F(SystemDetectTest, Wow64IsFalseWhenTheQueryOrKernelLookupFails) {
    sim::SetWow64(true, true);
    sim::FailCall("IsWow64Process", sys::err::InvalidHandle);
    EXPECT_FALSE(IsWow64());
    sim::FailCall("GetModuleHandleA", sys::err::ModNotFound);
    EXPECT_FALSE(IsWow64());
    EXPECT_TRUE(IsWow64());  // each failure was for one call only
}

TEST_F(SystemDetectTest, AnExtendedQueryFailingForAnyReasonFallsBack) {
    sim::SetVersion(2, 5, 1, 2600);
    sim::FailCall("GetVersionExA", 1150 /* ERROR_OLD_WIN_VERSION */);
    EXPECT_EQ(VersionCode(), 6);
    EXPECT_EQ(sim::CallCount("GetVersionExA"), 2);
}

TEST_F(SystemDetectTest, StatusTextBytes) {
    EXPECT_EQ(SystemStatusText(9, true), "Current Systems is Microsoft Windows 7  64\xCE\xBB");
    EXPECT_EQ(SystemStatusText(9, false), "Current Systems is Microsoft Windows 7  32\xCE\xBB");
    EXPECT_EQ(SystemStatusText(1, false), "Current Systems is Microsoft Windows 95  32\xCE\xBB");
    EXPECT_EQ(SystemStatusText(-1, true), "Current Systems is  64\xCE\xBB");
    EXPECT_EQ(SystemStatusText(-1, false), "Current Systems is  32\xCE\xBB");
}

TEST_F(SystemDetectTest, StatusTextOfTheDetectedSystem) {
    sim::SetVersion(2, 6, 1, 7601);
    sim::SetWow64(true, true);
    EXPECT_EQ(SystemStatusText(VersionCode(), IsWow64()),
              "Current Systems is Microsoft Windows 7  64\xCE\xBB");

    sim::SetVersion(2, 10, 0, 19045);
    sim::SetWow64(false, true);
    EXPECT_EQ(SystemStatusText(VersionCode(), IsWow64()), "Current Systems is  32\xCE\xBB");

    sim::SetVersion(2, 6, 2, 9200);
    sim::SetVersionQueryFails(true, false);
    sim::SetWow64(true, false);
    EXPECT_EQ(SystemStatusText(VersionCode(), IsWow64()),
              "Current Systems is Microsoft Windows 8  32\xCE\xBB");
}

}  // namespace

TEST_F(SystemDetectTest, A64BitProcessCountsItsSystemAs64BitThoughItIsNotUnderWow64) {
    sim::SetWow64(true, false);
    EXPECT_FALSE(catalog::Is64BitWindows());
    sim::SetProcess64(true);
    EXPECT_FALSE(IsWow64());
    EXPECT_TRUE(catalog::Is64BitWindows());
    sim::SetProcess64(false);
    sim::SetWow64(true, true);
    EXPECT_TRUE(catalog::Is64BitWindows());
}
