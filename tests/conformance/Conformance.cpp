// Back-end detection, the per-case fixture and the test-only file helpers of the conformance cases.
#include "tests/conformance/Conformance.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Files.h"
#include "platform/Library.h"

#ifndef _WIN32
#include "platform/sim/Sim.h"
#include "platform/sim/SimUi.h"
#endif

namespace conformance {

bool OnSim() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

bool OnWine() {
    if (OnSim()) {
        return false;
    }
    sys::ModuleHandle ntdll = sys::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && sys::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool SkipWineDifferences() {
    // CONFORMANCE_WINE_DIFFERS=run runs those cases too, to see whether a newer Wine still differs.
    const char* run = std::getenv("CONFORMANCE_WINE_DIFFERS");
    return OnWine() && (run == nullptr || std::string(run) != "run");
}

namespace {

// The path the C runtime opens for a Win32 path the calls see.
std::string RuntimePath(const std::string& windowsPath) {
#ifdef _WIN32
    return windowsPath;
#else
    return sim::HostPath(windowsPath);
#endif
}

#ifdef _WIN32
std::string ScratchBase() {
    const char* temp = std::getenv("TEMP");
    return temp != nullptr && *temp != '\0' ? std::string(temp) : sys::GetCurrentDirectoryA();
}
#endif

}  // namespace

void Test::SetUp() {
#ifndef _WIN32
    sim::Reset();
    sim::ui::Reset();
    scratch_ = "C:\\scratch";
#else
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch_ = ScratchBase() + "\\conformance-" + info->test_suite_name() + "-" + info->name();
    RemoveTree(scratch_);  // left by an earlier run that died
#endif
    ASSERT_TRUE(sys::CreateDirectoryA(scratch_))
        << "cannot create " << scratch_ << ": error " << sys::GetLastError();
}

void Test::TearDown() {
    RemoveTree(scratch_);
#ifndef _WIN32
    for (const auto& failure : sim::ui::Failures()) {
        ADD_FAILURE() << "window layer: " << failure;
    }
#endif
}

bool WriteFile(const std::string& windowsPath, const std::string& content) {
    std::ofstream out(RuntimePath(windowsPath), std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

std::optional<std::string> ReadFile(const std::string& windowsPath) {
    std::ifstream in(RuntimePath(windowsPath), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RemoveTree(const std::string& windowsPath) {
    const sys::Dword attributes = sys::GetFileAttributesA(windowsPath);
    if (attributes == sys::attr::Invalid) {
        return;
    }
    if ((attributes & sys::attr::ReadOnly) != 0) {
        sys::SetFileAttributesA(windowsPath, attributes & ~sys::attr::ReadOnly);
    }
    if ((attributes & sys::attr::Directory) == 0) {
        sys::DeleteFileA(windowsPath);
        return;
    }
    if ((attributes & sys::attr::ReparsePoint) == 0) {
        sys::FileSearch search;
        sys::FindData entry;
        for (bool more = search.First(windowsPath + "\\*", entry); more;
             more = search.Next(entry)) {
            if (entry.name != "." && entry.name != "..") {
                RemoveTree(windowsPath + "\\" + entry.name);
            }
        }
    }
    sys::RemoveDirectoryA(windowsPath);
}

void UserWaits([[maybe_unused]] int dialog, [[maybe_unused]] unsigned milliseconds) {
#ifndef _WIN32
    sim::ui::AdvanceClock(dialog, milliseconds);
#endif
}

}  // namespace conformance
