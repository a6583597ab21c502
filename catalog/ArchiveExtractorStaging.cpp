// Unpacks the driver package where it can leave nothing behind: into a private folder on drive
// C, from which only the three paths the clean-up removes are moved into place.
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

bool IsPlain(sys::Dword attributes, bool directory) {
    return attributes != sys::attr::Invalid && (attributes & sys::attr::ReparsePoint) == 0 &&
           ((attributes & sys::attr::Directory) != 0) == directory;
}

// Moves what lies below `from` into the existing tree `to`, entry by entry, replacing files;
// for a tree whose old copy could not be removed whole (read-only files stay, as in clean-up).
void MergeInto(const std::string& from, const std::string& to) {
    sys::FileSearch search;
    sys::FindData entry;
    for (bool found = search.First(from + "\\*.*", entry); found; found = search.Next(entry)) {
        if (entry.name == "." || entry.name == "..") {
            continue;
        }
        const std::string source = from + "\\" + entry.name;
        const std::string target = to + "\\" + entry.name;
        if (IsPlain(entry.attributes, true) && IsPlain(sys::GetFileAttributesA(target), true)) {
            MergeInto(source, target);
            continue;
        }
        if (IsPlain(sys::GetFileAttributesA(target), true)) {
            RemoveTree(target);
        } else {
            sys::DeleteFileA(target);
        }
        sys::MoveFileA(source, target);
    }
}

}  // namespace

int UnpackConfined(ArchiveExtractor& extractor, const std::string& archivePath) {
    // A folder left by an earlier run, or anything else of that name, goes first; a link is
    // removed, never followed.
    RemoveTree(kStagingDir);
    sys::DeleteFileA(kStagingDir);
    if (!sys::CreateDirectoryA(kStagingDir) ||
        !IsPlain(sys::GetFileAttributesA(kStagingDir), true)) {
        return 0;
    }
    const int result = extractor.Extract(archivePath, kStagingDir);
    // Whatever was unpacked whole is placed, as a direct extraction would have left it.
    for (const Placed& placed : kPlaced) {
        const std::string source = std::string(kStagingDir) + "\\" + placed.name;
        const std::string target = std::string("C:\\") + placed.name;
        if (!IsPlain(sys::GetFileAttributesA(source), placed.directory)) {
            continue;
        }
        const sys::Dword existing = sys::GetFileAttributesA(target);
        if (existing != sys::attr::Invalid) {
            if ((existing & sys::attr::Directory) != 0) {
                RemoveTree(target);
            } else {
                sys::DeleteFileA(target);
            }
        }
        // 183: a read-only file kept part of the old tree.
        if (!sys::MoveFileA(source, target) && placed.directory &&
            IsPlain(sys::GetFileAttributesA(target), true)) {
            MergeInto(source, target);
        }
    }
    RemoveTree(kStagingDir);
    return result;
}

}  // namespace catalog
