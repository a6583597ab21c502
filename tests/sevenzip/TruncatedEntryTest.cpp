// Entries whose data ends before their declared size: no file of that size may stay behind.
// The archives declare up to a TiB; the checks look at sizes and allocated blocks, never read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "TestSupport.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip::test {
namespace {

constexpr std::uint64_t kTiB = std::uint64_t{1} << 40;
constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

void PutLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// One ustar header block for a regular file; sizes beyond 11 octal digits in base-256.
std::string TarHeader(const std::string& name, std::uint64_t size) {
    std::string h(512, '\0');
    std::memcpy(&h[0], name.data(), name.size());
    std::memcpy(&h[100], "0000644", 7);
    std::memcpy(&h[108], "0000000", 7);
    std::memcpy(&h[116], "0000000", 7);
    h[124] = static_cast<char>(0x80);
    for (int i = 0; i < 8; ++i) {
        h[135 - i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
    std::memcpy(&h[136], "14672522000", 11);
    h[156] = '0';
    std::memcpy(&h[257], "ustar", 6);
    std::memcpy(&h[263], "00", 2);
    std::memset(&h[148], ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : h) {
        sum += c;
    }
    std::snprintf(&h[148], 8, "%06o", sum);
    return h;
}

// A stored zip entry declaring `size` bytes (zip64 sizes) but carrying only `data`.
std::string ShortZip(const std::string& name, std::uint64_t size, const std::string& data) {
    std::string extra;
    PutLe(extra, 0x0001, 2);
    PutLe(extra, 16, 2);
    PutLe(extra, size, 8);
    PutLe(extra, size, 8);
    std::string zip;
    PutLe(zip, 0x04034b50, 4);
    PutLe(zip, 45, 2);  // version needed: zip64
    PutLe(zip, 0, 2);
    PutLe(zip, 0, 2);  // stored
    PutLe(zip, 0, 4);
    PutLe(zip, 0, 4);  // crc
    PutLe(zip, 0xFFFFFFFF, 4);
    PutLe(zip, 0xFFFFFFFF, 4);
    PutLe(zip, name.size(), 2);
    PutLe(zip, extra.size(), 2);
    zip += name + extra + data;
    const std::size_t central = zip.size();
    PutLe(zip, 0x02014b50, 4);
    PutLe(zip, 45, 2);
    PutLe(zip, 45, 2);
    PutLe(zip, 0, 2);
    PutLe(zip, 0, 2);
    PutLe(zip, 0, 4);
    PutLe(zip, 0, 4);
    PutLe(zip, 0xFFFFFFFF, 4);
    PutLe(zip, 0xFFFFFFFF, 4);
    PutLe(zip, name.size(), 2);
    PutLe(zip, extra.size(), 2);
    PutLe(zip, 0, 2);
    PutLe(zip, 0, 2);
    PutLe(zip, 0, 2);
    PutLe(zip, 0, 4);
    PutLe(zip, 0, 4);  // local header offset
    zip += name + extra;
    const std::size_t centralSize = zip.size() - central;
    PutLe(zip, 0x06054b50, 4);
    PutLe(zip, 0, 4);
    PutLe(zip, 1, 2);
    PutLe(zip, 1, 2);
    PutLe(zip, centralSize, 4);
    PutLe(zip, central, 4);
    PutLe(zip, 0, 2);
    return zip;
}

class TruncatedEntryTest : public ::testing::Test {
  protected:
    int Extract(const std::string& bytes) {
        const fs::path archive = tmp_ / "short.Drv";
        WriteFile(archive, bytes);
        std::vector<char> output(16384, '\0');
        const int result = ::SevenZip(nullptr, CommandFor(archive, dest_).c_str(), output.data(),
                                      static_cast<sys::Dword>(output.size()));
        summary_ = output.data();
        return result;
    }

    // Whatever stays below the destination is small: sizes and allocated blocks.
    void ExpectNothingLarge() const {
        for (const std::string& name : ListTree(dest_)) {
            struct stat st {};
            ASSERT_EQ(lstat((dest_ / name).c_str(), &st), 0) << name;
            EXPECT_LT(st.st_size, 1 << 20) << name << " left at its declared size";
            EXPECT_LT(st.st_blocks, 4096) << name;
        }
    }

    TempDir tmp_;
    fs::path dest_ = tmp_ / "dest";
    std::string summary_;
};

TEST_F(TruncatedEntryTest, TarHeaderDeclaringATebibyteLeavesNoFile) {
    const std::string tar = TarHeader("Ticket/huge.bin", kTiB) + std::string(1000, 'd');
    EXPECT_EQ(Extract(tar), CorruptArchive) << summary_;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "Ticket/huge.bin"))) << summary_;
    ExpectNothingLarge();
    EXPECT_NE(summary_.find("Ticket/huge.bin"), std::string::npos) << summary_;
}

