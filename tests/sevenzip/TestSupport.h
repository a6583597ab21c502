// Scratch directories, real 7z archives made with the 7z command, and hand-crafted hostile ones.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sevenzip::test {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with everything below it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& content);
std::string ReadFile(const fs::path& path);
// Every path below `root`, relative to it, sorted.
std::vector<std::string> ListTree(const fs::path& root);

// Runs `7z a` in `sourceDir` on all of its content; true on success.
bool Make7z(const fs::path& sourceDir, const fs::path& archive,
            const std::string& extraSwitches = "");

enum class Kind { File, Directory, Symlink, Hardlink, Fifo };
struct Entry {
    std::string name;
    Kind kind = Kind::File;
    std::string content;  // file data, or the link target
};
enum class Format { Tar, Zip, SevenZip };
// Writes the entries exactly as given, names unchecked, with libarchive's writer.
void Craft(const fs::path& archive, Format format, const std::vector<Entry>& entries);

// The command line the installer sends.
std::string CommandFor(const fs::path& archive, const fs::path& destination);

}  // namespace sevenzip::test
