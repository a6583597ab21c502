// Loads 7-zip32.dll the way the installer does and runs one extraction; for checks under Wine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/sevenzip/SevenZipApi.h"

namespace {

int g_callbacks = 0;
int g_runningSeen = 0;
SevenZipGetRunningFn g_getRunning = nullptr;

int SYS_WINAPI Progress(sys::WindowHandle, unsigned message, unsigned, void* info) {
    const auto* progress = static_cast<const sevenzip::ProgressInfo*>(info);
    if (message == sevenzip::kProgressMessage && progress->structSize == sizeof(*progress)) {
        ++g_callbacks;
    }
    g_runningSeen += g_getRunning() ? 1 : 0;
    return TRUE;
}

// FARPROC has no parameters; going through void(*)() keeps -Wcast-function-type quiet.
template <typename Fn>
Fn Lookup(HMODULE dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

}  // namespace

// Usage: sevenzip_check <archive> <destination>
// Prints "result=<n> callbacks=<n> running=<n> after=<n>" and the summary; exits with the result.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sevenzip_check <archive> <destination>\n");
        return 100;
    }
    HMODULE dll = LoadLibraryA("7-zip32.dll");
    if (!dll) {
        std::printf("LoadLibraryA failed: %lu\n", GetLastError());
        return 101;
    }
    auto sevenZip = Lookup<SevenZipFn>(dll, "SevenZip");
    auto setOwner = Lookup<SevenZipSetOwnerWindowExFn>(dll, "SevenZipSetOwnerWindowEx");
    auto killOwner = Lookup<SevenZipKillOwnerWindowExFn>(dll, "SevenZipKillOwnerWindowEx");
    g_getRunning = Lookup<SevenZipGetRunningFn>(dll, "SevenZipGetRunning");
    if (!sevenZip || !setOwner || !killOwner || !g_getRunning) {
        std::printf("an entry point is missing\n");
        return 102;
    }
    HWND owner = GetDesktopWindow();
    setOwner(owner, &Progress);
    const std::string command = std::string("x -y \"") + argv[1] + "\" -o\"" + argv[2] + "\" -hide";
    static char output[16385];
    const int result = sevenZip(owner, command.c_str(), output, 16384);
    killOwner(owner);
    std::printf("result=%d callbacks=%d running=%d after=%d\n%s\n", result, g_callbacks,
                g_runningSeen, g_getRunning(), output);
    FreeLibrary(dll);
    return result;
}
