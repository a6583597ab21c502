// The file calls: attributes, deletion, directories, copies, searches, path forms and lengths.
#include <set>
#include <string>

#include "platform/Files.h"
#include "platform/Handle.h"
#include "platform/Serial.h"
#include "tests/conformance/Conformance.h"

namespace {

using conformance::kMarker;
using conformance::ReadFile;
using conformance::WriteFile;

constexpr sys::Dword kArchive = 0x20;
constexpr sys::Dword kFileExists = 80;           // ERROR_FILE_EXISTS
constexpr sys::Dword kNoMoreFiles = 18;          // ERROR_NO_MORE_FILES
constexpr sys::Dword kNotADirectory = 267;       // ERROR_DIRECTORY
constexpr sys::Dword kFilenameExcedRange = 206;  // ERROR_FILENAME_EXCED_RANGE
constexpr size_t kMaxPath = 260;

// The attribute bits of an existing path; false for a missing one, whatever the bits asked.
bool Has(const std::string& path, sys::Dword bits) {
    const sys::Dword attributes = sys::GetFileAttributesA(path);
    return attributes != sys::attr::Invalid && (attributes & bits) == bits;
}

class FileTest : public conformance::Test {
  protected:
    // A failed call: its result is false and it set this error.
    template <class Call>
    static sys::Dword ErrorOf(Call call) {
        sys::SetLastError(kMarker);
        EXPECT_FALSE(call()) << "the call succeeded";
        return sys::GetLastError();
    }
};

TEST_F(FileTest, AttributesOfFilesAndDirectories) {
    ASSERT_TRUE(WriteFile(At("plain.txt"), "p"));
    ASSERT_TRUE(sys::CreateDirectoryA(At("dir")));

    sys::SetLastError(kMarker);
    const sys::Dword file = sys::GetFileAttributesA(At("plain.txt"));
    EXPECT_EQ(sys::GetLastError(), kMarker) << "success changed the last error";
    EXPECT_EQ(file & (sys::attr::Directory | sys::attr::ReadOnly), 0u);
    EXPECT_NE(file & kArchive, 0u) << "a new file is marked for archiving";

    EXPECT_TRUE(Has(At("dir"), sys::attr::Directory));
    EXPECT_FALSE(Has(At("dir"), sys::attr::ReadOnly));
}

TEST_F(FileTest, MissingPathsGiveFileOrPathNotFound) {
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::GetFileAttributesA(At("none.txt")), sys::attr::Invalid);
    EXPECT_EQ(sys::GetLastError(), sys::err::FileNotFound);
    // A missing directory on the way is ERROR_PATH_NOT_FOUND.
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::GetFileAttributesA(At("nodir\\none.txt")), sys::attr::Invalid);
    EXPECT_EQ(sys::GetLastError(), sys::err::PathNotFound);

    EXPECT_EQ(ErrorOf([&] { return sys::DeleteFileA(At("none.txt")); }), sys::err::FileNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::DeleteFileA(At("nodir\\none.txt")); }),
              sys::err::PathNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::SetFileAttributesA(At("none.txt"), sys::attr::Normal); }),
              sys::err::FileNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::RemoveDirectoryA(At("none")); }), sys::err::FileNotFound);
}

TEST_F(FileTest, NamesAreCaseInsensitiveAndEitherSlashSeparates) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("Sub")));
    ASSERT_TRUE(WriteFile(At("Sub\\Mixed.TXT"), "m"));
    EXPECT_NE(sys::GetFileAttributesA(At("sub\\mixed.txt")), sys::attr::Invalid);
    EXPECT_NE(sys::GetFileAttributesA(Scratch() + "/SUB/MIXED.txt"), sys::attr::Invalid);
    EXPECT_TRUE(sys::DeleteFileA(At("SUB\\mixed.txt")));
    EXPECT_EQ(sys::GetFileAttributesA(At("Sub\\Mixed.TXT")), sys::attr::Invalid);
}

