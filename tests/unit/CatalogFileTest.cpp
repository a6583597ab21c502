// Tests of the catalogue file reader and of the simulated profile calls it relies on.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "catalog/CatalogFile.h"
#include "platform/Profile.h"
#include "tests/unit/SimFixture.h"

namespace {

using catalog::ReadCatalog;
using catalog::ResolveModel;
using Listing = std::vector<std::pair<int, std::string>>;

std::string Section(const std::string& name, const std::vector<std::string>& names) {
    std::string text = "[" + name + "]\r\n";
    for (size_t i = 0; i < names.size(); ++i) {
        text += "PrintName" + std::to_string(i + 1) + "=" + names[i] + "\r\n";
    }
    return text;
}

Listing Flatten(const std::vector<catalog::CatalogEntry>& entries) {
    Listing out;
    for (const auto& e : entries) {
        out.emplace_back(e.section, e.name);
    }
    return out;
}

class CatalogFileTest : public SimTest {
  protected:
    static Listing Read(const std::string& content) {
        WriteFile(catalog::kCatalogPath, content);
        return Flatten(ReadCatalog());
    }
};

TEST_F(CatalogFileTest, NamesKeepFileOrderAndTheirSectionIndex) {
    const Listing got = Read(Section("First", {"A1", "A2"}) + Section("Second", {"B1"}) +
                             Section("Third", {"C1", "C2", "C3"}));
    EXPECT_EQ(got, (Listing{{0, "A1"}, {0, "A2"}, {1, "B1"}, {2, "C1"}, {2, "C2"}, {2, "C3"}}));
}

TEST_F(CatalogFileTest, GapInKeyNumbersEndsTheSection) {
    const Listing got = Read("[Gap]\r\nPrintName1=One\r\nPrintName2=Two\r\nPrintName4=Four\r\n" +
                             Section("Next", {"N"}));
    EXPECT_EQ(got, (Listing{{0, "One"}, {0, "Two"}, {1, "N"}}));
}

TEST_F(CatalogFileTest, EmptyValuesEndTheSectionAndEmptySectionsStillCount) {
    const Listing got = Read(
        "[Blank]\r\nPrintName1=Kept\r\nPrintName2=\r\nPrintName3=Lost\r\n"
        "[QuotedEmpty]\r\nPrintName1=\"\"\r\nPrintName2=Lost\r\n"
        "[OnlyBlanks]\r\nPrintName1=   \r\nPrintName2=Lost\r\n"
        "[NoKeys]\r\n"
        "[Other]\r\nOtherKey=Lost\r\n" +
        Section("Last", {"Z"}));
    EXPECT_EQ(got, (Listing{{0, "Kept"}, {5, "Z"}}));
}

TEST_F(CatalogFileTest, AtMostFiftyNamesPerSection) {
    std::vector<std::string> names;
    for (int i = 1; i <= 55; ++i) {
        names.push_back("Model " + std::to_string(i));
    }
    const Listing got = Read(Section("Many", names) + Section("After", {"Tail"}));
    ASSERT_EQ(got.size(), 51u);
    EXPECT_EQ(got[49], (std::pair<int, std::string>{0, "Model 50"}));
    EXPECT_EQ(got[50], (std::pair<int, std::string>{1, "Tail"}));
}

TEST_F(CatalogFileTest, NamesLongerThan127AreCut) {
    const std::string n127(127, 'a');
    const std::string n128 = std::string(127, 'b') + "X";
    const std::string n300 = std::string(127, 'c') + std::string(173, 'Y');
    const Listing got = Read(Section("Long", {n127, n128, n300}));
    EXPECT_EQ(got, (Listing{{0, n127}, {0, std::string(127, 'b')}, {0, std::string(127, 'c')}}));
}

TEST_F(CatalogFileTest, KeysAreMatchedWithoutRegardToCase) {
    const Listing got =
        Read("[Mixed]\r\nprintname1=Lower\r\nPRINTNAME2=Upper\r\npRiNtNaMe3=Odd\r\n");
    EXPECT_EQ(got, (Listing{{0, "Lower"}, {0, "Upper"}, {0, "Odd"}}));
}

TEST_F(CatalogFileTest, SectionsDifferingOnlyInCaseShareTheFirstOnesKeys) {
    // The profile calls look a section up by name, case-insensitively, and take the first.
    const Listing got =
        Read(Section("Series", {"First"}) + Section("SERIES", {"Second"}) + Section("X", {"Y"}));
    EXPECT_EQ(got, (Listing{{0, "First"}, {1, "First"}, {2, "Y"}}));
}

TEST_F(CatalogFileTest, ValuesAreTrimmedAndUnquoted) {
    const Listing got = Read(
        "[Quotes]\r\n"
        "PrintName1 =   Plain Name   \r\n"
        "PrintName2=\"  Padded  \"\r\n"
        "PrintName3='Single'\r\n"
        "PrintName4=\"Unbalanced\r\n"
        "PrintName5=\"Mixed'\r\n"
        "PrintName6=Inner \"quotes\" stay\r\n");
    EXPECT_EQ(got, (Listing{{0, "Plain Name"},
                            {0, "  Padded  "},
                            {0, "Single"},
                            {0, "\"Unbalanced"},
                            {0, "\"Mixed'"},
                            {0, "Inner \"quotes\" stay"}}));
}

TEST_F(CatalogFileTest, MissingFileGivesNoNamesAndNothingResolves) {
    EXPECT_FALSE(Exists(catalog::kCatalogPath));
    const auto entries = ReadCatalog();
    EXPECT_TRUE(entries.empty());
    for (int selection : {-1, 0, 7, 34}) {
        EXPECT_EQ(ResolveModel(entries, selection, "Anything"), selection);
    }
}

TEST_F(CatalogFileTest, UnreadableSectionListGivesNoNames) {
    WriteFile(catalog::kCatalogPath, Section("S", {"Name"}));
    sim::FailCall("GetPrivateProfileSectionNamesA", sys::err::AccessDenied);
    EXPECT_TRUE(ReadCatalog().empty());
}

// Section names of the given length whose list with its NULs takes `total` bytes.
std::string SectionsFilling(size_t total, size_t nameLength, std::vector<std::string>& names) {
    std::string text;
    size_t used = 0;
    for (int k = 0; used < total; ++k) {
        const size_t length = std::min(nameLength, total - used - 1);
        std::string name = std::to_string(k) + "_";
        name.resize(length, 's');
        names.push_back(name);
        text += Section(name, {"Model " + std::to_string(k)});
        used += name.size() + 1;
    }
    return text;
}

TEST_F(CatalogFileTest, SectionListOverflowKeepsTheSectionsThatFit) {
    // 90 bytes a section: 33 fit into the 3000-byte buffer, the 34th is cut, the rest are lost.
    std::vector<std::string> names;
    const std::string text = SectionsFilling(40 * 90, 89, names);
    ASSERT_EQ(names.size(), 40u);
    const Listing got = Read(text);
    ASSERT_EQ(got.size(), 33u);
    for (int k = 0; k < 33; ++k) {
        EXPECT_EQ(got[static_cast<size_t>(k)],
                  (std::pair<int, std::string>{k, "Model " + std::to_string(k)}));
    }
}

TEST_F(CatalogFileTest, SectionListFillingTheBufferExactly) {
    // 2999 bytes of names plus the final NUL fit; one byte more cuts the last name.
    std::vector<std::string> fit;
    Listing got = Read(SectionsFilling(2999, 60, fit));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), (std::pair<int, std::string>{static_cast<int>(fit.size()) - 1,
                                                       "Model " + std::to_string(fit.size() - 1)}));
    EXPECT_EQ(got.size(), fit.size());

    std::vector<std::string> over;
    got = Read(SectionsFilling(3000, 60, over));
    EXPECT_EQ(got.size(), over.size() - 1);
    EXPECT_EQ(got.back().first, static_cast<int>(over.size()) - 2);
}

