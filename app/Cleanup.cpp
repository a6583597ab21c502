// Depth-first removal of the unpacked package that never leaves the tree it was given.
#include "app/Cleanup.h"

#include <cstdio>

#include "catalog/ArchiveExtractor.h"
#include "platform/Files.h"
#include "platform/Handle.h"
#include "platform/Serial.h"

namespace {

// An entry held by its own name (a link itself, never its target): while held, nobody can
// rename or delete it or a folder above it, so no junction can be swapped in on the way.
class Held {
  public:
    explicit Held(const std::string& path) : path_(path) { Open(sys::hold::Access); }
    bool Directory() const {
        return attributes_ != sys::attr::Invalid &&
               (attributes_ & (sys::attr::Directory | sys::attr::ReparsePoint)) ==
                   sys::attr::Directory;
    }
    bool Link() const {
        return attributes_ != sys::attr::Invalid && (attributes_ & sys::attr::ReparsePoint) != 0;
    }
    // Held again with delete access, it goes once the handle closes; read-only files and folders
    // not empty stay. Swapped for a link meanwhile, only the link goes.
    bool Delete() {
        handle_.Close();
        return Open(sys::hold::DeleteAccess) &&
               sys::SetFileDispositionByHandle(handle_.Get(), true) && handle_.Close() != 0;
    }

  private:
    bool Open(sys::Dword access) {
        attributes_ = sys::attr::Invalid;
        void* opened = sys::CreateFileA(path_.c_str(), access, sys::hold::Share, nullptr,
                                        sys::hold::OpenExisting, sys::hold::Flags, nullptr);
        handle_ = sys::Handle(opened == sys::InvalidHandleValue() ? nullptr : opened);
        if (handle_ && !sys::GetFileInformationByHandle(handle_.Get(), &attributes_)) {
            attributes_ = sys::attr::Invalid;
        }
        return attributes_ != sys::attr::Invalid;
    }

    std::string path_;
    sys::Handle handle_;
    sys::Dword attributes_ = sys::attr::Invalid;
};

// Empties the held folder path: each entry is held before it is looked at, and judged by its
// handle, not by the listing, which a swap may have made stale.
void RemoveBelow(const std::string& path) {
    ForEachEntry(path, "//", [](const std::string& childPath, const sys::FindData&) {
        Held child(childPath);
        if (child.Directory()) {
            RemoveBelow(childPath);
        }
        child.Delete();
        return true;
    });
}

}  // namespace

bool ForEachEntry(const std::string& folder, const char* separator,
                  const std::function<bool(const std::string&, const sys::FindData&)>& visit) {
    sys::FileSearch search;
    sys::FindData entry;
    const std::string prefix = folder + separator;
    for (bool found = search.First(prefix + "*.*", entry); found; found = search.Next(entry)) {
        if (entry.name != "." && entry.name != ".." && !visit(prefix + entry.name, entry)) {
            return false;
        }
    }
    return true;
}

bool RemoveTree(const std::string& path) {
    Held root(path);
    if (root.Directory()) {
        RemoveBelow(path);
    } else if (!root.Link()) {
        return false;  // missing, or a file: not a tree
    }
    return root.Delete();
}

void RemoveUnpackedFiles(const std::set<std::string>& foreign) {
    const auto ours = [&](const char* path) {
        return foreign.count(catalog::LowerPath(path)) == 0;
    };
    for (const char* tree : {"c:\\Barcode", "c:\\Ticket"}) {
        if (ours(tree)) {
            RemoveTree(tree);
        }
    }
    if (ours("c:\\DriverName.cfg")) {
        sys::DeleteFileA("c:\\DriverName.cfg");
    }
    // Left only when the window closed while the worker was still unpacking.
    if (ours(catalog::kStagingDir)) {
        RemoveTree(catalog::kStagingDir);
    }
}
