// Extraction of one archive into a destination directory, with the checks that keep it there.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "tools/sevenzip/CommandLine.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip {

// Maps the paths the caller gives (archive, destination) to paths this process can open. The
// DLL keeps the identity; the simulated platform maps Windows paths onto its host directory.
using PathResolver = std::function<std::string(const std::string&)>;
void SetPathResolver(PathResolver resolver);  // empty restores the identity

// Returns false to cancel.
using ProgressFn = std::function<bool(ProgressState, const ProgressInfo&)>;

struct Outcome {
    Result result = Ok;
    std::string summary;  // readable, several lines
};

Outcome Extract(const Command& command, const ProgressFn& progress);
Outcome RunCommandLine(std::string_view line, const ProgressFn& progress);

// Copies as much of `summary` as fits, always NUL-terminated within `size` bytes.
void CopySummary(std::string_view summary, char* out, std::size_t size);

}  // namespace sevenzip
