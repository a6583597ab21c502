// Depth-first removal that never leaves the tree it was given.
#include "catalog/RemoveTree.h"

#include "catalog/HeldEntry.h"

namespace {

// Empties the held folder path: each entry is held before it is looked at, and judged by its
// handle, not by the listing, which a swap may have made stale.
void RemoveBelow(const std::string& path) {
    ForEachEntry(path, "//", [](const std::string& childPath, const sys::FindData&) {
        catalog::HeldEntry child(childPath);
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
    catalog::HeldEntry root(path);
    if (root.Directory()) {
        RemoveBelow(path);
    } else if (!root.Link()) {
        return false;  // missing, or a file: not a tree
    }
    return root.Delete();
}