TEST_F(CatalogFileTest, OverlongSectionNameIsSkippedButCounted) {
    const std::string name99(99, 'n');
    const std::string name100(100, 'm');
    const std::string name150(150, 'l');
    const Listing got =
        Read(Section("Before", {"B"}) + Section(name99, {"Fits"}) + Section(name100, {"TooLong"}) +
             Section(name150, {"Longer"}) + Section("After", {"A"}));
    EXPECT_EQ(got, (Listing{{0, "B"}, {1, "Fits"}, {4, "A"}}));
}

TEST_F(CatalogFileTest, OneNamePerSectionMapsComboIndexToCatalogIndex) {
    std::string text;
    for (int k = 0; k < 35; ++k) {
        text += Section("Model" + std::to_string(k), {"Printer " + std::to_string(k)});
    }
    WriteFile(catalog::kCatalogPath, text);
    const auto entries = ReadCatalog();
    ASSERT_EQ(entries.size(), 35u);
    for (int i = 0; i < 35; ++i) {
        EXPECT_EQ(ResolveModel(entries, i, entries[static_cast<size_t>(i)].name), i);
    }
}

TEST_F(CatalogFileTest, SameNameInTwoSectionsResolvesToTheLaterOne) {
    WriteFile(catalog::kCatalogPath, Section("G1", {"Shared", "Only0"}) + Section("G2", {"Only1"}) +
                                         Section("G3", {"Other", "Shared"}));
    const auto entries = ReadCatalog();
    const Listing got = Flatten(entries);
    ASSERT_EQ(got,
              (Listing{{0, "Shared"}, {0, "Only0"}, {1, "Only1"}, {2, "Other"}, {2, "Shared"}}));
    EXPECT_EQ(ResolveModel(entries, 0, "Shared"), 2);
    EXPECT_EQ(ResolveModel(entries, 4, "Shared"), 2);
    EXPECT_EQ(ResolveModel(entries, 1, "Only0"), 0);
    EXPECT_EQ(ResolveModel(entries, 2, "Only1"), 1);
}

