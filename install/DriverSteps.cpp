// The driver directory, the shown copies and the driver call with its Retry/Cancel box.
#include "install/DriverSteps.h"

#include "catalog/SystemDetect.h"
#include "install/Frontend.h"
#include "install/Installation.h"
#include "platform/Files.h"

namespace install {
namespace {

std::string AskDirectory(const char* environment) {
    std::array<char, 255> buffer{};
    sys::Dword needed = 0;
    sys::GetPrinterDriverDirectoryA(nullptr, environment, 1,
                                    reinterpret_cast<std::uint8_t*>(buffer.data()),
                                    static_cast<sys::Dword>(buffer.size()), &needed);
    buffer.back() = '\0';
    return buffer.data();
}

// The "Failed to add the driver" box; true when the user chose Retry.
bool AskRetryDriver(Frontend& front, sys::Dword error) {
    const std::string text = "Failed to add the driver " + std::to_string(static_cast<int>(error)) +
                             "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
                             "exit and abort installation";
    return front.Box(text, "Error", ui::mb::RetryCancel) == ui::id::Retry;
}

}  // namespace

std::string DriverDirectory(bool x64) {
    std::string directory = AskDirectory(kEnvironmentX86);
    if (x64) {
        directory = AskDirectory(kEnvironmentX64);
    }
    return directory;
}

bool CopyCreating(const std::string& from, const std::string& to) {
    const bool wasThere = sys::GetFileAttributesA(to) != sys::attr::Invalid;
    return sys::CopyFileA(from, to, false) != 0 && !wasThere;
}

bool DriverCopies::Copy(Frontend& front, const std::string& from, const std::string& to) {
    const bool made = CopyCreating(from, to);
    if (made) {
        made_.push_back(to);
    }
    front.ShowStatus(to);
    return made;
}

void DeleteFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        sys::DeleteFileA(path);
    }
}

sys::DRIVER_INFO_3 DriverRecord::Info() {
    sys::DRIVER_INFO_3 info{};
    info.cVersion = catalog::VersionCode() == 4 ? 2 : 3;
    info.pName = name.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = driverPath.data();
    info.pDataFile = dataFile.data();
    info.pConfigFile = configFile.data();
    info.pHelpFile = helpFile.data();
    info.pDependentFiles = dependentFiles;
    info.pMonitorName = monitorName.data();
    info.pDefaultDataType = defaultDataType.data();
    return info;
}

bool AddDriver(Frontend& front, const sys::DRIVER_INFO_3& info,
               const std::vector<std::string>& deleteOrder) {
    const int added = sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles);
    const sys::Dword error = sys::GetLastError();
    // The spooler has its own copies now, or will get them again on a retry.
    DeleteFiles(deleteOrder);
    if (added == 1) {
        return true;
    }
    front.Log("AddPrinterDriverExA failed: " + std::to_string(static_cast<int>(error)));
    if (AskRetryDriver(front, error)) {
        front.SetInstallButton("Reinstall");
        front.SetProgress(0);
    } else {
        front.CloseMainWindow();
    }
    return false;
}

}  // namespace install