TEST_F(FileTest, ReadOnlyFileCannotBeDeletedUntilCleared) {
    ASSERT_TRUE(WriteFile(At("locked.txt"), "r"));
    ASSERT_TRUE(sys::SetFileAttributesA(At("locked.txt"), sys::attr::ReadOnly));
    EXPECT_TRUE(Has(At("locked.txt"), sys::attr::ReadOnly));

    EXPECT_EQ(ErrorOf([&] { return sys::DeleteFileA(At("locked.txt")); }), sys::err::AccessDenied);
    EXPECT_NE(sys::GetFileAttributesA(At("locked.txt")), sys::attr::Invalid);

    ASSERT_TRUE(sys::SetFileAttributesA(At("locked.txt"), sys::attr::Normal));
    EXPECT_TRUE(Has(At("locked.txt"), 0));
    EXPECT_FALSE(Has(At("locked.txt"), sys::attr::ReadOnly));
    sys::SetLastError(kMarker);
    EXPECT_TRUE(sys::DeleteFileA(At("locked.txt")));
    EXPECT_EQ(sys::GetLastError(), kMarker) << "success changed the last error";
    EXPECT_EQ(sys::GetFileAttributesA(At("locked.txt")), sys::attr::Invalid);
}

TEST_F(FileTest, DeleteFileRefusesADirectory) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("dir")));
    EXPECT_EQ(ErrorOf([&] { return sys::DeleteFileA(At("dir")); }), sys::err::AccessDenied);
    EXPECT_NE(sys::GetFileAttributesA(At("dir")), sys::attr::Invalid);
}

TEST_F(FileTest, CreateDirectoryErrors) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("dir")));
    ASSERT_TRUE(WriteFile(At("file"), "f"));
    EXPECT_EQ(ErrorOf([&] { return sys::CreateDirectoryA(At("dir")); }), sys::err::AlreadyExists);
    EXPECT_EQ(ErrorOf([&] { return sys::CreateDirectoryA(At("file")); }), sys::err::AlreadyExists);
    EXPECT_EQ(ErrorOf([&] { return sys::CreateDirectoryA(At("nodir\\dir")); }),
              sys::err::PathNotFound);
}

TEST_F(FileTest, RemoveDirectoryOnlyTakesAnEmptyDirectory) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("full")));
    ASSERT_TRUE(WriteFile(At("full\\f.txt"), "f"));
    ASSERT_TRUE(WriteFile(At("file.txt"), "f"));

    EXPECT_EQ(ErrorOf([&] { return sys::RemoveDirectoryA(At("full")); }), sys::err::DirNotEmpty);
    EXPECT_EQ(ErrorOf([&] { return sys::RemoveDirectoryA(At("file.txt")); }), kNotADirectory);

    ASSERT_TRUE(sys::DeleteFileA(At("full\\f.txt")));
    EXPECT_TRUE(sys::RemoveDirectoryA(At("full")));
    EXPECT_EQ(sys::GetFileAttributesA(At("full")), sys::attr::Invalid);
}

// MS-FSCC 2.6, FILE_ATTRIBUTE_READONLY: "For a directory, applications cannot delete it".
TEST_F(FileTest, RemoveDirectoryRefusesAReadOnlyDirectory) {
    WINE_DIFFERS("RemoveDirectoryA removes a read-only directory");
    ASSERT_TRUE(sys::CreateDirectoryA(At("locked")));
    ASSERT_TRUE(sys::SetFileAttributesA(At("locked"), sys::attr::ReadOnly));
    EXPECT_EQ(ErrorOf([&] { return sys::RemoveDirectoryA(At("locked")); }), sys::err::AccessDenied);
    EXPECT_TRUE(Has(At("locked"), sys::attr::Directory));
}

