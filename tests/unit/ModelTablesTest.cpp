// Tests of the fixed model tables: sharing rules, file lists and bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/ModelTables.h"

namespace {

using namespace catalog;

std::string Upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool IsFileStem(std::string_view s) {
    return !s.empty() && s.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

// Group of a receipt catalogue index, 1..4.
int GroupOf(int index) {
    int end = 0;
    for (int g = 0; g < 4; ++g) {
        end += kReceiptGroupSizes[static_cast<std::size_t>(g)];
        if (index < end) {
            return g + 1;
        }
    }
    return 0;
}

TEST(ModelTables, GroupsCoverTheReceiptRange) {
    int sum = 0;
    for (int size : kReceiptGroupSizes) {
        sum += size;
    }
    EXPECT_EQ(sum, kReceiptModelCount);
    EXPECT_EQ(kReceiptModelCount + kLabelModelCount, kModelCount);
    EXPECT_EQ(GroupOf(14), 1);
    EXPECT_EQ(GroupOf(15), 2);
    EXPECT_EQ(GroupOf(21), 2);
    EXPECT_EQ(GroupOf(22), 3);
    EXPECT_EQ(GroupOf(27), 4);
}

TEST(ModelTables, OutOfRangeLookupsAreEmpty) {
    for (int bad : {INT_MIN, -1, kReceiptModelCount, kModelCount, INT_MAX}) {
        EXPECT_TRUE(ReceiptDriverName(bad).empty()) << bad;
        EXPECT_TRUE(ReceiptGpdStem(bad).empty()) << bad;
    }
    for (int bad : {INT_MIN, -1, 5, INT_MAX}) {
        EXPECT_TRUE(ReceiptModuleStem(bad).empty()) << bad;
    }
    for (int bad : {INT_MIN, -1, kLabelModelCount, kModelCount, INT_MAX}) {
        EXPECT_TRUE(LabelDriverName(bad).empty()) << bad;
        EXPECT_TRUE(LabelDataStem(bad).empty()) << bad;
    }
}

TEST(ModelTables, EveryRowInRangeIsAUsableName) {
    for (int i = 0; i < kReceiptModelCount; ++i) {
        EXPECT_FALSE(ReceiptDriverName(i).empty()) << i;
        EXPECT_TRUE(IsFileStem(ReceiptGpdStem(i))) << i;
    }
    for (int row = 0; row < 5; ++row) {
        EXPECT_TRUE(IsFileStem(ReceiptModuleStem(row))) << row;
    }
    for (int i = 0; i < kLabelModelCount; ++i) {
        EXPECT_FALSE(LabelDriverName(i).empty()) << i;
        EXPECT_TRUE(IsFileStem(LabelDataStem(i))) << i;
    }
}

TEST(ModelTables, GpdStemsShareOnlyWhereIntended) {
    EXPECT_EQ(ReceiptGpdStem(5), ReceiptGpdStem(6));
    EXPECT_EQ(ReceiptGpdStem(11), ReceiptModuleStem(0));
    EXPECT_EQ(ReceiptGpdStem(14), ReceiptDriverName(14));
    EXPECT_EQ(ReceiptGpdStem(26), ReceiptDriverName(26));
    EXPECT_EQ(LabelDataStem(4), ReceiptGpdStem(kReceiptModelCount - 1));

    // The copies land in one directory, where case does not matter.
    std::map<std::string, std::vector<int>> users;
    for (int i = 0; i < kReceiptModelCount; ++i) {
        users[Upper(ReceiptGpdStem(i))].push_back(i);
    }
    for (const auto& [stem, indices] : users) {
        if (indices.size() > 1) {
            EXPECT_EQ(indices, (std::vector<int>{5, 6})) << stem;
        }
    }
    EXPECT_EQ(users.size(), static_cast<std::size_t>(kReceiptModelCount - 1));
}

TEST(ModelTables, DriverNamesAreUniqueAcrossTheCatalogue) {
    std::set<std::string> names;
    for (int i = 0; i < kReceiptModelCount; ++i) {
        EXPECT_TRUE(names.insert(std::string(ReceiptDriverName(i))).second) << i;
    }
    for (int i = 0; i < kLabelModelCount; ++i) {
        EXPECT_TRUE(names.insert(std::string(LabelDriverName(i))).second) << 30 + i;
    }
    // Display names are read into 128-byte buffers.
    for (const std::string& name : names) {
        EXPECT_LE(name.size(), 127u) << name;
    }
}

TEST(ModelTables, ThirdModuleModelIsTheOnlyOneAndInGroupTwo) {
    int found = -1;
    for (int i = 0; i < kReceiptModelCount; ++i) {
        if (ReceiptDriverName(i) == kThirdModuleModel) {
            EXPECT_EQ(found, -1) << "listed twice";
            found = i;
        }
    }
    ASSERT_NE(found, -1);
    EXPECT_EQ(GroupOf(found), 2);
    EXPECT_EQ(kThirdModuleModel, "ZR90Q Series");
}

TEST(ModelTables, ModuleStemsAreDistinct) {
    std::set<std::string> stems;
    for (int row = 0; row < 5; ++row) {
        EXPECT_TRUE(stems.insert(Upper(ReceiptModuleStem(row))).second) << row;
    }
}

TEST(ModelTables, UniDrvFilesAreTheSystemNamesInCopyOrder) {
    const std::vector<std::string> expected{"uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                                            "UNIRES.DLL",   "TTFSUB.GPD", "STDNAMES.GPD"};
    auto files = UniDrvFiles();
    ASSERT_EQ(files.size(), expected.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(std::string(files[i]), expected[i]);
    }
}

// A model file with a uniDRV name would be overwritten and then deleted with it.
TEST(ModelTables, ModelFilesDoNotCollideWithUniDrvFiles) {
    std::set<std::string> system;
    for (const char* f : UniDrvFiles()) {
        system.insert(Upper(f));
    }
    for (int i = 0; i < kReceiptModelCount; ++i) {
        EXPECT_EQ(system.count(Upper(std::string(ReceiptGpdStem(i)) + ".GPD")), 0u) << i;
    }
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(system.count(Upper(std::string(ReceiptModuleStem(row)) + ".DLL")), 0u) << row;
    }
}

TEST(ModelTables, ReceiptDependentListFitsItsBuffer) {
    // 38 bytes of fixed names, then the module file, its NUL and the list's closing NUL.
    for (int row = 0; row < 5; ++row) {
        EXPECT_LE(38 + ReceiptModuleStem(row).size() + 4 + 2, 255u) << row;
    }
}

const char* const kCodes[] = {"ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN",
                              "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
                              "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR"};

void ExpectLabelList(bool x64, const char* monitor, const char* driver, const char* ui,
                     const char* suffix) {
    auto files = LabelFiles(x64);
    ASSERT_EQ(files.size(), 30u);
    EXPECT_STREQ(files[0], monitor);
    EXPECT_STREQ(files[1], driver);
    EXPECT_STREQ(files[2], ui);
    for (std::size_t i = 0; i < 27; ++i) {
        EXPECT_EQ(std::string(files[3 + i]), std::string("QLV") + kCodes[i] + suffix + ".DLL")
            << "row " << 4 + i;
    }
    std::set<std::string> unique;
    for (const char* f : files) {
        ASSERT_NE(f, nullptr);
        unique.insert(Upper(f));
    }
    EXPECT_EQ(unique.size(), 30u);
}

TEST(ModelTables, LabelListsFollowTheLanguageOrder) {
    ExpectLabelList(false, "qlvMONNT.dll", "QLVDRV50.DLL", "QLVUI50.DLL", "50");
    ExpectLabelList(true, "qlvMON64.dll", "QLVDRV56.DLL", "QLVUI56.DLL", "56");
    EXPECT_STREQ(LabelFiles(false)[3], "QLVENG50.DLL");
    EXPECT_STREQ(LabelFiles(true)[29], "QLVPBR56.DLL");
}

TEST(ModelTables, LabelDependentListFitsItsBuffer) {
    // Each language module and the .BA0 file with a leading backslash and a NUL, then one NUL.
    for (bool x64 : {false, true}) {
        auto files = LabelFiles(x64);
        for (int i = 0; i < kLabelModelCount; ++i) {
            std::size_t bytes = 1;
            for (std::size_t row = 3; row < files.size(); ++row) {
                bytes += 1 + std::string_view(files[row]).size() + 1;
            }
            bytes += 1 + LabelDataStem(i).size() + 4 + 1;
            EXPECT_LE(bytes, 500u) << i;
        }
    }
}

TEST(ModelTables, LabelDataStemsAreDistinct) {
    std::set<std::string> stems;
    for (int i = 0; i < kLabelModelCount; ++i) {
        EXPECT_TRUE(stems.insert(Upper(LabelDataStem(i))).second) << i;
    }
}

// Every entry of every table, one a line, in table order.
std::string RenderTables() {
    std::ostringstream out;
    for (int i = 0; i < kReceiptModelCount; ++i) {
        out << "receipt " << i << " group " << GroupOf(i) << " driver \"" << ReceiptDriverName(i)
            << "\" gpd " << ReceiptGpdStem(i) << "\n";
    }
    for (int row = 0; row < 5; ++row) {
        out << "module " << row << " " << ReceiptModuleStem(row) << "\n";
    }
    for (const char* file : UniDrvFiles()) {
        out << "unidrv " << file << "\n";
    }
    for (int i = 0; i < kLabelModelCount; ++i) {
        out << "label " << i << " index " << kReceiptModelCount + i << " driver \""
            << LabelDriverName(i) << "\" data " << LabelDataStem(i) << "\n";
    }
    for (bool x64 : {false, true}) {
        int row = 1;
        for (const char* file : LabelFiles(x64)) {
            out << (x64 ? "label-files-64 " : "label-files-32 ") << row++ << " " << file << "\n";
        }
    }
    return out.str();
}

// A changed entry, an added one or a reordered one fails here; the golden copy was checked by
// hand against the model list and is changed only on purpose.
TEST(ModelTables, MatchTheGoldenCopy) {
    const std::filesystem::path golden = std::filesystem::path(UNIT_TEST_DATA) / "model-tables.txt";
    std::ifstream in(golden, std::ios::binary);
    ASSERT_TRUE(in) << golden;
    const std::string expected{std::istreambuf_iterator<char>(in), {}};
    const std::string actual = RenderTables();
    if (actual != expected) {
        const auto current = std::filesystem::temp_directory_path() / "model-tables.actual.txt";
        std::ofstream(current, std::ios::binary) << actual;
        FAIL() << "the tables differ from " << golden << "; the current ones are in " << current;
    }
}

}  // namespace
