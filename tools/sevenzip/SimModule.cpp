// The simulated platform's 7-zip32.dll: the same entry points, with Windows paths mapped onto
// the host directory standing for drive C.
#include "tools/sevenzip/SimModule.h"

#include "platform/sim/Sim.h"
#include "tools/sevenzip/Extractor.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip {

void RegisterSimModule() {
    sim::Module module;
    module.exports = {
        {"SevenZip", reinterpret_cast<sys::ProcAddress>(&::SevenZip)},
        {"SevenZipSetOwnerWindowEx",
         reinterpret_cast<sys::ProcAddress>(&::SevenZipSetOwnerWindowEx)},
        {"SevenZipKillOwnerWindowEx",
         reinterpret_cast<sys::ProcAddress>(&::SevenZipKillOwnerWindowEx)},
        {"SevenZipGetRunning", reinterpret_cast<sys::ProcAddress>(&::SevenZipGetRunning)},
    };
    module.onLoad = [] {
        SetPathResolver([](const std::string& path) { return sim::HostPath(path); });
    };
    module.onUnload = [] { SetPathResolver({}); };
    sim::RegisterModule("7-zip32.dll", std::move(module));
}

}  // namespace sevenzip