TEST_F(FileTest, CopyFileCopiesContentAndHonoursFailIfExists) {
    ASSERT_TRUE(WriteFile(At("from.txt"), "new content"));
    ASSERT_TRUE(WriteFile(At("to.txt"), "old"));

    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("from.txt"), At("to.txt"), true); }),
              kFileExists);
    EXPECT_EQ(ReadFile(At("to.txt")), "old");

    EXPECT_TRUE(sys::CopyFileA(At("from.txt"), At("to.txt"), false));
    EXPECT_EQ(ReadFile(At("to.txt")), "new content");
    EXPECT_TRUE(sys::CopyFileA(At("from.txt"), At("fresh.txt"), true));
    EXPECT_EQ(ReadFile(At("fresh.txt")), "new content");
    EXPECT_EQ(ReadFile(At("from.txt")), "new content");
}

TEST_F(FileTest, CopyFileErrors) {
    ASSERT_TRUE(WriteFile(At("from.txt"), "f"));
    ASSERT_TRUE(sys::CreateDirectoryA(At("dir")));

    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("none.txt"), At("to.txt"), false); }),
              sys::err::FileNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("from.txt"), At("nodir\\to.txt"), false); }),
              sys::err::PathNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("dir"), At("to.txt"), false); }),
              sys::err::AccessDenied);
}

// CopyFile's documented refusal: a read-only or hidden target gives ERROR_ACCESS_DENIED.
TEST_F(FileTest, CopyFileDoesNotOverwriteAReadOnlyFile) {
    WINE_DIFFERS("CopyFileA overwrites a read-only target");
    ASSERT_TRUE(WriteFile(At("from.txt"), "f"));
    ASSERT_TRUE(WriteFile(At("locked.txt"), "l"));
    ASSERT_TRUE(sys::SetFileAttributesA(At("locked.txt"), sys::attr::ReadOnly));
    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("from.txt"), At("locked.txt"), false); }),
              sys::err::AccessDenied);
    EXPECT_EQ(ReadFile(At("locked.txt")), "l");
}

TEST_F(FileTest, CopyOfAReadOnlyFileIsReadOnly) {
    ASSERT_TRUE(WriteFile(At("from.txt"), "f"));
    ASSERT_TRUE(sys::SetFileAttributesA(At("from.txt"), sys::attr::ReadOnly));
    ASSERT_TRUE(sys::CopyFileA(At("from.txt"), At("to.txt"), true));
    EXPECT_TRUE(Has(At("to.txt"), sys::attr::ReadOnly));
}

// Every name a search returns, with the directory bit of each.
std::set<std::string> Search(const std::string& pattern) {
    std::set<std::string> names;
    sys::FileSearch search;
    sys::FindData entry;
    for (bool more = search.First(pattern, entry); more; more = search.Next(entry)) {
        names.insert(entry.name + ((entry.attributes & sys::attr::Directory) != 0 ? "/" : ""));
    }
    return names;
}

TEST_F(FileTest, SearchPatterns) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("sub")));
    ASSERT_TRUE(WriteFile(At("a.ini"), "a"));
    ASSERT_TRUE(WriteFile(At("B.INI"), "b"));
    ASSERT_TRUE(WriteFile(At("noext"), "n"));

    EXPECT_EQ(Search(At("*")),
              (std::set<std::string>{"./", "../", "sub/", "a.ini", "B.INI", "noext"}));
    // "*.*" also matches names without a dot.
    EXPECT_EQ(Search(At("*.*")), Search(At("*")));
    EXPECT_EQ(Search(At("*.ini")), (std::set<std::string>{"a.ini", "B.INI"}));
    EXPECT_EQ(Search(At("?.ini")), (std::set<std::string>{"a.ini", "B.INI"}));
    EXPECT_EQ(Search(At("sub\\*")), (std::set<std::string>{"./", "../"}));
}

TEST_F(FileTest, SearchFailures) {
    sys::FileSearch search;
    sys::FindData entry;
    sys::SetLastError(kMarker);
    EXPECT_FALSE(search.First(At("*.none"), entry));
    EXPECT_EQ(sys::GetLastError(), sys::err::FileNotFound);
    sys::SetLastError(kMarker);
    EXPECT_FALSE(search.First(At("nodir\\*"), entry));
    EXPECT_EQ(sys::GetLastError(), sys::err::PathNotFound);

    ASSERT_TRUE(WriteFile(At("only.txt"), "o"));
    ASSERT_TRUE(search.First(At("only.txt"), entry));
    EXPECT_EQ(entry.name, "only.txt");
    sys::SetLastError(kMarker);
    EXPECT_FALSE(search.Next(entry));
    EXPECT_EQ(sys::GetLastError(), kNoMoreFiles);
}

