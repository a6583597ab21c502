// Tests of the archiver wrapper: loading by the search order, the calls made, failures and faults.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/ArchiveExtractor.h"
#include "tests/unit/SimFixture.h"

#ifdef HAVE_SEVENZIP_SIM
#include <algorithm>
#include <functional>

#include "app/Cleanup.h"
#include "app/InstallDialog.h"
#include "catalog/CatalogFile.h"
#include "platform/Files.h"
#include "platform/sim/SimFileSecurity.h"
#include "platform/sim/SimUi.h"
#include "res/resource.h"
#include "tools/sevenzip/SimModule.h"
#endif

namespace {

using catalog::ArchiveExtractor;

constexpr const char* kArchive = "C:\\pkg\\DriverData.Drv";
const auto kOwner = reinterpret_cast<sys::WindowHandle>(0x5150);

// What the fake archiver saw; function pointers cannot capture, so it lives here.
struct FakeArchiver {
    std::vector<std::string> events;
    sys::WindowHandle setOwner = nullptr;
    sys::WindowHandle zipOwner = nullptr;
    sys::WindowHandle killOwner = nullptr;
    ArchiveExtractor::ProgressProc progress = nullptr;
    bool registeredDuringCall = false;
    bool outputWasClear = false;
    int progressAnswer = -1;
    std::string command;
    sys::Dword outputSize = 0;
    int result = 0;
    bool fault = false;
};

FakeArchiver& Fake() {
    static FakeArchiver fake;
    return fake;
}

int SYS_WINAPI FakeSetOwner(void* owner, ArchiveExtractor::ProgressProc progress) {
    Fake().events.push_back("set");
    Fake().setOwner = owner;
    Fake().progress = progress;
    return 1;
}

int SYS_WINAPI FakeSevenZip(void* owner, const char* commandLine, char* output, sys::Dword size) {
    FakeArchiver& f = Fake();
    f.events.push_back("zip");
    f.zipOwner = owner;
    f.command = commandLine;
    f.outputSize = size;
    f.registeredDuringCall = f.progress != nullptr && f.setOwner == owner;
    if (f.progress != nullptr) {
        f.progressAnswer = f.progress(owner, 0x7A01, 1, nullptr);
    }
    // The caller clears the buffer and leaves room for a NUL after `size` bytes.
    f.outputWasClear = true;
    for (sys::Dword i = 0; i <= size; ++i) {
        f.outputWasClear = f.outputWasClear && output[i] == '\0';
    }
    std::snprintf(output, size, "extracted %s", "ok");
    if (f.fault) {
        throw sim::Fault{};
    }
    return f.result;
}

int SYS_WINAPI FakeKillOwner(void* owner) {
    Fake().events.push_back("kill");
    Fake().killOwner = owner;
    Fake().progress = nullptr;
    return 1;
}

int SYS_WINAPI FakeGetRunning() {
    Fake().events.push_back("running");
    return 0;
}

sim::Module FakeModule(const std::set<std::string>& omit = {}) {
    sim::Module module;
    const std::pair<const char*, sys::ProcAddress> all[] = {
        {"SevenZip", reinterpret_cast<sys::ProcAddress>(&FakeSevenZip)},
        {"SevenZipSetOwnerWindowEx", reinterpret_cast<sys::ProcAddress>(&FakeSetOwner)},
        {"SevenZipKillOwnerWindowEx", reinterpret_cast<sys::ProcAddress>(&FakeKillOwner)},
        {"SevenZipGetRunning", reinterpret_cast<sys::ProcAddress>(&FakeGetRunning)},
    };
    for (const auto& [name, address] : all) {
        if (omit.count(name) == 0) {
            module.exports[name] = address;
        }
    }
    return module;
}

class ArchiveExtractorTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        Fake() = FakeArchiver{};
    }

    // The usual start: the DLL and the package next to each other in the current directory.
    static void Prepare(const std::set<std::string>& omit = {}) {
        sim::RegisterModule(ArchiveExtractor::kDllName, FakeModule(omit));
        WriteFile("C:\\pkg\\7-zip32.dll", "MZ");
        WriteFile(kArchive, "package");
        sim::SetCurrentDirectory("C:\\pkg");
    }

    static int Extract(ArchiveExtractor& extractor, const std::string& archive = kArchive,
                       const std::string& destination = "C:\\") {
        extractor.SetOwnerWindow(kOwner);
        return extractor.Extract(archive, destination);
    }

    using Events = std::vector<std::string>;
};

