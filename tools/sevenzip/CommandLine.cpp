// Splits the command line the way a Windows program sees its arguments and reads the switches.
#include "tools/sevenzip/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace sevenzip {
namespace {

struct Token {
    std::string text;
    bool isSwitch = false;  // an unquoted leading '-'; "-x" in quotes is a file name
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        Token token;
        token.isSwitch = line[i] == '-';
        bool quoted = false;
        for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else {
                token.text += line[i];
            }
        }
        if (quoted) {
            error = "unterminated quote";
            return false;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool ApplySwitch(const std::string& text, Command& command, bool& haveDestination,
                 std::string& error) {
    const std::string name = Lower(text.substr(1));
    if (name == "y") {
        command.assumeYes = true;
    } else if (name == "hide") {
        command.hide = true;
    } else if (!name.empty() && name[0] == 'o') {
        if (haveDestination) {
            error = "more than one output directory";
            return false;
        }
        command.destination = text.substr(2);
        if (command.destination.empty()) {
            error = "empty output directory in -o";
            return false;
        }
        haveDestination = true;
    } else {
        error = "unknown switch " + text;
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(std::string_view line, Command& command, std::string& error) {
    command = Command{};
    std::vector<Token> tokens;
    if (!Tokenize(line, tokens, error)) {
        return false;
    }
    bool haveCommand = false;
    bool haveArchive = false;
    bool haveDestination = false;
    for (const Token& token : tokens) {
        if (token.isSwitch) {
            if (!ApplySwitch(token.text, command, haveDestination, error)) {
                return false;
            }
        } else if (!haveCommand) {
            if (Lower(token.text) != "x") {
                error = "unsupported command \"" + token.text + "\"";
                return false;
            }
            haveCommand = true;
        } else if (!haveArchive) {
            if (token.text.empty()) {
                error = "empty archive name";
                return false;
            }
            command.archive = token.text;
            haveArchive = true;
        } else {
            error = "unexpected argument \"" + token.text + "\"";
            return false;
        }
    }
    if (!haveCommand) {
        error = "no command";
    } else if (!haveArchive) {
        error = "no archive name";
    } else if (!haveDestination) {
        error = "no output directory (-o)";
    } else {
        return true;
    }
    return false;
}

}  // namespace sevenzip
