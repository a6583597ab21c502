// The largest catalogue files the reader's 3000-byte section list allows, for the benchmarks.
#pragma once

#include <string>
#include <vector>

namespace bench {

constexpr std::size_t kListBytes = 2998;  // what the reader scans of its 3000-byte buffer

// One-character section names, repeating once the distinct ones are used up (about 1,500).
inline std::vector<std::string> ShortestNames() {
    const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*+,-.<>?@^_{|}~";
    std::vector<std::string> names;
    for (std::size_t bytes = 1; bytes + 2 <= kListBytes; bytes += 2) {
        names.emplace_back(1, alphabet[names.size() % alphabet.size()]);
    }
    return names;
}

// Distinct one- and two-character names (about 1,000).
inline std::vector<std::string> DistinctNames() {
    const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::vector<std::string> names;
    for (std::size_t i = 0, bytes = 1;; ++i) {
        std::string name = i < digits.size() ? std::string(1, digits[i])
                                             : std::string{digits[(i / digits.size()) - 1],
                                                           digits[i % digits.size()]};
        if (bytes + name.size() + 1 > kListBytes) {
            return names;
        }
        bytes += name.size() + 1;
        names.push_back(name);
    }
}

inline std::string Catalogue(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += "[" + name + "]\r\n";
        for (int k = 1; k <= 50; ++k) {
            text += "PrintName" + std::to_string(k) + "=Receipt model " + name + " variant " +
                    std::to_string(k) + "\r\n";
        }
    }
    return text;
}

}  // namespace bench