TEST_F(ArchiveExtractorTest, ExtractsThroughTheArchiver) {
    Prepare();
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor), 2);

    const FakeArchiver& f = Fake();
    EXPECT_EQ(f.events, (Events{"set", "zip", "kill"}));
    EXPECT_EQ(f.command, "x -y \"C:\\pkg\\DriverData.Drv\" -o\"C:\\\" -hide");
    EXPECT_EQ(f.outputSize, 16384u);
    EXPECT_TRUE(f.outputWasClear);
    EXPECT_EQ(f.setOwner, kOwner);
    EXPECT_EQ(f.zipOwner, kOwner);
    EXPECT_EQ(f.killOwner, kOwner);
    EXPECT_TRUE(f.registeredDuringCall);
    EXPECT_EQ(f.progressAnswer, 1);
    EXPECT_EQ(extractor.LastOutput(), "extracted ok");
}

TEST_F(ArchiveExtractorTest, DllIsLoadedOnlyFromTheProgramsFolder) {
    sim::RegisterModule(ArchiveExtractor::kDllName, FakeModule());
    WriteFile(kArchive, "package");
    ArchiveExtractor extractor;

    // Registered, but no file in the program's folder: one in the current directory, elsewhere
    // or in the system directory, where a search by bare name would look, is not taken.
    sim::SetProgramDirectory("C:\\pkg");
    sim::SetCurrentDirectory("C:\\Users\\Public");
    for (const char* planted : {"C:\\elsewhere\\7-zip32.dll", "C:\\Users\\Public\\7-zip32.dll",
                                "C:\\Windows\\System32\\7-zip32.dll"}) {
        WriteFile(planted, "MZ");
        EXPECT_FALSE(extractor.Load()) << planted;
        EXPECT_EQ(Extract(extractor), 0);
        EXPECT_FALSE(extractor.Loaded());
    }

    WriteFile("C:\\pkg\\7-zip32.dll", "MZ");
    EXPECT_TRUE(extractor.Load());
    EXPECT_EQ(Extract(extractor), 2);
}

TEST_F(ArchiveExtractorTest, MissingDllMakesNoArchiverCall) {
    WriteFile(kArchive, "package");
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor), 0);

    sim::RegisterModule(ArchiveExtractor::kDllName, FakeModule());
    EXPECT_EQ(Extract(extractor), 0);  // no file for it
    EXPECT_TRUE(Fake().events.empty());
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
}

TEST_F(ArchiveExtractorTest, MissingArchiveMakesNoArchiverCall) {
    Prepare();
    std::filesystem::remove(sim::HostPath(kArchive));
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor), 0);
    EXPECT_TRUE(Fake().events.empty());
    EXPECT_EQ(Extract(extractor, "C:\\pkg\\Other.Drv"), 0);
    EXPECT_TRUE(Fake().events.empty());
}

TEST_F(ArchiveExtractorTest, NonZeroArchiverResultIsFailure) {
    Prepare();
    ArchiveExtractor extractor;
    for (int result : {1, 2, -1, 100, 0x8000}) {
        Fake().events.clear();
        Fake().result = result;
        EXPECT_EQ(Extract(extractor), 0) << result;
        // The owner is unregistered whatever the result.
        EXPECT_EQ(Fake().events, (Events{"set", "zip", "kill"})) << result;
    }
}

TEST_F(ArchiveExtractorTest, FaultInsideTheArchiverIsFailureAndLifeGoesOn) {
    Prepare();
    ArchiveExtractor extractor;
    Fake().fault = true;
    EXPECT_EQ(Extract(extractor), 0);
    EXPECT_EQ(Fake().events, (Events{"set", "zip", "kill"}));
    EXPECT_EQ(Fake().killOwner, kOwner);

    Fake() = FakeArchiver{};
    EXPECT_EQ(Extract(extractor), 2);
    EXPECT_EQ(Fake().events, (Events{"set", "zip", "kill"}));
}

TEST_F(ArchiveExtractorTest, MissingOwnerEntryPointsAreSkipped) {
    Prepare({"SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx", "SevenZipGetRunning"});
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor), 2);
    EXPECT_EQ(Fake().events, (Events{"zip"}));
    EXPECT_FALSE(Fake().registeredDuringCall);
}

