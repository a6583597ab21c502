// Helpers shared by the archiver's tests.
#include "TestSupport.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace sevenzip::test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "sevenzip-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

std::vector<std::string> ListTree(const fs::path& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        out.push_back(fs::relative(it->path(), root).generic_string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool Make7z(const fs::path& sourceDir, const fs::path& archive, const std::string& extraSwitches) {
    const std::string command = "cd '" + sourceDir.string() + "' && 7z a -t7z -bd -y " +
                                extraSwitches + " '" + archive.string() + "' . >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void Craft(const fs::path& archive, Format format, const std::vector<Entry>& entries) {
    std::unique_ptr<struct archive, decltype(&archive_write_free)> writer(archive_write_new(),
                                                                          &archive_write_free);
    switch (format) {
        case Format::Tar:
            archive_write_set_format_pax_restricted(writer.get());
            break;
        case Format::Zip:
            archive_write_set_format_zip(writer.get());
            break;
        case Format::SevenZip:
            archive_write_set_format_7zip(writer.get());
            break;
    }
    ASSERT_EQ(archive_write_open_filename(writer.get(), archive.c_str()), ARCHIVE_OK)
        << archive_error_string(writer.get());
    for (const Entry& e : entries) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            &archive_entry_free);
        archive_entry_set_pathname(entry.get(), e.name.c_str());
        archive_entry_set_perm(entry.get(), 0644);
        switch (e.kind) {
            case Kind::File:
                archive_entry_set_filetype(entry.get(), AE_IFREG);
                archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.content.size()));
                break;
            case Kind::Directory:
                archive_entry_set_filetype(entry.get(), AE_IFDIR);
                archive_entry_set_perm(entry.get(), 0755);
                break;
            case Kind::Symlink:
                archive_entry_set_filetype(entry.get(), AE_IFLNK);
                archive_entry_set_symlink(entry.get(), e.content.c_str());
                break;
            case Kind::Hardlink:
                archive_entry_set_filetype(entry.get(), AE_IFREG);
                archive_entry_set_hardlink(entry.get(), e.content.c_str());
                break;
            case Kind::Fifo:
                archive_entry_set_filetype(entry.get(), AE_IFIFO);
                break;
        }
        ASSERT_GE(archive_write_header(writer.get(), entry.get()), ARCHIVE_WARN)
            << e.name << ": " << archive_error_string(writer.get());
        if (e.kind == Kind::File && !e.content.empty()) {
            ASSERT_EQ(archive_write_data(writer.get(), e.content.data(), e.content.size()),
                      static_cast<la_ssize_t>(e.content.size()));
        }
    }
    ASSERT_EQ(archive_write_close(writer.get()), ARCHIVE_OK) << archive_error_string(writer.get());
}

std::string CommandFor(const fs::path& archive, const fs::path& destination) {
    return "x -y \"" + archive.string() + "\" -o\"" + destination.string() + "\" -hide";
}

}  // namespace sevenzip::test
