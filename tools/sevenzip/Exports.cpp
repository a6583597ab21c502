// The four entry points of 7-zip32.dll: owner registrations, the running flag, and the call.
#include <atomic>
#include <map>
#include <mutex>
#include <new>

#include "tools/sevenzip/Extractor.h"
#include "tools/sevenzip/SevenZipApi.h"

#if defined(_WIN32) && defined(SEVENZIP_BUILDING_DLL)
#define SEVENZIP_EXPORT __attribute__((dllexport))
#else
#define SEVENZIP_EXPORT
#endif

namespace {

std::mutex g_ownersMutex;
std::map<sys::WindowHandle, SevenZipProgressProc> g_owners;
std::atomic<int> g_running{0};

SevenZipProgressProc ProcFor(sys::WindowHandle owner) {
    std::lock_guard lock(g_ownersMutex);
    auto it = g_owners.find(owner);
    return it == g_owners.end() ? nullptr : it->second;
}

class RunningScope {
  public:
    RunningScope() { ++g_running; }
    ~RunningScope() { --g_running; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;
};

}  // namespace

extern "C" {

SEVENZIP_EXPORT int SYS_WINAPI SevenZip(sys::WindowHandle owner, const char* commandLine,
                                        char* output, sys::Dword outputSize) {
    RunningScope running;
    // Nothing may unwind into the caller, which is not C++.
    try {
        const SevenZipProgressProc proc = ProcFor(owner);
        sevenzip::ProgressFn progress;
        if (proc) {
            progress = [owner, proc](sevenzip::ProgressState state,
                                     const sevenzip::ProgressInfo& info) {
                sevenzip::ProgressInfo copy = info;
                return proc(owner, sevenzip::kProgressMessage, state, &copy) != 0;
            };
        }
        const sevenzip::Outcome outcome =
            commandLine ? sevenzip::RunCommandLine(commandLine, progress)
                        : sevenzip::Outcome{sevenzip::BadCommandLine, "No command line\r\n"};
        sevenzip::CopySummary(outcome.summary, output, outputSize);
        return outcome.result;
    } catch (const std::bad_alloc&) {
        sevenzip::CopySummary("Out of memory\r\n", output, outputSize);
    } catch (...) {
        sevenzip::CopySummary("Internal error\r\n", output, outputSize);
    }
    return sevenzip::InternalError;
}

SEVENZIP_EXPORT int SYS_WINAPI SevenZipSetOwnerWindowEx(sys::WindowHandle owner,
                                                        SevenZipProgressProc proc) {
    try {
        std::lock_guard lock(g_ownersMutex);
        g_owners[owner] = proc;
        return 1;
    } catch (...) {
        return 0;
    }
}

SEVENZIP_EXPORT int SYS_WINAPI SevenZipKillOwnerWindowEx(sys::WindowHandle owner) {
    std::lock_guard lock(g_ownersMutex);
    return g_owners.erase(owner) > 0 ? 1 : 0;
}

SEVENZIP_EXPORT int SYS_WINAPI SevenZipGetRunning(void) {
    return g_running.load() > 0 ? 1 : 0;
}

}  // extern "C"
