// Entries that fail in different ways in one archive: which result wins, and how the summary
// reports many failures without growing past its bound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip::test {
namespace {

class ErrorMixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A non-empty directory a file entry cannot replace: the writer reports it as a write
        // error whatever the process's rights (the tests may run as root).
        WriteFile(dest_ / "Ticket/x86/A.GPD", "kept");
    }

    int Extract(const std::vector<Entry>& entries) {
        const fs::path archive = tmp_ / ("mix" + std::to_string(count_++) + ".tar");
        Craft(archive, Format::Tar, entries);
        std::vector<char> output(65536, '\0');
        const int result = ::SevenZip(nullptr, CommandFor(archive, dest_).c_str(), output.data(),
                                      static_cast<sys::Dword>(output.size()));
        summary_ = output.data();
        return result;
    }

    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }

    TempDir tmp_;
    fs::path dest_ = tmp_ / "dest";
    std::string summary_;
    int count_ = 0;
};

TEST_F(ErrorMixTest, LinkEntriesDoNotReplaceAnExistingDirectory) {
    EXPECT_EQ(Extract({{"Ticket", Kind::Symlink, "elsewhere"}}), RefusedEntry) << summary_;
    EXPECT_NE(summary_.find("Refused: Ticket: symbolic link would replace a directory"),
              std::string::npos)
        << summary_;
    EXPECT_FALSE(fs::is_symlink(dest_ / "Ticket"));
    EXPECT_EQ(ReadFile(dest_ / "Ticket/x86/A.GPD"), "kept");

    // A hard link over the same directory fails to be written and leaves it whole.
    const int result =
        Extract({{"top.txt", Kind::File, "top"}, {"Ticket", Kind::Hardlink, "top.txt"}});
    EXPECT_EQ(result, WriteError) << summary_;
    EXPECT_NE(summary_.find("Errors: 1"), std::string::npos) << summary_;
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(dest_ / "Ticket")));
    EXPECT_EQ(ReadFile(dest_ / "Ticket/x86/A.GPD"), "kept");
    EXPECT_EQ(ReadFile(dest_ / "top.txt"), "top");
}

TEST_F(ErrorMixTest, AWriteErrorOutranksARefusedEntryInEitherOrder) {
    const Entry refused{"../x", Kind::File, "planted"};
    const Entry unwritable{"Ticket/x86", Kind::File, "over a directory"};
    const Entry good{"good.txt", Kind::File, "good"};
    for (const auto& entries : {std::vector<Entry>{refused, unwritable, good},
                                std::vector<Entry>{unwritable, refused, good}}) {
        SCOPED_TRACE(entries[0].name);
        EXPECT_EQ(Extract(entries), WriteError) << summary_;
        EXPECT_NE(summary_.find("Errors: 2\r\n"), std::string::npos) << summary_;
        EXPECT_NE(summary_.find("Refused: ../x: "), std::string::npos) << summary_;
        EXPECT_NE(summary_.find("Cannot create Ticket/x86: "), std::string::npos) << summary_;
        EXPECT_EQ(ReadFile(dest_ / "good.txt"), "good");
        EXPECT_EQ(ReadFile(dest_ / "Ticket/x86/A.GPD"), "kept");
        EXPECT_FALSE(fs::exists(tmp_ / "x"));
        fs::remove(dest_ / "good.txt");
    }
}

TEST_F(ErrorMixTest, ManyErrorsKeepTheSummaryBoundedAndTheResultRight) {
    std::vector<Entry> entries;
    for (int i = 0; i < 250; ++i) {
        entries.push_back({"../escape" + std::to_string(i), Kind::File, "planted"});
    }
    // The worst failure comes after the detail lines are used up.
    entries.push_back({"Ticket/x86", Kind::File, "over a directory"});
    entries.push_back({"last.txt", Kind::File, "last"});

    EXPECT_EQ(Extract(entries), WriteError);
    EXPECT_NE(summary_.find("Errors: 251\r\n"), std::string::npos) << summary_.substr(0, 300);
    EXPECT_EQ(Count(summary_, "Refused: "), 200u);
    EXPECT_EQ(Count(summary_, "Cannot create "), 0u);
    EXPECT_NE(summary_.find("\r\n... 51 more\r\n"), std::string::npos);
    EXPECT_EQ(Count(summary_, "\r\n"), 4u + 200u + 1u);
    EXPECT_LT(summary_.size(), 16384u);
    EXPECT_EQ(ReadFile(dest_ / "last.txt"), "last");
    EXPECT_FALSE(fs::exists(tmp_ / "escape0"));
}

}  // namespace
}  // namespace sevenzip::test
