// Hostile archives: nothing may be written outside the destination, and the call must fail.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip::test {
namespace {

class SecurityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dest_);
        fs::create_directories(outside_);
        WriteFile(outside_ / "secret", "precious");
    }

    // Extracts the crafted entries; returns the result and keeps the summary.
    int ExtractEntries(const std::vector<Entry>& entries, Format format = Format::Tar) {
        const fs::path archive = tmp_ / ("evil" + std::to_string(count_++));
        Craft(archive, format, entries);
        if (::testing::Test::HasFatalFailure()) {
            return -1;
        }
        std::vector<char> output(16384, '\0');
        const int result = ::SevenZip(nullptr, CommandFor(archive, dest_).c_str(), output.data(),
                                      static_cast<sys::Dword>(output.size()));
        summary_ = output.data();
        return result;
    }

    void ExpectOutsideUntouched() const {
        EXPECT_EQ(ListTree(outside_), std::vector<std::string>{"secret"});
        EXPECT_EQ(ReadFile(outside_ / "secret"), "precious");
        std::vector<std::string> top;
        for (const auto& item : fs::directory_iterator(tmp_.path())) {
            if (item.path().filename().string().rfind("evil", 0) != 0) {
                top.push_back(item.path().filename().string());
            }
        }
        std::sort(top.begin(), top.end());
        EXPECT_EQ(top, (std::vector<std::string>{"dest", "outside"}));
    }

    void ExpectRefused(const std::vector<Entry>& entries, const std::string& named,
                       Format format = Format::Tar) {
        SCOPED_TRACE(named);
        EXPECT_EQ(ExtractEntries(entries, format), RefusedEntry);
        // Zip and 7z readers hand out Windows names with '/' for '\\'.
        std::string slashed = named;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        EXPECT_TRUE(summary_.find("Refused: " + named + ": ") != std::string::npos ||
                    summary_.find("Refused: " + slashed + ": ") != std::string::npos)
            << summary_;
        ExpectOutsideUntouched();
    }

    TempDir tmp_;
    fs::path dest_ = tmp_ / "dest";
    fs::path outside_ = tmp_ / "outside";
    std::string summary_;
    int count_ = 0;
};

TEST_F(SecurityTest, EscapingNamesInEveryFormat) {
    const std::string absolute = (outside_ / "abs").string();
    const std::vector<std::string> names = {
        "../x",   R"(..\x)", "sub/../../x", R"(sub\..\..\x)",      "../outside/secret",
        absolute, R"(C:\x)", "C:x",         R"(\\server\share\x)", R"(\x)"};
    for (Format format : {Format::Tar, Format::Zip, Format::SevenZip}) {
        for (const std::string& name : names) {
            ExpectRefused({{name, Kind::File, "planted"}}, name, format);
        }
    }
    EXPECT_TRUE(ListTree(dest_).empty());
}

TEST_F(SecurityTest, RefusedEntriesDoNotStopTheOthers) {
    ExpectRefused({{"first.txt", Kind::File, "1"},
                   {"../x", Kind::File, "planted"},
                   {"last.txt", Kind::File, "2"}},
                  "../x");
    EXPECT_EQ(ReadFile(dest_ / "first.txt"), "1");
    EXPECT_EQ(ReadFile(dest_ / "last.txt"), "2");
    EXPECT_NE(summary_.find("Errors: 1"), std::string::npos) << summary_;
}

TEST_F(SecurityTest, SymlinksLeadingOutside) {
    ExpectRefused({{"abs", Kind::Symlink, outside_.string()}}, "abs");
    ExpectRefused({{"rel", Kind::Symlink, "../outside"}}, "rel");
    ExpectRefused({{"sub/deep", Kind::Symlink, "../../outside/secret"}}, "sub/deep");
    ExpectRefused({{"drive", Kind::Symlink, R"(C:\Windows)"}}, "drive");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "abs")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "rel")));
}

TEST_F(SecurityTest, SymlinkThenFileThroughIt) {
    ExpectRefused(
        {{"link", Kind::Symlink, outside_.string()}, {"link/planted", Kind::File, "planted"}},
        "link");
    ExpectRefused({{"hop", Kind::Symlink, "../outside"}, {"hop/secret", Kind::File, "planted"}},
                  "hop");
    // Whatever stands at dest/link now is no link.
    EXPECT_FALSE(fs::is_symlink(dest_ / "link"));
    EXPECT_FALSE(fs::is_symlink(dest_ / "hop"));
}

TEST_F(SecurityTest, ZigzagThroughAnInnerLink) {
    // "a/up" is harmless on its own; "a/up/../.." reads as the destination but lands above it.
    ExpectRefused({{"a/up", Kind::Symlink, ".."},
                   {"esc", Kind::Symlink, "a/up/../.."},
                   {"esc/outside/planted", Kind::File, "planted"}},
                  "esc");
    EXPECT_FALSE(fs::is_symlink(dest_ / "esc"));
}

TEST_F(SecurityTest, HardLinksToOutside) {
    ExpectRefused({{"hl", Kind::Hardlink, "../outside/secret"}}, "hl");
    ExpectRefused({{"abs", Kind::Hardlink, (outside_ / "secret").string()}}, "abs");
    EXPECT_FALSE(fs::exists(dest_ / "hl"));
    EXPECT_FALSE(fs::exists(dest_ / "abs"));
}

TEST_F(SecurityTest, HardLinkThroughAnExistingSymlink) {
    fs::create_directory_symlink(outside_, dest_ / "door");
    ExpectRefused({{"hl", Kind::Hardlink, "door/secret"}}, "hl");
}

TEST_F(SecurityTest, ExistingSymlinkInsideTheDestination) {
    fs::create_directory_symlink(outside_, dest_ / "door");
    ExpectRefused({{"door/planted", Kind::File, "planted"}}, "door/planted");
    ExpectRefused({{"door/secret", Kind::File, "overwritten"}}, "door/secret");
    ExpectRefused({{"door/", Kind::Directory, ""}}, "door/");
    ExpectRefused({{"viadoor", Kind::Symlink, "door/secret"}}, "viadoor");
    // A file entry replaces the link itself rather than writing through it.
    EXPECT_EQ(ExtractEntries({{"door", Kind::File, "replaced"}}), Ok) << summary_;
    EXPECT_FALSE(fs::is_symlink(dest_ / "door"));
    EXPECT_EQ(ReadFile(dest_ / "door"), "replaced");
    ExpectOutsideUntouched();
}

TEST_F(SecurityTest, SpecialFilesAreRefused) {
    ExpectRefused({{"pipe", Kind::Fifo, ""}}, "pipe");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "pipe")));
}

TEST_F(SecurityTest, InnerLinksStillWork) {
    EXPECT_EQ(ExtractEntries({{"top.txt", Kind::File, "top"},
                              {"lib/libx.so.1", Kind::File, "lib"},
                              {"lib/libx.so", Kind::Symlink, "libx.so.1"},
                              {"lib/up", Kind::Symlink, "../top.txt"},
                              {"lib/hard", Kind::Hardlink, "top.txt"}}),
              Ok)
        << summary_;
    EXPECT_EQ(ReadFile(dest_ / "lib/libx.so"), "lib");
    EXPECT_EQ(ReadFile(dest_ / "lib/up"), "top");
    EXPECT_EQ(ReadFile(dest_ / "lib/hard"), "top");
    EXPECT_EQ(fs::hard_link_count(dest_ / "top.txt"), 2u);
    ExpectOutsideUntouched();
}

}  // namespace
}  // namespace sevenzip::test