// Forms the product never uses: a wildcard in a name to create, copy or query is 123
// (ERROR_INVALID_NAME); a last name loses its trailing dots and blanks; a copy onto itself is 32
// (ERROR_SHARING_VIOLATION), a move onto itself succeeds, also one that changes only the case.
TEST_F(FileTest, WildcardsTrailingDotsAndCallsOntoThemselves) {
    ASSERT_TRUE(WriteFile(At("a.txt"), "a"));
    constexpr sys::Dword kInvalidName = 123;
    EXPECT_EQ(ErrorOf([&] { return sys::CreateDirectoryA(At("w?")); }), kInvalidName);
    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("a.txt"), At("b*.txt"), false); }),
              kInvalidName);
    EXPECT_EQ(ErrorOf([&] { return sys::DeleteFileA(At("a.*")); }), kInvalidName);

    EXPECT_TRUE(sys::CreateDirectoryA(At("dotted.")));
    EXPECT_TRUE(sys::CreateDirectoryA(At("blank ")));
    EXPECT_TRUE(Has(At("a.txt..  "), kArchive));

    EXPECT_EQ(ErrorOf([&] { return sys::CopyFileA(At("a.txt"), At("A.TXT"), false); }), 32u);
    EXPECT_TRUE(sys::MoveFileA(At("a.txt"), At("a.txt")));
    EXPECT_TRUE(sys::MoveFileA(At("a.txt"), At("A.Txt")));
    EXPECT_EQ(Search(At("*")).size(), 5u);  // ".", "..", the two directories and the file
    EXPECT_EQ(ReadFile(At("a.txt")), "a");
}

// An ANSI path longer than MAX_PATH fails before it is looked at, even one that spells an
// existing file the long way round.
TEST_F(FileTest, PathsLongerThanMaxPathFail) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("sub")));
    ASSERT_TRUE(WriteFile(At("short.txt"), "s"));
    std::string roundabout = Scratch();
    while (roundabout.size() <= kMaxPath) {
        roundabout += "\\sub\\..";
    }
    const std::string existing = roundabout + "\\short.txt";
    const std::string missing = At(std::string(kMaxPath + 40, 'x') + "\\file.txt");
    const auto tooLong = [](sys::Dword error) {
        return error == kFilenameExcedRange || error == sys::err::PathNotFound;
    };

    for (const std::string& path : {existing, missing}) {
        SCOPED_TRACE(path == existing ? "an existing file" : "a missing file");
        sys::SetLastError(kMarker);
        EXPECT_EQ(sys::GetFileAttributesA(path), sys::attr::Invalid);
        EXPECT_PRED1(tooLong, sys::GetLastError());
        EXPECT_PRED1(tooLong, ErrorOf([&] { return sys::SetFileAttributesA(path, 0x80); }));
        EXPECT_PRED1(tooLong, ErrorOf([&] { return sys::CopyFileA(path, At("to.txt"), false); }));
        EXPECT_PRED1(tooLong, ErrorOf([&] { return sys::DeleteFileA(path); }));
        sys::FileSearch search;
        sys::FindData entry;
        EXPECT_PRED1(tooLong, ErrorOf([&] { return search.First(path, entry); }));
    }
    EXPECT_TRUE(Has(At("short.txt"), 0)) << "a call went through to the file";
    EXPECT_PRED1(tooLong, ErrorOf([&] { return sys::CreateDirectoryA(roundabout + "\\new"); }));
    EXPECT_PRED1(tooLong, ErrorOf([&] { return sys::RemoveDirectoryA(roundabout + "\\sub"); }));
    EXPECT_PRED1(tooLong, ErrorOf([&] { return sys::CopyFileA(At("short.txt"), missing, false); }));
    EXPECT_FALSE(Has(At("new"), 0));
    EXPECT_TRUE(Has(At("sub"), sys::attr::Directory));
}

