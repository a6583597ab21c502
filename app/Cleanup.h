// Removal of the unpacked driver package when the dialog closes.
#pragma once

#include <set>
#include <string>

#include "catalog/RemoveTree.h"

// The unpacked trees and the catalogue file, except the paths the unpack found taken by others.
void RemoveUnpackedFiles(const std::set<std::string>& foreign = {});
