// Writes the synthetic driver-package staging tree from the model tables, or checks a maker's tree.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/ModelTables.h"

namespace fs = std::filesystem;
using namespace catalog;

namespace {

constexpr const char* kArches[] = {"x86", "x64"};
constexpr const char* kHelpFile = "THERMAL.chm";
constexpr const char* kCatalogueFile = "DriverName.cfg";
constexpr int kMaxNames = 50;
constexpr std::size_t kMaxNameLength = 127, kMaxSectionName = 99, kSectionNameBuffer = 3000;

// Extra display names of a few models, to exercise several names per section.
const std::map<int, std::vector<std::string>> kAliases{
    {0, {"TR-210E Series", "TR-210U Series"}},
    {5, {"TR-240S Series"}},
    {19, {"ZR90 Series Serial"}},
    {27, {"TR-710M Bluetooth"}},
    {32, {"LB-400 Label 300dpi"}},
};

std::string DriverName(int index) {
    return std::string(index < kReceiptModelCount ? ReceiptDriverName(index)
                                                  : LabelDriverName(index - kReceiptModelCount));
}

// Table 2 row by the group rule the receipt installation applies.
std::string_view ModuleStemFor(int index) {
    int end = 0;
    for (int group = 0; group < 4; ++group) {
        end += kReceiptGroupSizes[static_cast<std::size_t>(group)];
        if (index < end) {
            constexpr int kRowOfGroup[] = {0, 1, 3, 4};
            if (group == 1 && ReceiptDriverName(index) == kThirdModuleModel) {
                return ReceiptModuleStem(2);
            }
            return ReceiptModuleStem(kRowOfGroup[group]);
        }
    }
    return {};
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// The catalogue indices that need a file, in catalogue order.
using Models = std::set<int>;

Models Range(int first, int count) {
    Models out;
    for (int i = first; i < first + count; ++i) {
        out.insert(i);
    }
    return out;
}

// Every file the installer copies, by staging directory, with the models that need it.
std::map<std::string, std::map<std::string, Models>> ExpectedFiles() {
    std::map<std::string, std::map<std::string, Models>> dirs;
    const Models receipts = Range(0, kReceiptModelCount);
    const Models labels = Range(kReceiptModelCount, kLabelModelCount);
    for (const char* arch : kArches) {
        auto& ticket = dirs[std::string("Ticket/") + arch];
        for (int i = 0; i < kReceiptModelCount; ++i) {
            ticket[std::string(ModuleStemFor(i)) + ".DLL"].insert(i);
            ticket[std::string(ReceiptGpdStem(i)) + ".GPD"].insert(i);
        }
        for (const char* f : UniDrvFiles()) {
            ticket[f] = receipts;
        }
        auto& barcode = dirs[std::string("Barcode/") + arch];
        for (const char* f : LabelFiles(std::string_view(arch) == "x64")) {
            barcode[f] = labels;
        }
    }
    auto& common = dirs["Barcode/Common"];
    common[kHelpFile] = labels;
    for (int i = 0; i < kLabelModelCount; ++i) {
        common[std::string(LabelDataStem(i)) + ".DAT"].insert(kReceiptModelCount + i);
        common[std::string(LabelDataStem(i)) + ".BA0"].insert(kReceiptModelCount + i);
    }
    return dirs;
}

std::string NeededBy(const Models& models) {
    if (models == Range(0, kReceiptModelCount)) {
        return "every receipt model";
    }
    if (models == Range(kReceiptModelCount, kLabelModelCount)) {
        return "every label model";
    }
    std::string out;
    for (int i : models) {
        out += (out.empty() ? "" : ", ") + DriverName(i);
    }
    return out;
}

bool WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "stage_tree: cannot write " << path << "\n";
        return false;
    }
    return true;
}

