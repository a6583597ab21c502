// Removal of the unpacked driver package when the dialog closes.
#pragma once

#include <set>
#include <string>

// Deletes everything below path, depth first, then path itself; true when path is gone.
// Links and junctions are removed themselves, never followed, even one swapped in while it runs;
// read-only files stay.
bool RemoveTree(const std::string& path);

// The unpacked trees and the catalogue file, except the paths the unpack found taken by others.
void RemoveUnpackedFiles(const std::set<std::string>& foreign = {});
