// The fixed model tables: our model family's driver names, file stems and file lists.
#include "catalog/ModelTables.h"

#include <cstddef>

namespace catalog {
namespace {

// Group 1: TR-2xx desktop, group 2: ZR compact, group 3: TR-5xx kiosk, group 4: TR-7xxM mobile.
constexpr std::array<std::string_view, kReceiptModelCount> kReceiptDriverNames{
    "TR-210 Series",   "TR-212 Series",  "TR-220 Series",  "TR-222 Series",  "TR-230 Series",
    "TR-240 Series",   "TR-240E Series", "TR-250 Series",  "TR-252 Series",  "TR-260 Series",
    "TR-262 Series",   "TR-270 Series",  "TR-280 Series",  "TR-282 Series",  "TR-290",
    "ZR50 Series",     "ZR60 Series",    "ZR70 Series",    "ZR80 Series",    "ZR90 Series",
    kThirdModuleModel, "ZR100 Series",   "TR-510 Series",  "TR-520 Series",  "TR-530 Series",
    "TR-540 Series",   "TR-560K",        "TR-710M Mobile", "TR-720M Mobile", "TR-730M Mobile",
};

constexpr std::array<std::string_view, 5> kReceiptModuleStems{
    "TRRNDR", "ZRRNDR", "ZRQRNDR", "TRKRNDR", "TRMRNDR",
};

// The TR-240 pair shares one data file; TR-270's GPD carries the group-1 module's stem;
// TR-290 and TR-560K name their GPD after the driver.
constexpr std::array<std::string_view, kReceiptModelCount> kReceiptGpdStems{
    "TR210", "TR212",  "TR220", "TR222", "TR230",  "TR240", "TR240",   "TR250",  "TR252",  "TR260",
    "TR262", "TRRNDR", "TR280", "TR282", "TR-290", "ZR50",  "ZR60",    "ZR70",   "ZR80",   "ZR90",
    "ZR90Q", "ZR100",  "TR510", "TR520", "TR530",  "TR540", "TR-560K", "TR710M", "TR720M", "TR730M",
};

constexpr std::array<const char*, 6> kUniDrvFiles{
    "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD",
};

constexpr std::array<std::string_view, kLabelModelCount> kLabelDriverNames{
    "LB-200 Label", "LB-300 Label", "LB-400 Label", "LB-420 Label", "TR-730M Label",
};

// The TR-730M prints labels from the same data as its receipt driver.
constexpr std::array<std::string_view, kLabelModelCount> kLabelDataStems{
    "LB200", "LB300", "LB400", "LB420", "TR730M",
};

constexpr std::array<std::string_view, 27> kLanguageCodes{
    "ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN",
    "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
    "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR",
};

// "QLV" + code + suffix + ".DLL" and its NUL fit in 16 bytes for every code.
using FileName = std::array<char, 16>;

constexpr FileName Join(std::string_view a, std::string_view b, std::string_view c,
                        std::string_view d) {
    FileName out{};
    std::size_t n = 0;
    for (std::string_view part : {a, b, c, d}) {
        for (char ch : part) {
            out[n++] = ch;
        }
    }
    return out;
}

constexpr std::array<FileName, 27> LanguageModules(std::string_view suffix) {
    std::array<FileName, 27> out{};
    for (std::size_t i = 0; i < kLanguageCodes.size(); ++i) {
        out[i] = Join("QLV", kLanguageCodes[i], suffix, ".DLL");
    }
    return out;
}

constexpr auto kLanguages32 = LanguageModules("50");
constexpr auto kLanguages64 = LanguageModules("56");

constexpr std::array<const char*, 30> LabelList(const char* monitor, const char* driver,
                                                const char* ui,
                                                const std::array<FileName, 27>& languages) {
    std::array<const char*, 30> out{monitor, driver, ui};
    for (std::size_t i = 0; i < languages.size(); ++i) {
        out[3 + i] = languages[i].data();
    }
    return out;
}

constexpr auto kLabelFiles32 =
    LabelList("qlvMONNT.dll", "QLVDRV50.DLL", "QLVUI50.DLL", kLanguages32);
constexpr auto kLabelFiles64 =
    LabelList("qlvMON64.dll", "QLVDRV56.DLL", "QLVUI56.DLL", kLanguages64);

template <std::size_t N>
std::string_view At(const std::array<std::string_view, N>& table, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) {
        return {};
    }
    return table[static_cast<std::size_t>(index)];
}

}  // namespace

std::string_view ReceiptDriverName(int catalogIndex) {
    return At(kReceiptDriverNames, catalogIndex);
}

std::string_view ReceiptModuleStem(int row) {
    return At(kReceiptModuleStems, row);
}

std::string_view ReceiptGpdStem(int catalogIndex) {
    return At(kReceiptGpdStems, catalogIndex);
}

std::span<const char* const> UniDrvFiles() {
    return kUniDrvFiles;
}

std::string_view LabelDriverName(int labelIndex) {
    return At(kLabelDriverNames, labelIndex);
}

std::span<const char* const> LabelFiles(bool x64) {
    return x64 ? kLabelFiles64 : kLabelFiles32;
}

std::string_view LabelDataStem(int labelIndex) {
    return At(kLabelDataStems, labelIndex);
}

}  // namespace catalog