std::string Gpd(std::string_view stem) {
    std::vector<int> models;
    for (int i = 0; i < kReceiptModelCount; ++i) {
        if (ReceiptGpdStem(i) == stem) {
            models.push_back(i);
        }
    }
    const int first = models.front();
    // Group 4 are the 58 mm mobile models; the rest print on 80 mm rolls (203 dpi).
    const bool narrow = first >= kReceiptModelCount - kReceiptGroupSizes[3];
    const int paper = narrow ? 464 : 640, printable = narrow ? 384 : 576;
    std::ostringstream g;
    g << "*% Synthetic GPD written by stage_tree for a test package; it drives no real "
         "printer.\r\n";
    for (int i : models) {
        g << "*% Model: " << ReceiptDriverName(i) << "\r\n";
    }
    g << "*GPDSpecVersion: \"1.0\"\r\n"
      << "*GPDFileName: \"" << stem << ".GPD\"\r\n"
      << "*GPDFileVersion: \"1.0\"\r\n"
      << "*Include: \"STDNAMES.GPD\"\r\n"
      << "*ModelName: \"" << ReceiptDriverName(first) << "\"\r\n"
      << "*MasterUnits: PAIR(203, 203)\r\n"
      << "*ResourceDLL: \"" << ModuleStemFor(first) << ".DLL\"\r\n"
      << "*PrinterType: SERIAL\r\n"
      << "*Feature: Orientation\r\n{\r\n    *rcNameID: =ORIENTATION_DISPLAY\r\n"
      << "    *DefaultOption: PORTRAIT\r\n"
      << "    *Option: PORTRAIT\r\n    {\r\n        *rcNameID: =PORTRAIT_DISPLAY\r\n    }\r\n}\r\n"
      << "*Feature: PaperSize\r\n{\r\n    *rcNameID: =PAPER_SIZE_DISPLAY\r\n"
      << "    *DefaultOption: ROLL\r\n"
      << "    *Option: ROLL\r\n    {\r\n"
      << "        *Name: \"Roll " << (narrow ? 58 : 80) << " mm\"\r\n"
      << "        *PageDimensions: PAIR(" << paper << ", 3276)\r\n"
      << "        *PrintableArea: PAIR(" << printable << ", 3276)\r\n"
      << "        *PrintableOrigin: PAIR(" << (paper - printable) / 2 << ", 0)\r\n"
      << "    }\r\n}\r\n"
      << "*Feature: Resolution\r\n{\r\n    *rcNameID: =RESOLUTION_DISPLAY\r\n"
      << "    *DefaultOption: DPI203\r\n"
      << "    *Option: DPI203\r\n    {\r\n        *Name: \"203 x 203 dots per inch\"\r\n"
      << "        *DPI: PAIR(203, 203)\r\n        *TextDPI: PAIR(203, 203)\r\n    }\r\n}\r\n";
    return g.str();
}

std::string Catalogue() {
    std::ostringstream c;
    c << "; Display names of the synthetic test package, one section per catalogue index.\r\n";
    for (int i = 0; i < kModelCount; ++i) {
        const std::string name = DriverName(i);
        c << "[" << name << "]\r\nPrintName1=" << name << "\r\n";
        if (auto it = kAliases.find(i); it != kAliases.end()) {
            int key = 2;
            for (const std::string& alias : it->second) {
                c << "PrintName" << key++ << "=" << alias << "\r\n";
            }
        }
        c << "\r\n";
    }
    return c.str();
}

std::string Placeholder(const std::string& dir, const std::string& file) {
    return "Placeholder " + dir + "/" + file + " of the synthetic test package.\r\n";
}

int Write(const fs::path& root, const std::optional<fs::path> monitors[2]) {
    std::set<std::string> modelGpds;
    for (int i = 0; i < kReceiptModelCount; ++i) {
        modelGpds.insert(std::string(ReceiptGpdStem(i)) + ".GPD");
    }
    std::error_code ec;
    for (const auto& [dir, files] : ExpectedFiles()) {
        fs::create_directories(root / dir, ec);
        if (ec) {
            std::cerr << "stage_tree: cannot create " << root / dir << ": " << ec.message() << "\n";
            return 1;
        }
        for (const auto& [file, models] : files) {
            const std::string text = modelGpds.contains(file)
                                         ? Gpd(std::string_view(file).substr(0, file.size() - 4))
                                         : Placeholder(dir, file);
            if (!WriteText(root / dir / file, text)) {
                return 1;
            }
        }
    }
    for (int a = 0; a < 2; ++a) {
        if (monitors[a]) {
            const fs::path dest = root / "Barcode" / kArches[a] / LabelFiles(a == 1)[0];
            fs::copy_file(*monitors[a], dest, fs::copy_options::overwrite_existing, ec);
            if (ec) {
                std::cerr << "stage_tree: cannot copy " << *monitors[a] << ": " << ec.message()
                          << "\n";
                return 1;
            }
        }
    }
    return WriteText(root / kCatalogueFile, Catalogue()) ? 0 : 1;
}

struct Section {
    std::string name;
    std::map<std::string, std::string> keys;  // upper-cased key, value
};

std::string Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(s.substr(first, s.find_last_not_of(" \t\r") - first + 1));
}

std::vector<Section> ReadIni(const fs::path& path) {
    std::vector<Section> sections;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (t.starts_with("[") && t.find(']') != std::string::npos) {
            sections.push_back({t.substr(1, t.find(']') - 1), {}});
        } else if (!sections.empty() && !t.starts_with(";") && t.find('=') != std::string::npos) {
            const auto eq = t.find('=');
            sections.back().keys.emplace(Upper(Trim(t.substr(0, eq))), Trim(t.substr(eq + 1)));
        }
    }
    return sections;
}

