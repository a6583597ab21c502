// Walks the catalogue file's sections with the profile calls, within their fixed buffers.
#include "catalog/CatalogFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Profile.h"

namespace catalog {
namespace {

constexpr sys::Dword kSectionNamesSize = 3000;
constexpr size_t kSectionNameSize = 100;
constexpr sys::Dword kValueSize = 128;

}  // namespace

std::vector<CatalogEntry> ReadCatalog(const char* path) {
    std::vector<CatalogEntry> entries;
    char names[kSectionNamesSize] = {};
    sys::GetPrivateProfileSectionNamesA(names, kSectionNamesSize, path);
    if (names[0] == '\0') {
        return entries;
    }
    int section = -1;
    size_t start = 0;
    for (size_t i = 0; i <= kSectionNamesSize - 2; ++i) {
        if (names[i] != '\0') {
            continue;
        }
        ++section;
        // A name too long for its buffer is cut: its keys are then not found, but the section
        // still counts, so the indices of the sections after it stay right.
        char name[kSectionNameSize] = {};
        std::memcpy(name, names + start, std::min(i - start, kSectionNameSize - 1));
        for (int n = 1; n <= kMaxNamesPerSection; ++n) {
            char key[32];
            std::snprintf(key, sizeof key, "PrintName%d", n);
            char value[kValueSize] = {};
            sys::GetPrivateProfileStringA(name, key, nullptr, value, kValueSize, path);
            if (std::strlen(value) == 0) {
                break;
            }
            entries.push_back(CatalogEntry{section, value});
        }
        if (names[i + 1] == '\0') {
            break;
        }
        start = i + 1;
    }
    return entries;
}

int ResolveModel(const std::vector<CatalogEntry>& entries, int selectionIndex,
                 const std::string& comboText) {
    int model = selectionIndex;
    for (const auto& entry : entries) {
        if (entry.name == comboText) {
            model = entry.section;
        }
    }
    return model;
}

}  // namespace catalog
