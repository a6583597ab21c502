// Removal of the unpacked package.
#include "app/Cleanup.h"

#include "catalog/ArchiveExtractor.h"
#include "platform/Files.h"

void RemoveUnpackedFiles() {
    RemoveTree("c:\\Barcode");
    RemoveTree("c:\\Ticket");
    sys::DeleteFileA("c:\\DriverName.cfg");
    // Left only when the window closed while the worker was still unpacking.
    RemoveTree(catalog::kStagingDir);
}
