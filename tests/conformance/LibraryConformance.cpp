// The DLL search: what SetDefaultDllDirectories takes and what it keeps out, and system DLLs
// loaded from the system directory only.
#include <string>

#include "platform/Files.h"
#include "platform/Library.h"
#include "tests/conformance/Conformance.h"

namespace {

using conformance::kMarker;

// A file named like a DLL that is none: found, loading it fails with 193 (ERROR_BAD_EXE_FORMAT);
// not found, with 126. So the search is seen without a DLL of our own.
class LibraryTest : public conformance::Test {
  protected:
    void SetUp() override {
        conformance::Test::SetUp();
        ASSERT_FALSE(sys::GetProgramDirectoryA().empty());
        ASSERT_TRUE(conformance::WriteFile(Planted(), "not a program image"));
    }
    void TearDown() override {
        sys::DeleteFileA(Planted());
        // What the process searched before cannot come back; these are the defaults Wine's own
        // tests leave behind.
        sys::SetDefaultDllDirectories(sys::dlldir::DefaultDirs);
        conformance::Test::TearDown();
    }
    static std::string Planted() { return sys::GetProgramDirectoryA() + "\\" + kPlanted; }
    static sys::Dword LoadError(const std::string& name, bool system = false) {
        sys::SetLastError(kMarker);
        const sys::ModuleHandle module =
            system ? sys::LoadSystemLibraryA(name) : sys::LoadLibraryA(name);
        EXPECT_EQ(module, nullptr) << name << " was loaded";
        return sys::GetLastError();
    }
    static constexpr const char* kPlanted = "planted-conformance.dll";
};

TEST_F(LibraryTest, SetDefaultDllDirectoriesTakesOnlyTheSearchFlags) {
    for (const sys::Dword flags :
         {sys::Dword{0}, sys::Dword{3}, sys::dlldir::ApplicationDir | 0x8000u}) {
        sys::SetLastError(kMarker);
        EXPECT_FALSE(sys::SetDefaultDllDirectories(flags)) << flags;
        EXPECT_EQ(sys::GetLastError(), sys::err::InvalidParameter) << flags;
    }
    sys::SetLastError(kMarker);
    EXPECT_TRUE(sys::SetDefaultDllDirectories(sys::dlldir::DefaultDirs));
    EXPECT_EQ(sys::GetLastError(), kMarker) << "success changed the last error";
}

TEST_F(LibraryTest, SystemDirectoryOnlyKeepsTheProgramsFolderOut) {
    // The standard order finds it beside the program; so does the application directory.
    EXPECT_EQ(LoadError(kPlanted), sys::err::BadExeFormat);
    ASSERT_TRUE(sys::SetDefaultDllDirectories(sys::dlldir::ApplicationDir));
    EXPECT_EQ(LoadError(kPlanted), sys::err::BadExeFormat);
    ASSERT_TRUE(sys::SetDefaultDllDirectories(sys::dlldir::System32));
    EXPECT_EQ(LoadError(kPlanted), sys::err::ModNotFound);
    // A full path is still what it names.
    EXPECT_EQ(LoadError(Planted()), sys::err::BadExeFormat);
    const sys::ModuleHandle kernel = sys::LoadLibraryA("kernel32.dll");
    EXPECT_NE(kernel, nullptr);
    EXPECT_TRUE(sys::FreeLibrary(kernel));
}

TEST_F(LibraryTest, SystemLibraryComesFromTheSystemDirectoryOnly) {
    EXPECT_EQ(LoadError(kPlanted, true), sys::err::ModNotFound);
    const sys::ModuleHandle kernel = sys::LoadSystemLibraryA("kernel32.dll");
    ASSERT_NE(kernel, nullptr) << sys::GetLastError();
    EXPECT_NE(sys::GetProcAddress(kernel, "IsWow64Process"), nullptr);
    EXPECT_TRUE(sys::FreeLibrary(kernel));
}

}  // namespace
