// Loads the archiver DLL from the program's folder and runs one extraction through it.
#include "catalog/ArchiveExtractor.h"

#include <cstdio>
#include <vector>

#include "platform/Clock.h"
#include "platform/Files.h"

namespace catalog {
namespace {

constexpr sys::Dword kOutputSize = 16384;
constexpr size_t kCommandSize = 1024;

int SYS_WINAPI Progress(void*, unsigned, unsigned, void*) {
    return 1;
}

template <class Fn>
Fn Lookup(sys::ModuleHandle module, const char* name) {
    return reinterpret_cast<Fn>(sys::GetProcAddress(module, name));
}

}  // namespace

ArchiveExtractor::~ArchiveExtractor() {
    Unload();
}

bool ArchiveExtractor::Load() {
    Unload();
    // By full path from the program's own folder: by its bare name the search would take a copy
    // a standard user planted in the current directory or a folder on PATH.
    const std::string folder = sys::GetProgramDirectoryA();
    if (folder.empty()) {
        return false;
    }
    module_ = sys::LoadLibraryA(folder + "\\" + kDllName);
    if (module_ == nullptr) {
        return false;
    }
    sevenZip_ = Lookup<SevenZipFn>(module_, "SevenZip");
    setOwnerWindow_ = Lookup<SetOwnerFn>(module_, "SevenZipSetOwnerWindowEx");
    killOwnerWindow_ = Lookup<KillOwnerFn>(module_, "SevenZipKillOwnerWindowEx");
    getRunning_ = Lookup<GetRunningFn>(module_, "SevenZipGetRunning");
    return true;
}

void ArchiveExtractor::Unload() {
    if (module_ != nullptr) {
        sys::FreeLibrary(module_);
    }
    module_ = nullptr;
    sevenZip_ = nullptr;
    setOwnerWindow_ = nullptr;
    killOwnerWindow_ = nullptr;
    getRunning_ = nullptr;
}

int ArchiveExtractor::Extract(const std::string& archivePath, const std::string& destination) {
    Load();
    sys::Sleep(10);
    // A DLL without the main entry point cannot extract anything.
    if (module_ == nullptr || sevenZip_ == nullptr) {
        return 0;
    }
    if (sys::GetFileAttributesA(archivePath) == sys::attr::Invalid) {
        return 0;
    }
    std::vector<char> output(kOutputSize + 1, '\0');
    std::vector<char> command(kCommandSize, '\0');
    const int length = std::snprintf(command.data(), command.size(), "x -y \"%s\" -o\"%s\" -hide",
                                     archivePath.c_str(), destination.c_str());
    // A cut command line would name another archive or destination: refuse it.
    if (length < 0 || static_cast<size_t>(length) >= command.size()) {
        return 0;
    }
    if (setOwnerWindow_ != nullptr) {
        setOwnerWindow_(owner_, &Progress);
    }
    sys::Sleep(100);
    int result = kFaultResult;
    if (!sys::CallGuarded(
            [&] { result = sevenZip_(owner_, command.data(), output.data(), kOutputSize); })) {
        result = kFaultResult;
    }
    if (killOwnerWindow_ != nullptr) {
        killOwnerWindow_(owner_);
    }
    output_.assign(output.data());
    sys::Sleep(10);
    return result == 0 ? 2 : 0;
}

}  // namespace catalog