TEST_F(ArchiveExtractorTest, DllWithoutSevenZipCannotExtract) {
    Prepare({"SevenZip"});
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor), 0);
    EXPECT_TRUE(Fake().events.empty());

    sim::RegisterModule(ArchiveExtractor::kDllName, sim::Module{});
    EXPECT_EQ(Extract(extractor), 0);
    EXPECT_TRUE(Fake().events.empty());
}

TEST_F(ArchiveExtractorTest, UnloadFreesTheModule) {
    Prepare();
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor), 2);
    EXPECT_EQ(Extract(extractor), 2);
    EXPECT_TRUE(extractor.Load());
    EXPECT_TRUE(extractor.Loaded());
    EXPECT_EQ(sim::LoadedModuleCount(), 1);

    // Reloading must not leave references behind: one Unload frees it.
    extractor.Unload();
    EXPECT_FALSE(extractor.Loaded());
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
    const int frees = sim::CallCount("FreeLibrary");
    extractor.Unload();
    EXPECT_EQ(sim::CallCount("FreeLibrary"), frees);
    EXPECT_EQ(Fake().events, (Events{"set", "zip", "kill", "set", "zip", "kill"}));
}

TEST_F(ArchiveExtractorTest, DestructorFreesTheModule) {
    Prepare();
    {
        ArchiveExtractor extractor;
        EXPECT_EQ(Extract(extractor), 2);
        EXPECT_EQ(sim::LoadedModuleCount(), 1);
    }
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
}

TEST_F(ArchiveExtractorTest, CommandLineThatWouldBeCutIsRefused) {
    Prepare();
    ArchiveExtractor extractor;
    // "x -y \"" + archive + "\" -o\"" + destination + "\" -hide" must fit 1023 bytes.
    const size_t room = 1023 - 18 - std::string(kArchive).size();
    const std::string fits = "C:\\" + std::string(room - 3, 'd');
    EXPECT_EQ(Extract(extractor, kArchive, fits), 2);
    EXPECT_EQ(Fake().command.size(), 1023u);
    EXPECT_EQ(Fake().command.substr(Fake().command.size() - 8), "d\" -hide");

    Fake() = FakeArchiver{};
    EXPECT_EQ(Extract(extractor, kArchive, fits + "d"), 0);
    EXPECT_TRUE(Fake().events.empty());
}

TEST_F(ArchiveExtractorTest, DeepArchivePathIsRefused) {
    Prepare();
    std::string deep = "C:";
    for (int i = 0; i < 4; ++i) {
        deep += "\\" + std::string(250, static_cast<char>('a' + i));
    }
    deep += "\\DriverData.Drv";
    WriteFile(deep, "package");
    ASSERT_TRUE(Exists(deep));
    ArchiveExtractor extractor;
    EXPECT_EQ(Extract(extractor, deep), 0);
    EXPECT_TRUE(Fake().events.empty());
}

#ifdef HAVE_SEVENZIP_SIM

