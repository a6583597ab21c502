// Removal of the unpacked driver package when the dialog closes.
#pragma once

#include "catalog/RemoveTree.h"

// The unpacked trees and the catalogue file.
void RemoveUnpackedFiles();
