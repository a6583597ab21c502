// Removal of the unpacked driver package when the dialog closes.
#pragma once

#include <string>

// Deletes everything below path, depth first, then path itself; true when path is gone.
// Links and junctions are removed themselves, never followed; read-only files stay.
bool RemoveTree(const std::string& path);

// The unpacked trees and the catalogue file.
void RemoveUnpackedFiles();
