// Profile (INI) file reads with the documented semantics of the Win32 calls: sections in file
// order (repeats included), first match wins, case-insensitive names, trimmed and unquoted values.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/Profile.h"
#include "platform/sim/Machine.h"

namespace {

using sim::detail::Lower;

struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};

std::string Trim(const std::string& s) {
    const char* blanks = " \t\r\n";
    auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// A bare file name (no directory part) is looked up in the Windows directory, not the current one.
std::string ProfilePath(const char* fileName) {
    const std::string name = fileName == nullptr ? "" : fileName;
    if (name.empty() || name.find_first_of("\\/") != std::string::npos) {
        return name;
    }
    return "C:\\Windows\\" + name;
}

std::optional<std::vector<Section>> Load(const char* fileName) {
    std::ifstream in(sim::HostPath(ProfilePath(fileName)), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<Section> sections;
    std::string line;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';') {
            continue;
        }
        if (t[0] == '[') {
            auto close = t.find(']');
            sections.push_back(Section{
                Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        if (sections.empty()) {
            continue;
        }
        auto eq = t.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string value = Trim(t.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        sections.back().keys.emplace_back(Trim(t.substr(0, eq)), value);
    }
    return sections;
}

// Copies text into buffer cut to size - 1 bytes and NUL-terminated; returns the bytes copied.
sys::Dword CopyCut(const std::string& text, char* buffer, sys::Dword size) {
    if (size == 0) {
        return 0;
    }
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<sys::Dword>(n);
}

// Copies a NUL-separated list (each item with its NUL) ending it in a second NUL; returns the
// bytes without that final NUL. The list only counts as fitting with a byte to spare: otherwise
// it is cut to size - 2 bytes and ended in a double NUL, and the result is size - 2, even when
// the list and its final NUL would just have fitted.
sys::Dword CopyList(const std::string& list, char* buffer, sys::Dword size) {
    if (size == 0) {
        return 0;
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    if (list.size() + 2 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<sys::Dword>(list.size());
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

std::string SectionList(const std::vector<Section>& sections) {
    std::string all;
    for (const auto& s : sections) {
        // An empty name cannot be listed: its NUL would read as the end of the list.
        if (!s.name.empty()) {
            all += s.name;
            all += '\0';
        }
    }
    return all;
}

// The keys of the first section of that name, in file order.
std::string KeyList(const std::vector<Section>& sections, const char* section) {
    std::string all;
    for (const auto& s : sections) {
        if (Lower(s.name) != Lower(section)) {
            continue;
        }
        for (const auto& key : s.keys) {
            if (!key.first.empty()) {
                all += key.first;
                all += '\0';
            }
        }
        break;
    }
    return all;
}

}  // namespace

namespace sys {

Dword GetPrivateProfileSectionNamesA(char* buffer, Dword size, const char* fileName) {
    sim::CountCall("GetPrivateProfileSectionNamesA");
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    // A missing file leaves a single NUL: an empty string, not an empty list.
    buffer[0] = '\0';
    if (sim::ShouldFail("GetPrivateProfileSectionNamesA")) {
        return 0;
    }
    auto sections = Load(fileName);
    if (!sections) {
        return 0;
    }
    return CopyList(SectionList(*sections), buffer, size);
}

Dword GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, Dword size, const char* fileName) {
    sim::CountCall("GetPrivateProfileStringA");
    std::string fallback = defaultValue == nullptr ? "" : defaultValue;
    fallback.erase(fallback.find_last_not_of(' ') + 1);
    if (sim::ShouldFail("GetPrivateProfileStringA")) {
        return CopyCut(fallback, buffer, size);
    }
    auto sections = Load(fileName);
    if (!sections) {
        SetLastError(err::FileNotFound);
        return CopyCut(fallback, buffer, size);
    }
    // A NULL section lists the sections, a NULL key the section's keys.
    if (section == nullptr) {
        return CopyList(SectionList(*sections), buffer, size);
    }
    if (key == nullptr) {
        return CopyList(KeyList(*sections, section), buffer, size);
    }
    for (const auto& s : *sections) {
        if (Lower(s.name) != Lower(section)) {
            continue;
        }
        for (const auto& [k, v] : s.keys) {
            if (Lower(k) == Lower(key)) {
                return CopyCut(v, buffer, size);
            }
        }
        break;  // only the first section of that name is looked at
    }
    return CopyCut(fallback, buffer, size);
}

}  // namespace sys