// The package as the build makes it: driver trees and the catalogue, packed by the 7z command.
class RealArchiverTest : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        staging_ = std::filesystem::path(sim::Root()).parent_path() /
                   ("stage-" + std::filesystem::path(sim::Root()).filename().string());
        sevenzip::RegisterSimModule();
        WriteFile("C:\\pkg\\7-zip32.dll", "MZ");
        sim::SetCurrentDirectory("C:\\pkg");
    }

    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(staging_, ec);
        SimTest::TearDown();
    }

    // Packs the files (relative path, content) into C:\pkg\DriverData.Drv.
    // Links (relative path, target) are stored as links.
    void MakePackage(const std::vector<std::pair<std::string, std::string>>& files,
                     const std::vector<std::pair<std::string, std::string>>& links = {}) {
        const auto tree = staging_ / "tree";
        for (const auto& [path, content] : files) {
            const auto file = tree / path;
            std::filesystem::create_directories(file.parent_path());
            std::ofstream(file, std::ios::binary) << content;
        }
        for (const auto& [path, target] : links) {
            std::filesystem::create_directories((tree / path).parent_path());
            std::filesystem::create_symlink(target, tree / path);
        }
        const auto archive = staging_ / "DriverData.7z";
        const std::string command = "cd '" + tree.string() + "' && 7z a -t7z -snl -bd -y '" +
                                    archive.string() + "' . >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::filesystem::path target = sim::HostPath(kArchive);
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(archive, target,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    static std::string Read(const std::string& windowsPath) {
        std::ifstream in(sim::HostPath(windowsPath), std::ios::binary);
        std::stringstream out;
        out << in.rdbuf();
        return out.str();
    }

    std::filesystem::path staging_;
};

TEST_F(RealArchiverTest, UnpacksThePackageToDriveC) {
    MakePackage({{"DriverName.cfg",
                  "[R0]\r\nPrintName1=Receipt Zero\r\n[R1]\r\n"
                  "PrintName1=Receipt One\r\nPrintName2=Receipt One B\r\n"},
                 {"Ticket/x86/MODEL0.GPD", "gpd x86"},
                 {"Ticket/x64/MODEL0.GPD", "gpd x64"},
                 {"Barcode/Common/LABEL.DAT", std::string(70000, 'L')}});
    ArchiveExtractor extractor;
    extractor.SetOwnerWindow(kOwner);
    ASSERT_EQ(extractor.Extract(kArchive, "C:\\"), 2) << extractor.LastOutput();
    EXPECT_EQ(Read("C:\\Ticket\\x86\\MODEL0.GPD"), "gpd x86");
    EXPECT_EQ(Read("C:\\Ticket\\x64\\MODEL0.GPD"), "gpd x64");
    EXPECT_EQ(Read("C:\\Barcode\\Common\\LABEL.DAT"), std::string(70000, 'L'));

    const auto entries = catalog::ReadCatalog();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(catalog::ResolveModel(entries, 0, "Receipt One B"), 1);
    extractor.Unload();
    EXPECT_EQ(sim::LoadedModuleCount(), 0);
}

TEST_F(RealArchiverTest, ExistingFilesAreOverwritten) {
    WriteFile("C:\\DriverName.cfg", "[Old]\r\nPrintName1=Old Name\r\nPrintName2=Older\r\n");
    WriteFile("C:\\Ticket\\x86\\MODEL0.GPD", "old content that is longer than the new one");
    WriteFile("C:\\Ticket\\x86\\KEEP.GPD", "not in the package");
    MakePackage(
        {{"DriverName.cfg", "[New]\r\nPrintName1=New Name\r\n"}, {"Ticket/x86/MODEL0.GPD", "new"}});
    ArchiveExtractor extractor;
    ASSERT_EQ(extractor.Extract(kArchive, "C:\\"), 2) << extractor.LastOutput();
    EXPECT_EQ(Read("C:\\Ticket\\x86\\MODEL0.GPD"), "new");
    EXPECT_EQ(Read("C:\\Ticket\\x86\\KEEP.GPD"), "not in the package");
    const auto entries = catalog::ReadCatalog();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "New Name");
}

TEST_F(RealArchiverTest, DamagedPackageFails) {
    MakePackage({{"DriverName.cfg", "[S]\r\nPrintName1=" + std::string(5000, 'x') + "\r\n"}});
    const std::filesystem::path host = sim::HostPath(kArchive);
    std::string bytes = Read(kArchive);
    ASSERT_GT(bytes.size(), 64u);

    // Cut short.
    std::filesystem::resize_file(host, bytes.size() / 2);
    ArchiveExtractor extractor;
    EXPECT_EQ(extractor.Extract(kArchive, "C:\\"), 0);

    // Not an archive at all.
    std::ofstream(host, std::ios::binary | std::ios::trunc) << std::string(4096, '\x5A');
    EXPECT_EQ(extractor.Extract(kArchive, "C:\\"), 0);
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
}

// Everything on the simulated drive C, as relative paths, except the program's folder.
std::vector<std::string> DriveC() {
    std::vector<std::string> out;
    const std::filesystem::path root = sim::Root();
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const std::string path = std::filesystem::relative(it->path(), root).generic_string();
        if (path.rfind("pkg", 0) == 0 || path.rfind("Windows", 0) == 0) {
            continue;
        }
        out.push_back(path);
    }
    std::sort(out.begin(), out.end());
    return out;
}

using Paths = std::vector<std::string>;

constexpr int D = IDD_INSTALL;

