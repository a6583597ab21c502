// The private profile (INI) reads: buffer sizes, cuts, listings, defaults and where a bare
// file name is looked up.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "tests/conformance/Conformance.h"

namespace {

using conformance::kFill;
using conformance::kMarker;

// Names taking 27 bytes with their NULs once trimmed ("section1" is written with blanks).
constexpr char kNamesFile[] = "[ section1 ]\r\n[section2]\r\n[section3]\r\n";
constexpr char kNamesList[] = "section1\0section2\0section3\0";  // 27 bytes and the literal's NUL

// Keys name1, name2 and name4; name3 has no '=' and is no key.
constexpr char kValuesFile[] =
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n";

class ProfileTest : public conformance::Test {
  protected:
    void SetUp() override {
        conformance::Test::SetUp();
        ASSERT_TRUE(conformance::WriteFile(Names(), kNamesFile));
        ASSERT_TRUE(conformance::WriteFile(Values(), kValuesFile));
        buffer_.assign(64, static_cast<char>(kFill));
    }

    std::string Names() const { return At("names.ini"); }
    std::string Values() const { return At("values.ini"); }

    sys::Dword SectionNames(sys::Dword size) {
        return sys::GetPrivateProfileSectionNamesA(buffer_.data(), size, Names().c_str());
    }
    sys::Dword String(const char* section, const char* key, const char* fallback, sys::Dword size) {
        return sys::GetPrivateProfileStringA(section, key, fallback, buffer_.data(), size,
                                             Values().c_str());
    }

    std::string Bytes(size_t from, size_t count) const {
        return std::string(buffer_.data() + from, count);
    }
    // True when nothing was written from `from` to the end of the buffer.
    bool UntouchedFrom(size_t from) const {
        for (size_t i = from; i < buffer_.size(); ++i) {
            if (buffer_[i] != static_cast<char>(kFill)) {
                return false;
            }
        }
        return true;
    }

