// localport.exe: adds ports of the local port monitor without its dialog, for the Wine
// end-to-end tests (USB001 and the like stand for the ports a USB printer gives).
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::wstring Wide(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    return wide;
}

class Xcv {
  public:
    Xcv() {
        PRINTER_DEFAULTSA defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
        char name[] = ",XcvMonitor Local Port";
        if (!OpenPrinterA(name, &handle_, &defaults)) {
            handle_ = nullptr;
        }
    }
    ~Xcv() {
        if (handle_ != nullptr) {
            ClosePrinter(handle_);
        }
    }
    Xcv(const Xcv&) = delete;
    Xcv& operator=(const Xcv&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != "add") {
        std::fputs("usage: localport add <port name>...\n", stderr);
        return kUsage;
    }
    Xcv xcv;
    if (xcv.get() == nullptr) {
        std::fprintf(stderr, "OpenPrinterA(\",XcvMonitor Local Port\") failed: %lu\n",
                     GetLastError());
        return kFailed;
    }
    int rc = kOk;
    for (int i = 2; i < argc; ++i) {
        std::wstring port = Wide(argv[i]);
        DWORD needed = 0;
        DWORD status = 0;
        const BOOL ok = XcvDataW(xcv.get(), L"AddPort", reinterpret_cast<BYTE*>(port.data()),
                                 static_cast<DWORD>(port.size() * sizeof(wchar_t)), nullptr, 0,
                                 &needed, &status);
        if (!ok || status != ERROR_SUCCESS) {
            std::fprintf(stderr, "AddPort %s failed: %lu, status %lu\n", argv[i],
                         ok ? 0UL : GetLastError(), status);
            rc = kFailed;
        }
    }
    return rc;
}