// The dialog's preparation runs; `whileOpen` looks at drive C before the window closes.
void RunDialog(const std::function<void()>& whileOpen) {
    InstallDialog dialog;
    sim::ui::WaitUntil(
        D,
        [] {
            auto c = sim::ui::Control(D, IDC_INSTALL);
            return c && c->enabled;
        },
        "the worker to enable Install");
    sim::ui::Call(D, whileOpen);
    sim::ui::Close(D);
    dialog.DoModal();
}

TEST_F(RealArchiverTest, PackageReachesOnlyTheThreePathsAndLeavesNothing) {
    MakePackage({{"DriverName.cfg", "[R0]\r\nPrintName1=Receipt Zero\r\n"},
                 {"Ticket/x86/MODEL0.GPD", "gpd"},
                 {"Barcode/Common/THERMAL.chm", "help"},
                 {"Program Files/Vendor/x.txt", "stray"},
                 {"Windows/System32/evil.dll", "stray"},
                 {"autoexec.bat", "stray"},
                 {"Ticketing/also.txt", "stray"}});
    RunDialog([] {
        EXPECT_EQ(DriveC(),
                  (Paths{"Barcode", "Barcode/Common", "Barcode/Common/THERMAL.chm",
                         "DriverName.cfg", "Ticket", "Ticket/x86", "Ticket/x86/MODEL0.GPD"}));
        EXPECT_FALSE(Exists("C:\\Windows\\System32\\evil.dll"));
        EXPECT_EQ(sim::ui::Control(D, IDC_DRIVER_COMBO)->items,
                  (std::vector<std::string>{"Receipt Zero"}));
    });
    EXPECT_EQ(DriveC(), Paths{});
    EXPECT_FALSE(Exists("C:\\Windows\\System32\\evil.dll"));
}

TEST_F(RealArchiverTest, LinksAndFilesAtThePlacedPathsGoThemselves) {
    WriteFile("C:\\Victim\\x86\\MODEL0.GPD", "the victim's");
    ASSERT_TRUE(sim::UserMakeLink("C:\\Ticket", "C:\\Victim"));
    ASSERT_TRUE(sim::UserWriteFile("C:\\DriverName.cfg", "[Old]\r\nPrintName1=Old Name\r\n"));
    MakePackage(
        {{"DriverName.cfg", "[New]\r\nPrintName1=New Name\r\n"}, {"Ticket/x86/MODEL0.GPD", "new"}});
    ArchiveExtractor extractor;
    EXPECT_EQ(catalog::UnpackConfined(extractor, kArchive), 2) << extractor.LastOutput();
    EXPECT_EQ(Read("C:\\Ticket\\x86\\MODEL0.GPD"), "new");
    EXPECT_EQ(Read("C:\\Victim\\x86\\MODEL0.GPD"), "the victim's");
    EXPECT_EQ(Read("C:\\DriverName.cfg"), "[New]\r\nPrintName1=New Name\r\n");
    EXPECT_FALSE(Exists(catalog::kStagingDir));
}

// A folder at a placed path that this run did not make may be a standard user's, who can swap
// what lies below it for a junction at any moment: it is never entered, merged into or removed.
TEST_F(RealArchiverTest, FolderThatWasThereIsNeverEnteredAndStopsTheUnpack) {
    WriteFile("C:\\Victim\\MODEL0.GPD", "the victim's");
    ASSERT_TRUE(sim::UserMakeDirectory("C:\\Ticket"));
    ASSERT_TRUE(sim::UserWriteFile("C:\\Ticket\\LOCKED.GPD", "read-only"));
    ASSERT_TRUE(sys::SetFileAttributesA("C:\\Ticket\\LOCKED.GPD", sys::attr::ReadOnly));
    ASSERT_TRUE(sim::UserMakeLink("C:\\Ticket\\x86", "C:\\Victim"));
    MakePackage({{"Ticket/x86/MODEL0.GPD", "new"}, {"DriverName.cfg", "[R]\r\nPrintName1=R\r\n"}});
    const Paths before = DriveC();
    ArchiveExtractor extractor;
    EXPECT_EQ(catalog::UnpackConfined(extractor, kArchive), catalog::kRefused);
    EXPECT_EQ(extractor.Refused(), "C:\\Ticket");
    EXPECT_EQ(Read("C:\\Victim\\MODEL0.GPD"), "the victim's");
    EXPECT_EQ(Read("C:\\Ticket\\LOCKED.GPD"), "read-only");
    EXPECT_EQ(DriveC(), before);
    // The clean-up leaves it too.
    RemoveUnpackedFiles(extractor.Foreign());
    EXPECT_EQ(DriveC(), before);
}