TEST_F(FileTest, SystemDirectoryIsInsideTheWindowsDirectory) {
    const std::string windows = sys::GetWindowsDirectoryA();
    const std::string system = sys::GetSystemDirectoryA();
    ASSERT_FALSE(windows.empty());
    ASSERT_GT(system.size(), windows.size());
    EXPECT_EQ(system.substr(0, windows.size() + 1), windows + "\\");
    EXPECT_TRUE(Has(windows, sys::attr::Directory));
    EXPECT_TRUE(Has(system, sys::attr::Directory));
    EXPECT_TRUE(Has(sys::GetCurrentDirectoryA(), sys::attr::Directory));
}

TEST_F(FileTest, AppendFileCreatesThenAppendsAndLeavesTheFileClosed) {
    ASSERT_TRUE(sys::AppendFileA(At("log.txt"), "one\r\n"));
    ASSERT_TRUE(sys::AppendFileA(At("LOG.TXT"), ""));
    ASSERT_TRUE(sys::AppendFileA(At("log.txt"), "two\r\n"));
    EXPECT_EQ(ReadFile(At("log.txt")).value_or("<missing>"), "one\r\ntwo\r\n");
    // Nothing of it stays open: the file can go at once.
    EXPECT_TRUE(sys::DeleteFileA(At("log.txt")));
}

TEST_F(FileTest, AppendFileErrors) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("dir")));
    EXPECT_EQ(ErrorOf([&] { return sys::AppendFileA(At("nodir\\log.txt"), "x"); }),
              sys::err::PathNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::AppendFileA(At("dir"), "x"); }), sys::err::AccessDenied);
}

TEST_F(FileTest, AppendFileRefusesAReadOnlyFile) {
    WINE_DIFFERS("Wine run as root opens a read-only file for writing: root passes the mode check");
    ASSERT_TRUE(WriteFile(At("locked.txt"), "r"));
    ASSERT_TRUE(sys::SetFileAttributesA(At("locked.txt"), sys::attr::ReadOnly));
    EXPECT_EQ(ErrorOf([&] { return sys::AppendFileA(At("locked.txt"), "x"); }),
              sys::err::AccessDenied);
    EXPECT_EQ(ReadFile(At("locked.txt")).value_or("<missing>"), "r");
    ASSERT_TRUE(sys::SetFileAttributesA(At("locked.txt"), sys::attr::Normal));
}

TEST_F(FileTest, TempPathIsADirectoryWithItsTrailingBackslash) {
    const std::string temp = sys::GetTempPathA();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(Has(temp.substr(0, temp.size() - 1), sys::attr::Directory));
}

}  // namespace

