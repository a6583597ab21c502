// Entry names are judged as Windows would read them, so that a name is refused the same way on
// the host as in the DLL.
#include "tools/sevenzip/EntryPath.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace sevenzip {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string Upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

// Writing "COM1" or "NUL.txt" on Windows opens a device, whatever the directory.
bool IsDeviceName(std::string_view part) {
    std::string stem = Upper(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kPlain.begin(), kPlain.end(), stem) != kPlain.end()) {
        return true;
    }
    if (stem.size() != 4 || !(stem.starts_with("COM") || stem.starts_with("LPT"))) {
        return false;
    }
    // Windows also maps the code page 1252 superscripts one, two and three to port numbers.
    const auto digit = static_cast<unsigned char>(stem[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// Where the name is rooted outside the destination, the reason; else empty.
std::string RootedReason(std::string_view name) {
    if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) {
        return "UNC path";
    }
    if (!name.empty() && IsSeparator(name[0])) {
        return "absolute path";
    }
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
        return "drive letter";
    }
    return {};
}

// Checks one component other than "." and ".."; empty when acceptable.
std::string ComponentReason(std::string_view part) {
    if (std::any_of(part.begin(), part.end(),
                    [](unsigned char c) { return c < 0x20 || c == ':'; })) {
        return "':' or control character in \"" + std::string(part) + "\"";
    }
    // Windows drops trailing dots and blanks, so "... " would be read as "..".
    if (part.find_first_not_of(". ") == std::string_view::npos) {
        return "name made of dots and blanks";
    }
    if (IsDeviceName(part)) {
        return "device name \"" + std::string(part) + "\"";
    }
    return {};
}

template <typename Visit>
void ForEachPart(std::string_view path, Visit visit) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            visit(part);
        }
        start = end + 1;
    }
}

}  // namespace

std::string CheckEntryName(std::string_view name, PathParts& parts) {
    parts.clear();
    std::string reason = RootedReason(name);
    ForEachPart(name, [&](std::string_view part) {
        if (!reason.empty()) {
            return;
        }
        reason = part == ".." ? "'..' component" : ComponentReason(part);
        parts.emplace_back(part);
    });
    if (!reason.empty()) {
        parts.clear();
    }
    return reason;
}

std::string CheckSymlinkTarget(const PathParts& link, std::string_view target) {
    if (target.empty()) {
        return "empty link target";
    }
    if (std::string rooted = RootedReason(target); !rooted.empty()) {
        return "link target: " + rooted;
    }
    const std::size_t depth = link.empty() ? 0 : link.size() - 1;
    std::size_t ups = 0;
    bool descended = false;
    std::string reason;
    ForEachPart(target, [&](std::string_view part) {
        if (!reason.empty()) {
            return;
        }
        if (part != "..") {
            descended = true;
            reason = ComponentReason(part);
        } else if (descended) {
            reason = "link target climbs after descending";
        } else if (++ups > depth) {
            reason = "link target leaves the destination";
        }
    });
    return reason;
}

std::string JoinParts(const PathParts& parts, std::size_t count, char separator) {
    std::string out;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += parts[i];
    }
    return out;
}

}  // namespace sevenzip
