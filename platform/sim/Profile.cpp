// Profile (INI) file reads with the documented semantics of the Win32 calls: sections in file
// order (repeats included), first match wins, case-insensitive names, trimmed and unquoted values.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "platform/Profile.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Trace.h"

namespace {

using sim::detail::Lower;

struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
    std::unordered_map<std::string, std::size_t> firstKey;  // lower-case key, index in keys
};

// A parsed file, iterated as its sections in file order.
struct ProfileFile {
    std::vector<Section> sections;
    std::unordered_map<std::string, std::size_t> firstSection;  // lower-case name, index
    auto begin() const { return sections.begin(); }
    auto end() const { return sections.end(); }
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

ProfileFile Parse(std::istream& in) {
    sim::CountCall("sim:ParseProfile");
    ProfileFile file;
    auto& sections = file.sections;
    // CR alone, LF alone and CR LF all end a line.
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';') {
            continue;
        }
        if (t[0] == '[') {
            auto close = t.find(']');
            sections.push_back(Section{
                Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
                {},
                {}});
            file.firstSection.emplace(Lower(sections.back().name), sections.size() - 1);
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
        Section& section = sections.back();
        section.keys.emplace_back(Trim(t.substr(0, eq)), value);
        section.firstKey.emplace(Lower(section.keys.back().first), section.keys.size() - 1);
    }
    return file;
}

// A file is parsed again only when it changed: its identity, size or modification time tell.
// A file modified within the file system's timestamp granularity of its parse could change
// again without changing them, so such a parse is not trusted ("racy", as git treats its index).
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0;  // ns
    bool operator==(const FileStamp&) const = default;
};

struct CacheEntry {
    FileStamp stamp;
    bool settled = false;
    std::shared_ptr<const ProfileFile> file;
};

constexpr std::int64_t kSettleNs = 1'000'000'000;
constexpr std::size_t kCacheEntries = 8;

std::int64_t Ns(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::mutex g_cacheMutex;
std::map<std::string, CacheEntry> g_cache;  // by host path

std::shared_ptr<const ProfileFile> Load(const char* fileName) {
    const std::string host = sim::HostPath(ProfilePath(fileName));
    struct stat st {};
    if (fileName == nullptr || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    const FileStamp stamp{st.st_dev, st.st_ino, st.st_size, Ns(st.st_mtim)};
    {
        std::lock_guard lock(g_cacheMutex);
        auto it = g_cache.find(host);
        if (it != g_cache.end() && it->second.settled && it->second.stamp == stamp) {
            return it->second.file;
        }
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::ifstream in(host, std::ios::binary);
    if (!in) {
        return nullptr;
    }
    auto file = std::make_shared<const ProfileFile>(Parse(in));
    std::lock_guard lock(g_cacheMutex);
    if (g_cache.size() >= kCacheEntries && g_cache.count(host) == 0) {
        g_cache.clear();
    }
    g_cache[host] = CacheEntry{stamp, stamp.modified < Ns(now) - kSettleNs, file};
    return file;
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
    sim::trace::Call trace("GetPrivateProfileSectionNamesA", [&] {
        return sim::trace::Args(std::to_string(size), sim::trace::Q(fileName));
    });
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
    return CopyList(SectionList(sections->sections), buffer, size);
}

Dword GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, Dword size, const char* fileName) {
    sim::trace::Call trace("GetPrivateProfileStringA", [&] {
        return sim::trace::Args(sim::trace::Q(section), sim::trace::Q(key),
                                sim::trace::Q(defaultValue), std::to_string(size),
                                sim::trace::Q(fileName));
    });
    trace.Out(
        [=] { return buffer != nullptr && size > 0 ? sim::trace::Q(buffer) : std::string(); });
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
        return CopyList(SectionList(sections->sections), buffer, size);
    }
    if (key == nullptr) {
        return CopyList(KeyList(sections->sections, section), buffer, size);
    }
    // Only the first section of that name is looked at.
    const auto found = sections->firstSection.find(Lower(section));
    if (found != sections->firstSection.end()) {
        const Section& s = sections->sections[found->second];
        if (auto k = s.firstKey.find(Lower(key)); k != s.firstKey.end()) {
            return CopyCut(s.keys[k->second].second, buffer, size);
        }
    }
    return CopyCut(fallback, buffer, size);
}

}  // namespace sys