// A killed run leaves its placed trees behind, with the staging folder's access list: only
// administrators may change them, so the next start removes them and unpacks afresh.
TEST_F(RealArchiverTest, AKilledRunsOwnTreesGiveWayToTheNextUnpack) {
    MakePackage({{"Ticket/x86/OLD.GPD", "old"},
                 {"Barcode/Common/THERMAL.chm", "old help"},
                 {"DriverName.cfg", "[Old]\r\nPrintName1=Old\r\n"}});
    ArchiveExtractor killed;
    ASSERT_NE(catalog::UnpackConfined(killed, kArchive), catalog::kRefused);
    ASSERT_FALSE(sim::UserMayWrite("C:\\Ticket\\x86\\OLD.GPD"));
    std::filesystem::remove_all(staging_);  // 7z a adds to an archive that exists
    MakePackage({{"Ticket/x86/NEW.GPD", "new"},
                 {"Barcode/Common/THERMAL.chm", "new help"},
                 {"DriverName.cfg", "[New]\r\nPrintName1=New\r\n"}});
    ArchiveExtractor next;
    EXPECT_NE(catalog::UnpackConfined(next, kArchive), catalog::kRefused) << next.Refused();
    EXPECT_EQ(DriveC(), (Paths{"Barcode", "Barcode/Common", "Barcode/Common/THERMAL.chm",
                               "DriverName.cfg", "Ticket", "Ticket/x86", "Ticket/x86/NEW.GPD"}));
    EXPECT_EQ(Read("C:\\Barcode\\Common\\THERMAL.chm"), "new help");
    EXPECT_TRUE(next.Foreign().empty());
}

TEST_F(RealArchiverTest, RefusalIsShownAndTheUsersFolderOutlivesTheWindow) {
    ASSERT_TRUE(sim::UserMakeDirectory("C:\\Barcode"));
    ASSERT_TRUE(sim::UserWriteFile("C:\\Barcode\\mine.txt", "mine"));
    MakePackage({{"Barcode/Common/THERMAL.chm", "help"},
                 {"DriverName.cfg", "[R0]\r\nPrintName1=Receipt Zero\r\n"}});
    sim::ui::AnswerMessageBox("C:\\Barcode already exists", ui::id::Ok);
    RunDialog([] {
        EXPECT_EQ(DriveC(), (Paths{"Barcode", "Barcode/mine.txt"}));
        EXPECT_TRUE(sim::ui::Control(D, IDC_DRIVER_COMBO)->items.empty());
    });
    EXPECT_EQ(DriveC(), (Paths{"Barcode", "Barcode/mine.txt"}));
    ASSERT_EQ(sim::ui::MessageBoxes().size(), 1u);
    EXPECT_NE(sim::ui::MessageBoxes()[0].text.find("Delete C:\\Barcode,"), std::string::npos);
}

TEST_F(RealArchiverTest, PathsOfTheWrongKindAreNotPlaced) {
    MakePackage({{"Ticket", "a file where a folder belongs"},
                 {"DriverName.cfg/inside.txt", "a folder where the catalogue belongs"},
                 {"Barcode/Common/THERMAL.chm", "help"}});
    ArchiveExtractor extractor;
    catalog::UnpackConfined(extractor, kArchive);
    EXPECT_EQ(DriveC(), (Paths{"Barcode", "Barcode/Common", "Barcode/Common/THERMAL.chm"}));
}

// Left by a killed run or planted: removed first, so nothing of it is ever placed.
TEST_F(RealArchiverTest, LeftoverStagingFolderIsNeverPlaced) {
    WriteFile(std::string(catalog::kStagingDir) + "\\Ticket\\x86\\PLANTED.GPD", "planted");
    WriteFile(std::string(catalog::kStagingDir) + "\\DriverName.cfg", "[P]\r\nPrintName1=P\r\n");
    MakePackage({{"Barcode/Common/THERMAL.chm", "help"}});
    ArchiveExtractor extractor;
    EXPECT_NE(catalog::UnpackConfined(extractor, kArchive), catalog::kRefused);
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(Exists("C:\\Barcode\\Common\\THERMAL.chm"));
    EXPECT_FALSE(Exists(catalog::kStagingDir));
}

