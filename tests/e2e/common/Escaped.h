// The test tools' output escaping: one record per line, fields separated by tabs.
#pragma once

#include <string>
#include <string_view>

namespace e2e {

// Tabs separate fields, so they are escaped along with line breaks and the escape itself.
inline std::string Escaped(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace e2e
