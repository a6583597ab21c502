// Wrapper of the outside archiver DLL (7-zip32.dll) that unpacks the driver package.
#pragma once

#include <set>
#include <string>

#include "platform/Library.h"
#include "platform/Types.h"

namespace catalog {

class ArchiveExtractor {
  public:
    // The archiver's entry points, as the DLL exports them.
    using ProgressProc = int(SYS_WINAPI*)(void* owner, unsigned message, unsigned state,
                                          void* info);
    using SevenZipFn = int(SYS_WINAPI*)(void* owner, const char* commandLine, char* output,
                                        sys::Dword outputSize);
    using SetOwnerFn = int(SYS_WINAPI*)(void* owner, ProgressProc progress);
    using KillOwnerFn = int(SYS_WINAPI*)(void* owner);
    using GetRunningFn = int(SYS_WINAPI*)();

    static constexpr const char* kDllName = "7-zip32.dll";
    static constexpr int kFaultResult = 100;  // what a fault inside the archiver counts as

    ArchiveExtractor() = default;
    virtual ~ArchiveExtractor();
    ArchiveExtractor(const ArchiveExtractor&) = delete;
    ArchiveExtractor& operator=(const ArchiveExtractor&) = delete;

    bool Load();
    int Extract(const std::string& archivePath, const std::string& destination);  // 2 or 0
    void Unload();
    bool Loaded() const { return module_ != nullptr; }
    void SetOwnerWindow(sys::WindowHandle owner) { owner_ = owner; }
    const std::string& LastOutput() const { return output_; }
    // Of the last UnpackConfined: the paths it found taken (lower case), not the installer's to
    // remove, and the first of them when it refused.
    const std::set<std::string>& Foreign() const { return foreign_; }
    const std::string& Refused() const { return refused_; }

  private:
    sys::ModuleHandle module_ = nullptr;
    SevenZipFn sevenZip_ = nullptr;
    SetOwnerFn setOwnerWindow_ = nullptr;
    KillOwnerFn killOwnerWindow_ = nullptr;
    GetRunningFn getRunning_ = nullptr;
    sys::WindowHandle owner_ = nullptr;
    std::string output_;
    std::set<std::string> foreign_;
    std::string refused_;
    friend int UnpackConfined(ArchiveExtractor& extractor, const std::string& archivePath);
};

// The private folder on drive C the driver package is unpacked into.
constexpr const char* kStagingDir = "C:\\DriverSetup.unpack";

// What UnpackConfined gives when a path it must create was already taken by a folder it did not
// make this run (or a file or link it could not remove): nothing was unpacked or changed.
constexpr int kRefused = -1;

// Unpacks the package into kStagingDir, made so that only administrators may write it, then
// moves only C:\Ticket, C:\Barcode and C:\DriverName.cfg into place, and removes the folder with
// whatever else the package held. A link or file at those paths is removed first, never
// followed; a folder there makes it refuse. Returns what Extract returned, or kRefused.
int UnpackConfined(ArchiveExtractor& extractor, const std::string& archivePath);
std::string LowerPath(std::string path);
// The box that tells the user why nothing was unpacked.
std::string RefusalText(const std::string& path);

}  // namespace catalog