namespace {

// The installer's own folders: made with their access list, usable like any other, and never
// made over something already there.
TEST_F(FileTest, ProtectedDirectoryIsMadeOnceAndHoldsFiles) {
    const std::string dir = At("protected");
    sys::SetLastError(kMarker);
    ASSERT_TRUE(sys::CreateProtectedDirectoryA(dir));
    EXPECT_TRUE(Has(dir, sys::attr::Directory));
    EXPECT_EQ(ErrorOf([&] { return sys::CreateProtectedDirectoryA(dir); }),
              sys::err::AlreadyExists);
    ASSERT_TRUE(sys::CreateDirectoryA(dir + "\\inner"));
    ASSERT_TRUE(WriteFile(dir + "\\inner\\file.txt", "f"));
    EXPECT_EQ(ReadFile(dir + "\\inner\\file.txt"), "f");
    ASSERT_TRUE(sys::MoveFileA(dir + "\\inner", At("moved")));
    EXPECT_EQ(ReadFile(At("moved") + "\\file.txt"), "f");
    ASSERT_TRUE(WriteFile(At("plain.txt"), "p"));
    EXPECT_EQ(ErrorOf([&] { return sys::CreateProtectedDirectoryA(At("plain.txt")); }),
              sys::err::AlreadyExists);
    EXPECT_EQ(ErrorOf([&] { return sys::CreateProtectedDirectoryA(At("missing\\dir")); }),
              sys::err::PathNotFound);
    EXPECT_TRUE(sys::DeleteFileA(At("moved") + "\\file.txt"));
    EXPECT_TRUE(sys::RemoveDirectoryA(At("moved")));
    EXPECT_TRUE(sys::RemoveDirectoryA(dir));
}

// What makes a killed run's trees recognisable as its own: the protective list, owned by
// Administrators, kept by a folder moved out of it.
TEST_F(FileTest, ProtectedDirectoryAndWhatMovesOutOfItOnlyAdministratorsMayChange) {
    WINE_DIFFERS(
        "Wine keeps no access list of a folder's own: it reports the Unix user "
        "(S-1-5-21-0-0-0-1000) as the owner and a list made from the mode bits");
    const std::string dir = At("protected");
    ASSERT_TRUE(sys::CreateProtectedDirectoryA(dir));
    ASSERT_TRUE(sys::CreateDirectoryA(dir + "\\inner"));
    ASSERT_TRUE(sys::MoveFileA(dir + "\\inner", At("moved")));
    for (const std::string& path : {dir, At("moved")}) {
        sys::ObjectSecurity security;
        ASSERT_TRUE(sys::GetFileSecurityA(path, security)) << path;
        EXPECT_TRUE(sys::OnlyAdministratorsMayChange(security, sys::kFileChangeRights))
            << path << " owner " << security.owner;
    }
    EXPECT_TRUE(sys::RemoveDirectoryA(At("moved")));
    EXPECT_TRUE(sys::RemoveDirectoryA(dir));
}

// A folder made without a list of its own is not so protected; a missing one has none.
TEST_F(FileTest, PlainDirectoryOthersMayChangeAndAMissingOneHasNoSecurity) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("plain")));
    sys::ObjectSecurity security;
    ASSERT_TRUE(sys::GetFileSecurityA(At("plain"), security));
    EXPECT_FALSE(security.owner.empty());
    EXPECT_FALSE(sys::OnlyAdministratorsMayChange(security, sys::kFileChangeRights))
        << "owner " << security.owner;
    EXPECT_EQ(ErrorOf([&] { return sys::GetFileSecurityA(At("missing"), security); }),
              sys::err::FileNotFound);
    EXPECT_EQ(ErrorOf([&] { return sys::GetFileSecurityA(At("missing\\plain"), security); }),
              sys::err::PathNotFound);
    EXPECT_TRUE(sys::RemoveDirectoryA(At("plain")));
}

}  // namespace

