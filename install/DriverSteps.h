// Steps both driver installations take the same way: the spooler's driver directory, copies
// shown in the status line and removed again, the dependent-file list, and adding the driver.
#pragma once

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Spooler.h"

namespace install {

class Frontend;

inline constexpr const char* kEnvironmentX86 = "Windows NT x86";
inline constexpr const char* kEnvironmentX64 = "Windows x64";

inline const char* EnvironmentOf(bool x64) {
    return x64 ? kEnvironmentX64 : kEnvironmentX86;
}

// The driver directory: asked for "Windows NT x86", then on 64-bit Windows for "Windows x64",
// whose answer wins. Empty when the spooler would not say.
std::string DriverDirectory(bool x64);

// CopyFileA(from, to, FALSE); true when the copy made `to`, which was not there before. A file
// that was there is another's, even when overwritten, and is not ours to delete.
bool CopyCreating(const std::string& from, const std::string& to);

// Files copied for the spooler: each copy is shown in the status line.
class DriverCopies {
  public:
    // True when the copy made the destination (see CopyCreating).
    bool Copy(Frontend& front, const std::string& from, const std::string& to);
    // The destinations our copies made, in the order they were copied.
    const std::vector<std::string>& Made() const { return made_; }

  private:
    std::vector<std::string> made_;
};

// Deletes each path; results unchecked.
void DeleteFiles(const std::vector<std::string>& paths);

// A double-NUL-ended list of names in a zeroed buffer of N bytes.
template <std::size_t N>
class NameList {
  public:
    // False, with nothing written, for an empty name (it would end the list) or one that
    // would leave no room for its NUL and the list's final NUL.
    bool Add(std::string_view name) {
        if (name.empty() || name.find('\0') != std::string_view::npos ||
            name.size() + 2 > N - used_) {
            return false;
        }
        std::memcpy(buffer_.data() + used_, name.data(), name.size());
        used_ += name.size() + 1;
        return true;
    }
    char* Data() { return buffer_.data(); }
    std::size_t Used() const { return used_; }  // bytes of the names with their NULs

  private:
    std::array<char, N> buffer_{};
    std::size_t used_ = 0;
};

// The strings of a DRIVER_INFO_3; Info() points a record at them, with the cVersion of this
// system (2 where the version code is 4, else 3).
struct DriverRecord {
    std::string name;
    std::string environment;
    std::string driverPath;
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    char* dependentFiles = nullptr;  // a double-NUL-ended list the caller keeps
    std::string monitorName;
    std::string defaultDataType = "RAW";

    sys::DRIVER_INFO_3 Info();
};

// AddPrinterDriverExA(NULL, 3, info, APD_COPY_ALL_FILES), then the copies are removed in
// `deleteOrder`. On failure the "Failed to add the driver" box: Retry leaves "Reinstall" and
// progress 0, Cancel closes the main window as its OK button does. True when the driver was
// added.
bool AddDriver(Frontend& front, const sys::DRIVER_INFO_3& info,
               const std::vector<std::string>& deleteOrder);

}  // namespace install
