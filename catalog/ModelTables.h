// The fixed model tables built into the installer: driver names and file names by catalogue index.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace catalog {

constexpr int kReceiptModelCount = 30, kLabelModelCount = 5, kModelCount = 35;

// Receipt groups in catalogue order; the rendering module is chosen by group.
inline constexpr std::array<int, 4> kReceiptGroupSizes{15, 7, 5, 3};

// The combo text of the one group-2 model that renders with the third module row instead of
// the second.
inline constexpr std::string_view kThirdModuleModel = "ZR90Q Series";

// Every lookup returns an empty view (or an empty span) for an index outside its table.
std::string_view ReceiptDriverName(int catalogIndex);
std::string_view ReceiptModuleStem(int row);  // row 0..4
std::string_view ReceiptGpdStem(int catalogIndex);
std::span<const char* const> UniDrvFiles();
std::string_view LabelDriverName(int labelIndex);
std::span<const char* const> LabelFiles(bool x64);
std::string_view LabelDataStem(int labelIndex);

}  // namespace catalog