namespace {

// The clean-up's hold on an entry: by its own name, judged by its handle, deleted through a
// hold with delete access, and not to be renamed or deleted by anyone else meanwhile.
sys::Handle Hold(const std::string& path, sys::Dword access = sys::hold::Access) {
    void* opened = sys::CreateFileA(path.c_str(), access, sys::hold::Share, nullptr,
                                    sys::hold::OpenExisting, sys::hold::Flags, nullptr);
    return sys::Handle(opened == sys::InvalidHandleValue() ? nullptr : opened);
}

TEST_F(FileTest, HeldEntryIsJudgedAndDeletedThroughItsHandle) {
    ASSERT_TRUE(sys::CreateDirectoryA(At("tree")));
    ASSERT_TRUE(WriteFile(At("tree\\file.txt"), "f"));
    ASSERT_TRUE(WriteFile(At("tree\\locked.txt"), "l"));
    ASSERT_TRUE(sys::SetFileAttributesA(At("tree\\locked.txt"), sys::attr::ReadOnly));
    sys::Handle tree = Hold(At("tree"));
    ASSERT_TRUE(tree);
    sys::Dword attributes = 0;
    ASSERT_TRUE(sys::GetFileInformationByHandle(tree.Get(), &attributes));
    EXPECT_EQ(attributes & (sys::attr::Directory | sys::attr::ReparsePoint), sys::attr::Directory);
    // Held: no rename of it, no hold with delete access beside it.
    EXPECT_EQ(ErrorOf([&] { return sys::MoveFileA(At("tree"), At("moved")); }), 32u);
    sys::SetLastError(kMarker);
    EXPECT_FALSE(Hold(At("tree"), sys::hold::DeleteAccess));
    EXPECT_EQ(sys::GetLastError(), 32u);
    tree.Close();
    // Not empty: 145. A read-only file refuses; a plain one goes.
    tree = Hold(At("tree"), sys::hold::DeleteAccess);
    EXPECT_EQ(ErrorOf([&] { return sys::SetFileDispositionByHandle(tree.Get(), true); }), 145u);
    sys::Handle locked = Hold(At("tree\\locked.txt"), sys::hold::DeleteAccess);
    EXPECT_EQ(ErrorOf([&] { return sys::SetFileDispositionByHandle(locked.Get(), true); }),
              sys::err::AccessDenied);
    locked.Close();
    sys::Handle file = Hold(At("tree\\file.txt"), sys::hold::DeleteAccess);
    ASSERT_TRUE(sys::GetFileInformationByHandle(file.Get(), &attributes));
    EXPECT_EQ(attributes & sys::attr::Directory, 0u);
    EXPECT_TRUE(sys::SetFileDispositionByHandle(file.Get(), true));
    file.Close();
    EXPECT_FALSE(Has(At("tree\\file.txt"), 0));
    ASSERT_TRUE(sys::SetFileAttributesA(At("tree\\locked.txt"), sys::attr::Normal));
    ASSERT_TRUE(sys::DeleteFileA(At("tree\\locked.txt")));
    EXPECT_TRUE(sys::SetFileDispositionByHandle(tree.Get(), true));
    tree.Close();
    EXPECT_FALSE(Has(At("tree"), 0));
    sys::SetLastError(kMarker);
    EXPECT_FALSE(Hold(At("tree")));
    EXPECT_EQ(sys::GetLastError(), sys::err::FileNotFound);
}

// The clean-up's walk: a held folder is listed and emptied through holds on its entries.
TEST_F(FileTest, HeldFolderIsListedAndEmptiedThroughHolds) {
    ASSERT_TRUE(sys::CreateProtectedDirectoryA(At("tree")));
    ASSERT_TRUE(sys::CreateDirectoryA(At("tree\\sub")));
    ASSERT_TRUE(WriteFile(At("tree\\sub\\file.txt"), "f"));
    sys::Handle tree = Hold(At("tree"));
    ASSERT_TRUE(tree) << sys::GetLastError();
    sys::FileSearch search;
    sys::FindData entry;
    ASSERT_TRUE(search.First(At("tree") + "//*.*", entry)) << sys::GetLastError();
    sys::Handle sub = Hold(At("tree") + "//sub");
    ASSERT_TRUE(sub) << sys::GetLastError();
    sys::FileSearch inner;
    ASSERT_TRUE(inner.First(At("tree") + "//sub//*.*", entry)) << sys::GetLastError();
    sys::Handle file = Hold(At("tree") + "//sub//file.txt", sys::hold::DeleteAccess);
    EXPECT_TRUE(sys::SetFileDispositionByHandle(file.Get(), true)) << sys::GetLastError();
    file.Close();
    inner.Close();
    sub.Close();
    sub = Hold(At("tree") + "//sub", sys::hold::DeleteAccess);
    EXPECT_TRUE(sys::SetFileDispositionByHandle(sub.Get(), true)) << sys::GetLastError();
    sub.Close();
    search.Close();
    tree.Close();
    tree = Hold(At("tree"), sys::hold::DeleteAccess);
    EXPECT_TRUE(sys::SetFileDispositionByHandle(tree.Get(), true)) << sys::GetLastError();
    tree.Close();
    EXPECT_FALSE(Has(At("tree"), 0));
}

}  // namespace