// The rules the installer's reader relies on; each breach is one line on stderr.
int CheckCatalogue(const fs::path& path) {
    if (!fs::exists(path)) {
        std::cerr << "missing " << kCatalogueFile << "\n";
        return 1;
    }
    int problems = 0;
    auto report = [&problems](const std::string& what) {
        std::cerr << kCatalogueFile << ": " << what << "\n";
        ++problems;
    };
    const std::vector<Section> sections = ReadIni(path);
    if (sections.size() != static_cast<std::size_t>(kModelCount)) {
        report(std::to_string(sections.size()) + " sections, expected " +
               std::to_string(kModelCount) + " (one per catalogue index, in order)");
    }
    std::size_t nameBytes = 1;
    std::map<std::string, std::size_t> owner;
    for (std::size_t k = 0; k < sections.size(); ++k) {
        const Section& s = sections[k];
        const std::string where = "section " + std::to_string(k) + " [" + s.name + "]";
        nameBytes += s.name.size() + 1;
        if (s.name.size() > kMaxSectionName) {
            report(where + ": section name longer than 99 bytes");
        }
        int count = 0;
        while (count < kMaxNames) {
            auto it = s.keys.find("PRINTNAME" + std::to_string(count + 1));
            if (it == s.keys.end() || it->second.empty()) {
                break;
            }
            if (it->second.size() > kMaxNameLength) {
                report(where + ": PrintName" + std::to_string(count + 1) + " exceeds 127 chars");
            }
            if (auto [prev, fresh] = owner.emplace(it->second, k); !fresh && prev->second != k) {
                report(where + ": \"" + it->second + "\" also stands in section " +
                       std::to_string(prev->second) + "; both resolve to the later one");
            }
            ++count;
        }
        if (count == 0) {
            report(where + ": no PrintName1");
        }
        for (const auto& [key, value] : s.keys) {
            if (key.starts_with("PRINTNAME") && !value.empty()) {
                const int n = std::atoi(key.c_str() + 9);
                if (n > count) {
                    report(where + ": PrintName" + key.substr(9) +
                           " is never read (after a gap, or beyond 50)");
                }
            }
        }
    }
    if (nameBytes > kSectionNameBuffer - 1) {
        report("section names take " + std::to_string(nameBytes) + " bytes, more than 2999");
    }
    return problems;
}

// Only the three paths the installer places, and no links anywhere.
int CheckConfined(const fs::path& root) {
    int problems = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        const bool placed = entry.is_symlink(ec)                    ? false
                            : name == kCatalogueFile                ? entry.is_regular_file(ec)
                            : name == "Ticket" || name == "Barcode" ? entry.is_directory(ec)
                                                                    : false;
        if (!placed) {
            std::cerr << "outside the three paths (Ticket, Barcode, " << kCatalogueFile
                      << "): " << name << (entry.is_symlink(ec) ? " (a link)" : "") << "\n";
            ++problems;
        }
    }
    for (auto it = fs::recursive_directory_iterator(root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it.depth() > 0 && it->is_symlink(ec)) {
            std::cerr << "link: " << it->path().lexically_relative(root).generic_string() << "\n";
            ++problems;
        }
    }
    return problems;
}

int Check(const fs::path& root) {
    int problems = CheckConfined(root);
    for (const auto& [dir, files] : ExpectedFiles()) {
        std::set<std::string> present;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(root / dir, ec)) {
            if (entry.is_regular_file(ec)) {
                present.insert(Upper(entry.path().filename().string()));
            }
        }
        for (const auto& [file, models] : files) {
            if (!present.contains(Upper(file))) {
                std::cerr << "missing " << dir << "/" << file << " (needed by " << NeededBy(models)
                          << ")\n";
                ++problems;
            }
        }
    }
    problems += CheckCatalogue(root / kCatalogueFile);
    if (problems != 0) {
        std::cerr << problems << " problem(s) in " << root.string() << "\n";
    }
    return problems == 0 ? 0 : 1;
}

int Usage() {
    std::cerr << "usage: stage_tree write DIR [--monitor32 DLL] [--monitor64 DLL]\n"
                 "       stage_tree check DIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        return Usage();
    }
    const fs::path root = args[1];
    if (args[0] == "check" && args.size() == 2) {
        return Check(root);
    }
    if (args[0] != "write") {
        return Usage();
    }
    std::optional<fs::path> monitors[2];
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size() || (args[i] != "--monitor32" && args[i] != "--monitor64")) {
            return Usage();
        }
        monitors[args[i] == "--monitor64" ? 1 : 0] = args[i + 1];
    }
    return Write(root, monitors);
}