TEST_F(TruncatedEntryTest, LoneTarHeaderLeavesNoFile) {
    EXPECT_EQ(Extract(TarHeader("big.dat", kTiB)), CorruptArchive) << summary_;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "big.dat"))) << summary_;
    ExpectNothingLarge();
}

TEST_F(TruncatedEntryTest, ZipDeclaringFourGibibytesLeavesNoFile) {
    const std::string zip = ShortZip("DriverName.cfg", k4GiB, "[S]\r\nPrintName1=x\r\n");
    EXPECT_EQ(Extract(zip), CorruptArchive) << summary_;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "DriverName.cfg"))) << summary_;
    ExpectNothingLarge();
}

TEST_F(TruncatedEntryTest, EntriesBeforeTheShortOneStayWhole) {
    std::string tar = TarHeader("a.txt", 5) + "hello" + std::string(507, '\0');
    tar += TarHeader("b.bin", 3 * 512) + std::string(700, 'b');
    EXPECT_EQ(Extract(tar), CorruptArchive) << summary_;
    EXPECT_EQ(ReadFile(dest_ / "a.txt"), "hello");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "b.bin"))) << summary_;
}

TEST_F(TruncatedEntryTest, ShortEntryReplacingAnOldFileLeavesNeitherHalf) {
    WriteFile(dest_ / "Ticket/x86/A.GPD", "old complete file");
    const std::string tar = TarHeader("Ticket/x86/A.GPD", 4096) + std::string(512, 'n');
    EXPECT_EQ(Extract(tar), CorruptArchive) << summary_;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "Ticket/x86/A.GPD"))) << summary_;
}

TEST_F(TruncatedEntryTest, SparseEntryEndingInAHoleKeepsItsSize) {
    // A hole is no missing data: the file is whole, at its declared size.
    const fs::path source = tmp_ / "source";
    fs::create_directories(source);
    {
        std::ofstream out(source / "s.bin", std::ios::binary);
        out << "head";
        out.seekp(5000000);
        out << "middle";
    }
    fs::resize_file(source / "s.bin", 10 << 20);
    const fs::path tar = tmp_ / "sparse.tar";
    const std::string command =
        "tar --sparse --format=pax -cf '" + tar.string() + "' -C '" + source.string() + "' s.bin";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Extract(ReadFile(tar)), Ok) << summary_;
    EXPECT_EQ(fs::file_size(dest_ / "s.bin"), std::uintmax_t{10} << 20);
    EXPECT_EQ(ReadFile(dest_ / "s.bin"), ReadFile(source / "s.bin"));
}

TEST_F(TruncatedEntryTest, SparseMapReachingPastTheSizeLeavesNoFile) {
    // Found by the extraction fuzzer: a pax sparse entry whose real size reads as 1 byte while
    // its map puts data at byte 300000 left a file of 303104 bytes from 8192 delivered.
    EXPECT_EQ(Extract(ReadFile(fs::path(SEVENZIP_TEST_DATA) / "sparse-map-beyond-size.tar")),
              CorruptArchive)
        << summary_;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest_ / "Ticket/holes.bin"))) << summary_;
    ExpectNothingLarge();
}

}  // namespace
}  // namespace sevenzip::test
