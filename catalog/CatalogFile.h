// The catalogue file: display names by section, each section standing for one catalogue index.
#pragma once

#include <string>
#include <vector>

namespace catalog {

constexpr const char* kCatalogPath = "C:\\DriverName.cfg";
constexpr int kMaxNamesPerSection = 50;

struct CatalogEntry {
    int section = 0;   // position of the section in the file: the catalogue index
    std::string name;  // display name, at most 127 characters
};

// Every display name of the file in reading order; empty when the file is missing.
std::vector<CatalogEntry> ReadCatalog(const char* path = kCatalogPath);

// The catalogue index for the chosen combo entry: the section of the last entry whose name
// equals the text exactly, else the selection index itself.
int ResolveModel(const std::vector<CatalogEntry>& entries, int selectionIndex,
                 const std::string& comboText);

}  // namespace catalog