TEST_F(CatalogFileTest, ResolveComparesExactlyElseKeepsTheSelection) {
    WriteFile(catalog::kCatalogPath, Section("A", {"Alpha"}) + Section("B", {"Beta"}));
    const auto entries = ReadCatalog();
    EXPECT_EQ(ResolveModel(entries, 0, "Beta"), 1);
    EXPECT_EQ(ResolveModel(entries, 5, "beta"), 5);
    EXPECT_EQ(ResolveModel(entries, 5, "Beta "), 5);
    EXPECT_EQ(ResolveModel(entries, 5, ""), 5);
}

// The simulated profile calls parse a file once per change.
class SimProfileCacheTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        WriteFile(kFile,
                  "[Alpha]\r\nKey=first\r\nKey=second\r\n[Beta]\r\n[Alpha]\r\nKey=third\r\n");
    }
    static constexpr const char* kFile = "C:\\test.ini";
};

// Nearly the largest catalogue the 3000-byte section list holds with distinct names: one- and
// two-character section names of 50 display names each (about 1,000 sections).
std::string LargestCatalogue(std::vector<std::string>& names) {
    const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    size_t bytes = 1;
    for (size_t i = 0; bytes + 3 <= 2900; ++i) {
        std::string name = i < digits.size()
                               ? std::string(1, digits[i])
                               : std::string{digits[(i - digits.size()) / digits.size()],
                                             digits[(i - digits.size()) % digits.size()]};
        bytes += name.size() + 1;
        names.push_back(name);
    }
    std::string text;
    for (const auto& name : names) {
        text += "[" + name + "]\r\n";
        for (int k = 1; k <= 50; ++k) {
            text += "PrintName" + std::to_string(k) + "=Model " + name + " variant " +
                    std::to_string(k) + "\r\n";
        }
    }
    return text;
}

// A file written long enough ago that its timestamps tell every later change.
void Settle(const std::string& windowsPath) {
    std::filesystem::last_write_time(
        sim::HostPath(windowsPath),
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

TEST_F(SimProfileCacheTest, LargestCatalogueIsParsedOncePerChange) {
    std::vector<std::string> names;
    const std::string text = LargestCatalogue(names);
    const int sections = static_cast<int>(names.size());
    ASSERT_GT(sections, 900);
    WriteFile(catalog::kCatalogPath, text);
    Settle(catalog::kCatalogPath);

    const auto entries = ReadCatalog();
    ASSERT_EQ(entries.size(), static_cast<size_t>(sections) * 50);
    EXPECT_EQ(entries.front().name, "Model 0 variant 1");
    EXPECT_EQ(entries.back().section, sections - 1);
    EXPECT_EQ(entries.back().name, "Model " + names.back() + " variant 50");
    EXPECT_EQ(sim::CallCount("sim:ParseProfile"), 1);
    EXPECT_GE(sim::CallCount("GetPrivateProfileStringA"), sections * 50);

    char value[128];
    const std::string last = names.back();
    sys::GetPrivateProfileStringA(last.c_str(), "PrintName7", nullptr, value, sizeof value,
                                  catalog::kCatalogPath);
    EXPECT_EQ(std::string(value), "Model " + last + " variant 7");
    EXPECT_EQ(sim::CallCount("sim:ParseProfile"), 1);

    // A change of the same size is seen at once.
    std::string changed = text;
    changed.replace(changed.find("Model 0 variant 1"), 17, "Model 0 Variant 1");
    WriteFile(catalog::kCatalogPath, changed);
    sys::GetPrivateProfileStringA("0", "PrintName1", nullptr, value, sizeof value,
                                  catalog::kCatalogPath);
    EXPECT_EQ(std::string(value), "Model 0 Variant 1");
    EXPECT_EQ(sim::CallCount("sim:ParseProfile"), 2);
}

TEST_F(SimProfileCacheTest, RewriteWithinTheSameTimestampIsSeen) {
    // Same size, same inode, and the modification time put back, as a second write within
    // one timestamp tick would leave them: only the freshness of the first read can tell.
    const auto host = sim::HostPath(kFile);
    const auto written = std::filesystem::last_write_time(host);
    char value[16];
    sys::GetPrivateProfileStringA("Alpha", "Key", nullptr, value, sizeof value, kFile);
    ASSERT_STREQ(value, "first");
    {
        std::fstream out(host, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(std::string("[Alpha]\r\nKey=").size()));
        out << "FIRST";
    }
    std::filesystem::last_write_time(host, written);
    sys::GetPrivateProfileStringA("Alpha", "Key", nullptr, value, sizeof value, kFile);
    EXPECT_STREQ(value, "FIRST");
}

TEST_F(SimProfileCacheTest, RemovedFileIsNoLongerRead) {
    Settle(kFile);
    char value[16];
    sys::GetPrivateProfileStringA("Alpha", "Key", nullptr, value, sizeof value, kFile);
    ASSERT_STREQ(value, "first");
    std::filesystem::remove(sim::HostPath(kFile));
    EXPECT_EQ(sys::GetPrivateProfileStringA("Alpha", "Key", "gone", value, sizeof value, kFile),
              4u);
    EXPECT_STREQ(value, "gone");
}

}  // namespace
