// Removal of a directory tree, for the unpacking's staging and the clean-up alike.
#pragma once

#include <functional>
#include <string>

#include "platform/Files.h"

// Calls visit with the path (folder, separator, name) and listing of each entry of folder but
// "." and ".."; false as soon as visit returns false.
bool ForEachEntry(const std::string& folder, const char* separator,
                  const std::function<bool(const std::string&, const sys::FindData&)>& visit);

// Deletes everything below path, depth first, then path itself; true when path is gone.
// Links and junctions are removed themselves, never followed, even one swapped in while it runs;
// read-only files stay.
bool RemoveTree(const std::string& path);
