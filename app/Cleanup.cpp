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
struct Held {
    sys::Handle handle;
    sys::Dword attributes = sys::attr::Invalid;

    explicit Held(const std::string& path) : handle(Open(path)) {
        if (handle && !sys::GetFileInformationByHandle(handle.Get(), &attributes)) {
            attributes = sys::attr::Invalid;
        }
    }
    bool Directory() const {
        return attributes != sys::attr::Invalid &&
               (attributes & (sys::attr::Directory | sys::attr::ReparsePoint)) ==
                   sys::attr::Directory;
    }
    // Gone once the handle closes; read-only files and folders not empty stay.
    bool Delete() {
        return attributes != sys::attr::Invalid &&
               sys::SetFileDispositionByHandle(handle.Get(), true) && handle.Close() != 0;
    }

  private:
    static void* Open(const std::string& path) {
        void* opened = sys::CreateFileA(path.c_str(), sys::hold::Access, sys::hold::Share, nullptr,
                                        sys::hold::OpenExisting, sys::hold::Flags, nullptr);
        return opened == sys::InvalidHandleValue() ? nullptr : opened;
    }
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
    } else if (root.attributes == sys::attr::Invalid ||
               (root.attributes & sys::attr::ReparsePoint) == 0) {
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
