// Depth-first removal that never leaves the tree it was given.
#include "catalog/RemoveTree.h"

#include "platform/Files.h"

namespace {

bool IsLink(sys::Dword attributes) {
    return attributes != sys::attr::Invalid && (attributes & sys::attr::ReparsePoint) != 0;
}

// A link to a directory goes with RemoveDirectory, any other link with DeleteFile.
bool RemoveLink(const std::string& path, sys::Dword attributes) {
    return (attributes & sys::attr::Directory) != 0 ? sys::RemoveDirectoryA(path)
                                                    : sys::DeleteFileA(path);
}

}  // namespace

bool RemoveTree(const std::string& path) {
    const sys::Dword rootAttributes = sys::GetFileAttributesA(path);
    if (IsLink(rootAttributes)) {
        return RemoveLink(path, rootAttributes);
    }
    sys::FileSearch search;
    sys::FindData entry;
    for (bool found = search.First(path + "//*.*", entry); found; found = search.Next(entry)) {
        if (entry.name == "." || entry.name == "..") {
            continue;
        }
        const std::string child = path + "//" + entry.name;
        if (IsLink(entry.attributes)) {
            RemoveLink(child, entry.attributes);
        } else if ((entry.attributes & sys::attr::Directory) != 0) {
            RemoveTree(child);
        } else {
            sys::DeleteFileA(child);
        }
    }
    search.Close();
    return sys::RemoveDirectoryA(path);
}
