// Unpacks the driver package where no standard user can change it: into a private folder on
// drive C that only administrators may write, from which only the three paths the clean-up
// removes are moved into place. Nothing is ever merged into a tree that was there before.
#include <algorithm>
#include <cctype>
#include <iterator>

#include "catalog/ArchiveExtractor.h"
#include "catalog/RemoveTree.h"
#include "platform/Files.h"

namespace catalog {
namespace {

struct Placed {
    const char* name;
    bool directory;
};
constexpr Placed kPlaced[] = {{"Ticket", true}, {"Barcode", true}, {"DriverName.cfg", false}};

}  // namespace

std::string LowerPath(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return path;
}

std::string RefusalText(const std::string& path) {
    return path +
           " already exists and was not made by this setup, so its files cannot be "
           "trusted. Delete " +
           path + ", then start the setup again.";
}

namespace {

bool IsPlain(sys::Dword attributes, bool directory) {
    return attributes != sys::attr::Invalid && (attributes & sys::attr::ReparsePoint) == 0 &&
           ((attributes & sys::attr::Directory) != 0) == directory;
}

// A folder none but administrators may change: a killed run's own (it keeps the staging
// folder's access list), below which no standard user can have put anything since.
bool AdministratorsOnly(const std::string& path) {
    sys::ObjectSecurity security;
    return sys::GetFileSecurityA(path, security) &&
           sys::OnlyAdministratorsMayChange(security, sys::kFileChangeRights);
}

// Frees a path before the installer creates it. A link or a file goes itself (a link is never
// followed); a folder goes only when it is a killed run's own. Anyone else's is never entered:
// a standard user may have made it and could swap what lies below it for a junction while it is
// worked on.
bool Free(const std::string& path) {
    const sys::Dword attributes = sys::GetFileAttributesA(path);
    if (attributes == sys::attr::Invalid) {
        return true;
    }
    if ((attributes & sys::attr::ReparsePoint) != 0 && (attributes & sys::attr::Directory) != 0) {
        sys::RemoveDirectoryA(path);
    } else if ((attributes & sys::attr::Directory) == 0) {
        sys::DeleteFileA(path);
    } else if (AdministratorsOnly(path)) {
        RemoveTree(path);
    }
    return sys::GetFileAttributesA(path) == sys::attr::Invalid;
}

// The staging folder is the installer's own: its listing can be trusted.
bool HoldsLinks(const std::string& folder) {
    return !ForEachEntry(folder, "\\", [](const std::string& path, const sys::FindData& entry) {
        return (entry.attributes & sys::attr::ReparsePoint) == 0 &&
               ((entry.attributes & sys::attr::Directory) == 0 || !HoldsLinks(path));
    });
}

std::string Target(const Placed& placed) {
    return std::string("C:\\") + placed.name;
}

}  // namespace

int UnpackConfined(ArchiveExtractor& extractor, const std::string& archivePath) {
    extractor.foreign_.clear();
    extractor.refused_.clear();
    const auto refuse = [&](const std::string& path) {
        extractor.foreign_.insert(LowerPath(path));
        if (extractor.refused_.empty()) {
            extractor.refused_ = path;
        }
    };
    // A killed run leaves its staging folder: removed by handle, never entered through a link,
    // so whoever made or changed it cannot steer the deletion outside it.
    if (!Free(kStagingDir) &&
        (RemoveTree(kStagingDir), sys::GetFileAttributesA(kStagingDir) != sys::attr::Invalid)) {
        refuse(kStagingDir);
        return kRefused;
    }
    if (!sys::CreateProtectedDirectoryA(kStagingDir)) {
        return 0;
    }
    int result = extractor.Extract(archivePath, kStagingDir);
    // A link's target was judged from the staging folder, one level below where the trees end
    // up; the package needs none, so one makes the whole package unusable.
    if (HoldsLinks(kStagingDir)) {
        RemoveTree(kStagingDir);
        return 0;
    }
    // Whatever was unpacked whole is placed, but only where nothing of someone else's stands.
    bool sources[std::size(kPlaced)] = {};
    for (size_t i = 0; i < std::size(kPlaced); ++i) {
        const std::string source = std::string(kStagingDir) + "\\" + kPlaced[i].name;
        sources[i] = IsPlain(sys::GetFileAttributesA(source), kPlaced[i].directory);
        if (sources[i] && !Free(Target(kPlaced[i]))) {
            refuse(Target(kPlaced[i]));
        }
    }
    for (size_t i = 0; i < std::size(kPlaced) && extractor.refused_.empty(); ++i) {
        const std::string source = std::string(kStagingDir) + "\\" + kPlaced[i].name;
        // 183: someone made the path since it was freed; theirs stays as it is.
        if (sources[i] && !sys::MoveFileA(source, Target(kPlaced[i]))) {
            extractor.foreign_.insert(LowerPath(Target(kPlaced[i])));
        }
    }
    RemoveTree(kStagingDir);
    return extractor.refused_.empty() ? result : kRefused;
}

}  // namespace catalog
