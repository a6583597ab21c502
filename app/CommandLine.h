// The program's command line: none for the window, /quiet with the unattended options, or one of
// the other actions (/repair, /remove).
#pragma once

#include <string>
#include <vector>

#include "app/Unattended.h"

struct CommandLine {
    bool quiet = false;
    bool repair = false;  // only the replay of a journal a killed run left
    bool remove = false;  // removes `removeName` instead of installing
    std::string removeName;
    std::string logPath;  // empty: the default log
    unattended::Options options;
    // Why the line is not accepted (the usage follows it); empty when it is. "/?" gives the
    // usage alone, with "usage" here.
    std::string error;
};

// The arguments after the program's name, split as the C runtime of Windows splits them:
// blanks and tabs separate, double quotes group, backslashes escape only a quote.
std::vector<std::string> SplitArguments(const std::string& arguments);
CommandLine ParseCommandLine(const std::string& arguments);
const char* UsageText();
