// Extraction of real archives through the exported entry point: results, files, summary buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "TestSupport.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip::test {
namespace {

constexpr std::size_t kBufferSize = 16384;

struct Done {
    int result;
    std::string summary;
};

Done Extract(const std::string& commandLine) {
    std::vector<char> output(kBufferSize + 1, '\x7f');
    const int result = ::SevenZip(nullptr, commandLine.c_str(), output.data(), kBufferSize);
    return {result, std::string(output.data())};
}

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    return data;
}

class ExtractTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(source_ / "Ticket/x86/model one.gpd", std::string(5000, 'g'));
        WriteFile(source_ / "Ticket/x64/noise.bin", Noise(70000, 1));
        WriteFile(source_ / "Barcode/Common/empty.dat", "");
        WriteFile(source_ / "DriverName.cfg", "[Driver]\r\nCount=1\r\n");
        fs::create_directories(source_ / "Empty Dir");
        ASSERT_TRUE(Make7z(source_, archive_));
    }

    void ExpectSameTree() const {
        EXPECT_EQ(ListTree(dest_), ListTree(source_));
        for (const std::string& name : ListTree(source_)) {
            if (fs::is_regular_file(source_ / name)) {
                EXPECT_EQ(ReadFile(dest_ / name), ReadFile(source_ / name)) << name;
            }
        }
    }

    TempDir tmp_;
    fs::path source_ = tmp_ / "source";
    fs::path archive_ = tmp_ / "pkg dir" / "Driver Data.Drv";
    fs::path dest_ = tmp_ / "out dir" / "nested";
};

TEST_F(ExtractTest, Good7zArchiveIsExtractedWithFullPaths) {
    const Done run = Extract(CommandFor(archive_, dest_));
    EXPECT_EQ(run.result, Ok) << run.summary;
    ExpectSameTree();
    EXPECT_NE(run.summary.find("Everything is Ok"), std::string::npos) << run.summary;
    EXPECT_NE(run.summary.find("Files: 4, folders: 6"), std::string::npos) << run.summary;
}

TEST_F(ExtractTest, ExistingFilesAreOverwritten) {
    WriteFile(dest_ / "DriverName.cfg", "stale catalogue that is longer than the new one");
    WriteFile(dest_ / "Ticket/x86/model one.gpd", "old");
    WriteFile(dest_ / "unrelated.txt", "kept");
    const Done run = Extract(CommandFor(archive_, dest_));
    EXPECT_EQ(run.result, Ok) << run.summary;
    EXPECT_EQ(ReadFile(dest_ / "DriverName.cfg"), ReadFile(source_ / "DriverName.cfg"));
    EXPECT_EQ(ReadFile(dest_ / "Ticket/x86/model one.gpd"), std::string(5000, 'g'));
    EXPECT_EQ(ReadFile(dest_ / "unrelated.txt"), "kept");
    // Twice in a row, as a second start of the installer would.
    EXPECT_EQ(Extract(CommandFor(archive_, dest_)).result, Ok);
}

TEST_F(ExtractTest, ZipAndTarComeAlong) {
    const fs::path zip = tmp_ / "pkg.zip";
    const fs::path tar = tmp_ / "pkg.tar";
    ASSERT_NO_FATAL_FAILURE(Craft(zip, Format::Zip, {{"a/b.txt", Kind::File, "zip data"}}));
    ASSERT_NO_FATAL_FAILURE(Craft(tar, Format::Tar, {{"c/d.txt", Kind::File, "tar data"}}));
    EXPECT_EQ(Extract(CommandFor(zip, dest_)).result, Ok);
    EXPECT_EQ(Extract(CommandFor(tar, dest_)).result, Ok);
    EXPECT_EQ(ReadFile(dest_ / "a/b.txt"), "zip data");
    EXPECT_EQ(ReadFile(dest_ / "c/d.txt"), "tar data");
}

TEST_F(ExtractTest, BadCommandLineTouchesNothing) {
    const Done run = Extract("x -y \"" + archive_.string() + "\" -hide");
    EXPECT_EQ(run.result, BadCommandLine);
    EXPECT_NE(run.summary.find("-o"), std::string::npos) << run.summary;
    EXPECT_EQ(::SevenZip(nullptr, nullptr, nullptr, 0), BadCommandLine);
}

TEST_F(ExtractTest, MissingArchive) {
    const Done run = Extract(CommandFor(tmp_ / "absent.Drv", dest_));
    EXPECT_EQ(run.result, ArchiveUnreadable);
    EXPECT_NE(run.summary.find("absent.Drv"), std::string::npos) << run.summary;
    EXPECT_EQ(Extract(CommandFor(tmp_.path(), dest_)).result, ArchiveUnreadable);
}

TEST_F(ExtractTest, NotAnArchive) {
    WriteFile(tmp_ / "text.Drv", "this is not an archive at all\n");
    EXPECT_EQ(Extract(CommandFor(tmp_ / "text.Drv", dest_)).result, CorruptArchive);
}

TEST_F(ExtractTest, TruncatedArchive) {
    const std::string whole = ReadFile(archive_);
    for (std::size_t keep : {whole.size() / 2, whole.size() - 10, std::size_t{40}}) {
        WriteFile(tmp_ / "cut.Drv", whole.substr(0, keep));
        const Done run = Extract(CommandFor(tmp_ / "cut.Drv", dest_));
        EXPECT_EQ(run.result, CorruptArchive) << "kept " << keep << "\n" << run.summary;
    }
}

TEST_F(ExtractTest, DamagedDataIsReportedNotSilentlyWritten) {
    // Uncompressed storage puts the file bytes at a known place right after the signature header.
    fs::remove(archive_);
    ASSERT_TRUE(Make7z(source_, archive_, "-mx=0"));
    std::string bytes = ReadFile(archive_);
    const std::size_t at = bytes.find(std::string(5000, 'g'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] = 'X';
    WriteFile(tmp_ / "bad.Drv", bytes);
    const Done run = Extract(CommandFor(tmp_ / "bad.Drv", dest_));
    EXPECT_EQ(run.result, CorruptArchive) << run.summary;
}

class OutputBufferTest : public ExtractTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(OutputBufferTest, SummaryIsCutToTheGivenSizeAndNothingBeyond) {
    constexpr std::size_t kGuard = 64;
    const std::size_t size = GetParam();
    const std::string lines[] = {CommandFor(archive_, dest_), "x -bogus",
                                 CommandFor(tmp_ / "absent.Drv", dest_)};
    for (const std::string& line : lines) {
        const std::string full = Extract(line).summary;
        ASSERT_GT(full.size(), 16u);
        std::vector<char> buffer(size + kGuard, '\x5a');
        ::SevenZip(nullptr, line.c_str(), buffer.data(), static_cast<sys::Dword>(size));
        for (std::size_t i = size; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], '\x5a') << "byte " << i << " written for size " << size;
        }
        if (size > 0) {
            ASSERT_NE(std::memchr(buffer.data(), '\0', size), nullptr) << "unterminated";
            EXPECT_EQ(std::string(buffer.data()), full.substr(0, size - 1));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, OutputBufferTest, ::testing::Values(0, 1, 2, 16, 100));

TEST_F(ExtractTest, NoOutputBufferIsFine) {
    EXPECT_EQ(::SevenZip(nullptr, CommandFor(archive_, dest_).c_str(), nullptr, 100), Ok);
    EXPECT_EQ(ReadFile(dest_ / "DriverName.cfg"), ReadFile(source_ / "DriverName.cfg"));
}

}  // namespace
}  // namespace sevenzip::test
