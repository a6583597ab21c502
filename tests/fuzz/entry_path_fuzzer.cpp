// The entry-path decision: a name or link target the check accepts stays inside the
// destination however Windows reads it. Input: entry name, NUL, symbolic link target.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "tools/sevenzip/EntryPath.h"

namespace {

using fuzz::Check;

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> out;
    std::string current;
    for (char c : path) {
        if (IsSeparator(c)) {
            out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    out.push_back(current);
    return out;
}

// Windows drops trailing dots and blanks of a component before it looks at it.
std::string WindowsTrim(std::string s) {
    while (!s.empty() && (s.back() == '.' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

// The device names Windows opens in any directory, written out independently of the check.
bool IsDevice(const std::string& part) {
    std::string stem = WindowsTrim(part);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static const std::array<std::string, 6> kNames = {"CON", "PRN",    "AUX",
                                                      "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kNames.begin(), kNames.end(), stem) != kNames.end()) {
        return true;
    }
    if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string_view digits = "123456789\xB9\xB2\xB3";
    return digits.find(stem[3]) != std::string_view::npos;
}

bool Rooted(std::string_view path) {
    return (!path.empty() && IsSeparator(path[0])) ||
           (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
            path[1] == ':');
}

// An accepted component names one ordinary file or folder right below its parent.
void CheckOrdinary(const std::string& part, const std::string& name) {
    Check(!part.empty(), "empty part accepted in " + name);
    Check(std::none_of(part.begin(), part.end(),
                       [](unsigned char c) { return c < 0x20 || c == ':' || IsSeparator(c); }),
          "separator, ':' or control character accepted in " + name);
    const std::string trimmed = WindowsTrim(part);
    Check(!trimmed.empty() && trimmed != "." && trimmed != "..",
          "part read by Windows as '.' or '..' accepted: " + name);
    Check(!IsDevice(part), "device name accepted: " + name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    const std::string name = input.substr(0, cut);
    const bool hasTarget = cut != std::string::npos;
    const std::string target = hasTarget ? input.substr(cut + 1) : std::string();

    sevenzip::PathParts parts;
    const std::string reason = sevenzip::CheckEntryName(name, parts);
    if (!reason.empty()) {
        Check(parts.empty(), "refused name left parts: " + name);
        return 0;
    }
    Check(!Rooted(name), "rooted name accepted: " + name);
    // Depth below the destination never goes negative, and the parts are the name's own.
    std::vector<std::string> expected;
    for (const std::string& component : Components(name)) {
        if (component.empty() || component == ".") {
            continue;
        }
        Check(component != "..", "'..' accepted: " + name);
        expected.push_back(component);
    }
    Check(parts == expected, "parts differ from the name's components: " + name);
    for (const std::string& part : parts) {
        CheckOrdinary(part, name);
    }
    // Accepting is stable: the joined parts are accepted as the same parts.
    sevenzip::PathParts again;
    Check(sevenzip::CheckEntryName(sevenzip::JoinParts(parts, parts.size(), '\\'), again).empty() &&
              again == parts,
          "joined parts not accepted alike: " + name);

    if (!hasTarget || parts.empty()) {
        return 0;
    }
    if (!sevenzip::CheckSymlinkTarget(parts, target).empty()) {
        return 0;
    }
    Check(!Rooted(target), "rooted link target accepted: " + target);
    // Resolved from the link's folder, the target never climbs above the destination.
    long depth = static_cast<long>(parts.size()) - 1;
    for (const std::string& component : Components(target)) {
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            Check(--depth >= 0, "link target leaves the destination: " + name + " -> " + target);
        } else {
            CheckOrdinary(component, target);
            ++depth;
        }
    }
    return 0;
}
