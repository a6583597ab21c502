// Removal of the unpacked package: depth first, read-only files stay, links are never followed.
#include <sys/stat.h>

#include <filesystem>

#include "app/Cleanup.h"
#include "catalog/ArchiveExtractor.h"
#include "platform/Files.h"
#include "platform/sim/SimFileSecurity.h"
#include "tests/unit/SimFixture.h"

namespace fs = std::filesystem;

class CleanupTest : public SimTest {};

TEST_F(CleanupTest, RemovesWholeTreesAndTheCatalogueFile) {
    WriteFile("C:\\Barcode\\x86\\qlvMONNT.dll", "m");
    WriteFile("C:\\Barcode\\Common\\deep\\er\\THERMAL.chm", "h");
    WriteFile("C:\\Ticket\\x64\\TR240.GPD", "g");
    WriteFile("C:\\DriverName.cfg", "[a]\n");
    WriteFile("C:\\Other\\keep.txt", "k");

    RemoveUnpackedFiles();

    EXPECT_FALSE(Exists("C:\\Barcode"));
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(Exists("C:\\Other\\keep.txt"));
}

TEST_F(CleanupTest, StagingFolderLeftByAnUnfinishedUnpackGoesToo) {
    WriteFile(std::string(catalog::kStagingDir) + "\\Program Files\\Vendor\\x.txt", "stray");
    WriteFile(std::string(catalog::kStagingDir) + "\\Ticket\\x86\\A.GPD", "g");
    RemoveUnpackedFiles();
    EXPECT_FALSE(Exists(catalog::kStagingDir));
}

TEST_F(CleanupTest, MissingPathsAreNoError) {
    EXPECT_FALSE(RemoveTree("c:\\Barcode"));
    RemoveUnpackedFiles();
    EXPECT_TRUE(Exists("C:\\Windows\\System32"));
}

TEST_F(CleanupTest, ReadOnlyFileStaysWithItsDirectories) {
    WriteFile("C:\\Ticket\\x86\\locked.DLL", "r");
    WriteFile("C:\\Ticket\\x86\\free.DLL", "f");
    WriteFile("C:\\Ticket\\x64\\free.DLL", "f");
    ASSERT_TRUE(sys::SetFileAttributesA("C:\\Ticket\\x86\\locked.DLL", sys::attr::ReadOnly));

    EXPECT_FALSE(RemoveTree("c:\\Ticket"));

    EXPECT_TRUE(Exists("C:\\Ticket\\x86\\locked.DLL"));
    EXPECT_FALSE(Exists("C:\\Ticket\\x86\\free.DLL"));
    EXPECT_FALSE(Exists("C:\\Ticket\\x64"));
    // No attribute change was attempted to force it.
    EXPECT_EQ(sim::CallCount("SetFileAttributesA"), 1);
}

TEST_F(CleanupTest, LinksInsideTheTreeGoButTheirTargetsStay) {
    WriteFile("C:\\Keep\\sub\\precious.txt", "p");
    WriteFile("C:\\Keep\\single.txt", "s");
    WriteFile("C:\\Barcode\\x86\\a.dll", "a");
    const fs::path barcode = sim::HostPath("C:\\Barcode\\x86");
    fs::create_directory_symlink(sim::HostPath("C:\\Keep"), barcode / "dirlink");
    fs::create_symlink(sim::HostPath("C:\\Keep\\single.txt"), barcode / "filelink");

    EXPECT_TRUE(RemoveTree("c:\\Barcode"));

    EXPECT_FALSE(Exists("C:\\Barcode"));
    EXPECT_TRUE(Exists("C:\\Keep\\sub\\precious.txt"));
    EXPECT_TRUE(Exists("C:\\Keep\\single.txt"));
}

TEST_F(CleanupTest, TreeThatIsItselfALinkLosesOnlyTheLink) {
    WriteFile("C:\\Elsewhere\\data.bin", "d");
    fs::create_directory_symlink(sim::HostPath("C:\\Elsewhere"), sim::HostPath("C:\\Ticket"));

    EXPECT_TRUE(RemoveTree("c:\\Ticket"));

    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_TRUE(Exists("C:\\Elsewhere\\data.bin"));
}

TEST_F(CleanupTest, FailedDeletionsLeaveTheRestConsistent) {
    WriteFile("C:\\Ticket\\x86\\a.GPD", "a");
    WriteFile("C:\\Ticket\\x86\\b.GPD", "b");
    sim::FailCall("SetFileInformationByHandle", sys::err::AccessDenied, 1);

    EXPECT_FALSE(RemoveTree("c:\\Ticket"));

    // One file could not go: it and its directories remain, the other file is gone.
    int remaining = 0;
    for (auto& entry : fs::directory_iterator(sim::HostPath("C:\\Ticket\\x86"))) {
        (void)entry;
        ++remaining;
    }
    EXPECT_EQ(remaining, 1);
}

// A standard user's tree, and the same user swapping a folder of it for a junction to another
// user's files at every call the removal makes (after the listing, between a check and a
// deletion): nothing outside the tree is ever deleted.
TEST_F(CleanupTest, JunctionSwappedInAtAnyCallDeletesNothingOutside) {
    const auto makeTrees = [] {
        WriteFile("C:\\Victim\\one.txt", "1");
        WriteFile("C:\\Victim\\sub\\two.txt", "2");
        EXPECT_TRUE(sim::UserMakeDirectory("C:\\Ticket"));
        EXPECT_TRUE(sim::UserMakeDirectory("C:\\Ticket\\x86"));
        EXPECT_TRUE(sim::UserMakeDirectory("C:\\Ticket\\x86\\sub"));
        EXPECT_TRUE(sim::UserWriteFile("C:\\Ticket\\a.GPD", "a"));
        EXPECT_TRUE(sim::UserWriteFile("C:\\Ticket\\x86\\b.GPD", "b"));
        EXPECT_TRUE(sim::UserWriteFile("C:\\Ticket\\x86\\sub\\c.GPD", "c"));
    };
    makeTrees();
    RemoveTree("c:\\Ticket");
    const auto calls = sim::CallCounts();
    int swaps = 0;
    for (const auto& [call, count] : calls) {
        for (int nth = 1; nth <= count; ++nth) {
            for (const char* swapped : {"C:\\Ticket\\x86", "C:\\Ticket\\x86\\sub"}) {
                sim::Reset();
                makeTrees();
                bool swappedIn = false;
                sim::BeforeCall(call, nth,
                                [&] { swappedIn = sim::UserMakeLink(swapped, "C:\\Victim"); });
                RemoveTree("c:\\Ticket");
                swaps += swappedIn ? 1 : 0;
                EXPECT_TRUE(Exists("C:\\Victim\\one.txt") && Exists("C:\\Victim\\sub\\two.txt"))
                    << swapped << " swapped before " << call << " #" << nth;
            }
        }
    }
    // The swap itself succeeded at some calls (before the folder was held): the test attacked.
    EXPECT_GT(swaps, 0);
}