    std::vector<char> buffer_;
};

TEST_F(ProfileTest, SectionNamesWithRoomToSpareAreTrimmedAndEndInDoubleNul) {
    EXPECT_EQ(SectionNames(29), 27u);
    EXPECT_EQ(Bytes(0, 28), std::string(kNamesList, 28));
    EXPECT_TRUE(UntouchedFrom(29));
}

// Exactly the list and its final NUL: Windows still counts the list as cut.
TEST_F(ProfileTest, SectionNamesIntoTheExactSizeReturnSizeMinusTwo) {
    EXPECT_EQ(SectionNames(28), 26u);
    EXPECT_EQ(Bytes(0, 26), std::string(kNamesList, 26));
    EXPECT_TRUE(UntouchedFrom(28));
}

TEST_F(ProfileTest, SectionNamesIntoTheExactSizeEndInDoubleNul) {
    WINE_DIFFERS("the ANSI list cut at the exact size lacks the double NUL (todo_wine)");
    SectionNames(28);
    EXPECT_EQ(Bytes(26, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, SectionNamesOneByteShortCutTheLastName) {
    EXPECT_EQ(SectionNames(27), 25u);
    EXPECT_EQ(Bytes(0, 25), std::string("section1\0section2\0section", 25));
    EXPECT_TRUE(UntouchedFrom(27));
}

TEST_F(ProfileTest, SectionNamesCutRightAfterANameLeaveNoPartOfTheNext) {
    EXPECT_EQ(SectionNames(20), 18u);
    EXPECT_EQ(Bytes(0, 18), std::string(kNamesList, 18));
    EXPECT_TRUE(UntouchedFrom(20));
}

TEST_F(ProfileTest, SectionNamesOneByteShortEndInDoubleNul) {
    WINE_DIFFERS("the ANSI list cut one byte short lacks the double NUL (todo_wine)");
    SectionNames(27);
    EXPECT_EQ(Bytes(25, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, SectionNamesOfAMissingFileAreOneNul) {
    EXPECT_EQ(sys::GetPrivateProfileSectionNamesA(buffer_.data(), 10, At("none.ini").c_str()), 0u);
    EXPECT_EQ(buffer_[0], '\0');
    EXPECT_EQ(buffer_[1], static_cast<char>(kFill)) << "a second NUL was written";
}

TEST_F(ProfileTest, SectionNamesKeepFileOrderAndRepeats) {
    ASSERT_TRUE(conformance::WriteFile(Names(), "[Alpha]\r\nk=1\r\n[Beta]\r\n[Alpha]\r\nk=3\r\n"));
    EXPECT_EQ(SectionNames(64), 17u);
    EXPECT_EQ(Bytes(0, 18), std::string("Alpha\0Beta\0Alpha\0\0", 18));
}

TEST_F(ProfileTest, SectionNamesLeaveOutAnEmptyName) {
    // Its NUL would read as the end of the list.
    ASSERT_TRUE(conformance::WriteFile(Names(), "[One]\r\nk=1\r\n[]\r\nk=2\r\n[Two]\r\nk=3\r\n"));
    EXPECT_EQ(SectionNames(64), 8u);
    EXPECT_EQ(Bytes(0, 9), std::string("One\0Two\0\0", 9));
}

TEST_F(ProfileTest, StringSizeZeroWritesNothing) {
    EXPECT_EQ(String("section1", "name1", "default", 0), 0u);
    EXPECT_TRUE(UntouchedFrom(0));
}

TEST_F(ProfileTest, StringIsCutToTheBuffer) {
    struct Case {
        const char* key;
        sys::Dword size;
        sys::Dword result;
        const char* text;
    };
    const Case cases[] = {
        {"name1", 4, 3, "val"},   // one byte short
        {"name1", 5, 4, "val1"},  // exact size
        {"name4", 1, 0, ""},      // one character, room only for the NUL
        {"name4", 2, 1, "a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " into " + std::to_string(c.size));
        buffer_.assign(64, static_cast<char>(kFill));
        EXPECT_EQ(String("section1", c.key, "default", c.size), c.result);
        EXPECT_STREQ(buffer_.data(), c.text);
        EXPECT_TRUE(UntouchedFrom(c.size));
    }
}

TEST_F(ProfileTest, StringNamesAreCaseInsensitiveAndQuotesAreStripped) {
    EXPECT_EQ(String("SECTION1", "NaMe1", "default", 64), 4u);
    EXPECT_STREQ(buffer_.data(), "val1");
    EXPECT_EQ(String("section1", "name2", "default", 64), 4u);
    EXPECT_STREQ(buffer_.data(), "val2");
}

TEST_F(ProfileTest, StringTakesTheFirstSectionOfAName) {
    ASSERT_TRUE(conformance::WriteFile(
        Values(), "[Alpha]\r\nKey=first\r\nKey=second\r\n[Beta]\r\n[Alpha]\r\nKey=third\r\n"));
    EXPECT_EQ(String("alpha", "key", nullptr, 64), 5u);
    EXPECT_STREQ(buffer_.data(), "first");
}

TEST_F(ProfileTest, DefaultLosesTrailingBlanks) {
    struct Case {
        const char* section;
        const char* key;
        const char* fallback;
        const char* text;
    };
    const Case cases[] = {
        {"section1", "notakey", "default  ", "default"},
        {"notasection", "name1", "one two  ", "one two"},
        {"section2", "name1", " lead", " lead"},
        {"section1", "notakey", nullptr, ""},
        {"section1", "notakey", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(String(c.section, c.key, c.fallback, 64), std::strlen(c.text));
        EXPECT_STREQ(buffer_.data(), c.text);
    }
}

TEST_F(ProfileTest, StringOfAMissingFileIsTheDefault) {
    EXPECT_EQ(sys::GetPrivateProfileStringA("section1", "name1", "dflt", buffer_.data(), 64,
                                            At("none.ini").c_str()),
              4u);
    EXPECT_STREQ(buffer_.data(), "dflt");
}

TEST_F(ProfileTest, NullSectionListsTheSections) {
    EXPECT_EQ(String(nullptr, "name1", "default", 64), 18u);
    EXPECT_EQ(Bytes(0, 19), std::string("section1\0section2\0\0", 19));
    EXPECT_EQ(String(nullptr, "name1", "default", 16), 14u);
    EXPECT_EQ(Bytes(0, 14), std::string("section1\0secti", 14));
}

TEST_F(ProfileTest, NullKeyListsTheKeys) {
    EXPECT_EQ(String("section1", nullptr, "default", 64), 18u);
    EXPECT_EQ(Bytes(0, 19), std::string("name1\0name2\0name4\0\0", 19));
    EXPECT_EQ(String("section1", nullptr, "default", 16), 14u);
    EXPECT_EQ(Bytes(0, 14), std::string("name1\0name2\0na", 14));
}

TEST_F(ProfileTest, CutListingsEndInDoubleNul) {
    WINE_DIFFERS("a cut section or key listing lacks the double NUL (todo_wine)");
    String(nullptr, "name1", "default", 16);
    EXPECT_EQ(Bytes(14, 2), std::string("\0\0", 2));
    buffer_.assign(64, static_cast<char>(kFill));
    String("section1", nullptr, "default", 16);
    EXPECT_EQ(Bytes(14, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, LinesEndingInCrAloneAreSeparateLines) {
    ASSERT_TRUE(conformance::WriteFile(At("cr.ini"), "[s]\rk=one\rj=two\r[t]\rk=three\r"));
    char value[16];
    for (const auto& [section, key, expected] :
         {std::tuple{"s", "j", "two"}, std::tuple{"t", "k", "three"}}) {
        SCOPED_TRACE(std::string(section) + "." + key);
        EXPECT_EQ(sys::GetPrivateProfileStringA(section, key, "none", value, sizeof value,
                                                At("cr.ini").c_str()),
                  std::strlen(expected));
        EXPECT_STREQ(value, expected);
    }
}

TEST_F(ProfileTest, BareFileNameIsLookedUpInTheWindowsDirectory) {
    const std::string name = "conformance-bare.ini";
    const std::string inWindows = sys::GetWindowsDirectoryA() + "\\" + name;
    // A file of that name in the current directory is not the one read.
    const std::string inCurrent = sys::GetCurrentDirectoryA() + "\\" + name;
    ASSERT_TRUE(conformance::WriteFile(inCurrent, "[s]\r\nk=current\r\n"));
    if (!conformance::WriteFile(inWindows, "[s]\r\nk=windows\r\n")) {
        conformance::RemoveTree(inCurrent);
        GTEST_SKIP() << "cannot write into the Windows directory";
    }
    const sys::Dword n =
        sys::GetPrivateProfileStringA("s", "k", "none", buffer_.data(), 64, name.c_str());
    conformance::RemoveTree(inWindows);
    conformance::RemoveTree(inCurrent);
    EXPECT_EQ(n, 7u);
    EXPECT_STREQ(buffer_.data(), "windows");
}

TEST_F(ProfileTest, MissingFileSetsFileNotFound) {
    sys::SetLastError(kMarker);
    sys::GetPrivateProfileStringA("section1", "name1", "dflt", buffer_.data(), 64,
                                  At("none.ini").c_str());
    EXPECT_EQ(sys::GetLastError(), sys::err::FileNotFound);
}

}  // namespace
