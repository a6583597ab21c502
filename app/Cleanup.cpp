// Removal of the unpacked package.
#include "app/Cleanup.h"

#include "catalog/ArchiveExtractor.h"
#include "platform/Files.h"

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