// While the window is open, and at the moment the unpacked trees are moved into place, a
// standard user tries to plant a module the installer would copy into the system directory.
TEST_F(RealArchiverTest, NoStandardUserCanChangeWhatIsUnpacked) {
    MakePackage({{"Ticket/x86/MODEL0.GPD", "gpd"},
                 {"Barcode/x86/LBMON.DLL", "monitor"},
                 {"DriverName.cfg", "[R0]\r\nPrintName1=Receipt Zero\r\n"}});
    const std::string staging = catalog::kStagingDir;
    const std::vector<std::string> attempts = {
        staging + "\\Barcode\\x86\\LBMON.DLL", staging + "\\Barcode\\x86\\MORE.DLL",
        staging + "\\Ticket\\x86\\MODEL0.GPD", staging + "\\DriverName.cfg",
        staging + "\\Barcode\\x64"};
    std::vector<std::string> planted;
    sim::BeforeCall("MoveFileA", 1, [&] {
        for (const auto& path : attempts) {
            if (sim::UserWriteFile(path, "planted")) {
                planted.push_back(path);
            }
        }
    });
    ArchiveExtractor extractor;
    ASSERT_EQ(catalog::UnpackConfined(extractor, kArchive), 2) << extractor.LastOutput();
    for (const char* path : {"C:\\Barcode\\x86\\LBMON.DLL", "C:\\Barcode\\x86\\MORE.DLL",
                             "C:\\Ticket\\x86\\MODEL0.GPD", "C:\\Ticket\\x86\\NEW.GPD",
                             "C:\\DriverName.cfg", "C:\\Barcode\\x64"}) {
        if (sim::UserWriteFile(path, "planted")) {
            planted.push_back(path);
        }
    }
    EXPECT_EQ(planted, std::vector<std::string>{});
    EXPECT_EQ(Read("C:\\Barcode\\x86\\LBMON.DLL"), "monitor");
    EXPECT_EQ(Read("C:\\Ticket\\x86\\MODEL0.GPD"), "gpd");
}

// Judged from the staging folder the link stays inside it; moved one level up it would reach
// C:\Windows, from where the installer would copy the file into the driver directory.
TEST_F(RealArchiverTest, PackageHoldingALinkIsRefusedWhole) {
    WriteFile("C:\\Windows\\System32\\config\\SECRET", "secret");
    MakePackage({{"Ticket/x86/MODEL1.GPD", "gpd"}, {"DriverName.cfg", "[R]\r\nPrintName1=R\r\n"}},
                {{"Ticket/x86/MODEL0.GPD", "../../Windows/System32/config/SECRET"}});
    ArchiveExtractor extractor;
    EXPECT_EQ(catalog::UnpackConfined(extractor, kArchive), 0) << extractor.LastOutput();
    EXPECT_FALSE(Exists("C:\\Ticket\\x86\\MODEL0.GPD"));
    EXPECT_EQ(DriveC(), Paths{});
    EXPECT_EQ(Read("C:\\Windows\\System32\\config\\SECRET"), "secret");
}

TEST_F(RealArchiverTest, BrokenPackagesPlaceNothingAndLeaveNoFolder) {
    WriteFile("C:\\pkg\\7-zip32.dll", "MZ");
    ArchiveExtractor extractor;
    EXPECT_EQ(catalog::UnpackConfined(extractor, kArchive), 0);  // no package
    EXPECT_EQ(DriveC(), Paths{});
    WriteFile(kArchive, std::string(3000, 'Z'));  // not an archive
    EXPECT_EQ(catalog::UnpackConfined(extractor, kArchive), 0) << extractor.LastOutput();
    EXPECT_FALSE(Exists("C:\\Ticket\\x86\\MODEL0.GPD"));
    EXPECT_EQ(DriveC(), Paths{});
    // The folder cannot be made: nothing is extracted at all.
    MakePackage({{"DriverName.cfg", "[R0]\r\nPrintName1=R\r\n"}});
    sim::FailCall("CreateDirectoryA", sys::err::AccessDenied);
    EXPECT_EQ(catalog::UnpackConfined(extractor, kArchive), 0) << extractor.LastOutput();
    EXPECT_FALSE(Exists("C:\\Ticket\\x86\\MODEL0.GPD"));
    EXPECT_EQ(DriveC(), Paths{});
}

#endif  // HAVE_SEVENZIP_SIM

}  // namespace
