// Removal of a directory tree, for the unpacking's staging and the clean-up alike.
#pragma once

#include <string>

// Deletes everything below path, depth first, then path itself; true when path is gone.
// Links and junctions are removed themselves, never followed; read-only files stay.
bool RemoveTree(const std::string& path);
