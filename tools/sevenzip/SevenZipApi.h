// The exported interface of 7-zip32.dll: entry points, result codes and the progress callback.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace sevenzip {

// Results of SevenZip(); only Ok means every entry was written.
enum Result : int {
    Ok = 0,
    BadCommandLine = 1,
    ArchiveUnreadable = 2,  // missing, not a file, or no permission to read
    CorruptArchive = 3,     // unknown format, damaged or truncated data
    RefusedEntry = 4,       // an entry would land outside the destination or is of a refused kind
    WriteError = 5,
    Cancelled = 6,  // the progress callback returned FALSE
    InternalError = 7,
};

// The progress callback's message and states.
constexpr unsigned kProgressMessage = 0x7A01;
enum ProgressState : unsigned {
    ProgressBegin = 1,  // before the first entry; entryName is the archive path
    ProgressEntry = 2,  // before each entry is written
    ProgressEnd = 3,    // after the last entry, whatever the result
};

// What the callback's info argument points to; valid only during the call.
struct ProgressInfo {
    std::uint32_t structSize;    // sizeof(ProgressInfo), for callers built against older headers
    const char* entryName;       // as stored in the archive
    std::uint64_t entrySize;     // uncompressed size of this entry, 0 when unknown
    std::uint64_t bytesWritten;  // uncompressed bytes written so far, this entry not included
    std::uint64_t archiveRead;   // compressed bytes consumed so far
    std::uint64_t archiveSize;   // size of the archive file
};

}  // namespace sevenzip

extern "C" {

// Returns TRUE to go on, FALSE to cancel the extraction.
typedef int(SYS_WINAPI* SevenZipProgressProc)(sys::WindowHandle owner, unsigned message,
                                              unsigned state, void* info);

typedef int(SYS_WINAPI* SevenZipFn)(sys::WindowHandle owner, const char* commandLine, char* output,
                                    sys::Dword outputSize);
typedef int(SYS_WINAPI* SevenZipSetOwnerWindowExFn)(sys::WindowHandle owner,
                                                    SevenZipProgressProc proc);
typedef int(SYS_WINAPI* SevenZipKillOwnerWindowExFn)(sys::WindowHandle owner);
typedef int(SYS_WINAPI* SevenZipGetRunningFn)(void);

// Runs a command line such as: x -y "<archive>" -o"<dir>" -hide
int SYS_WINAPI SevenZip(sys::WindowHandle owner, const char* commandLine, char* output,
                        sys::Dword outputSize);
// Registers (or replaces) the progress callback for calls made with this owner window.
int SYS_WINAPI SevenZipSetOwnerWindowEx(sys::WindowHandle owner, SevenZipProgressProc proc);
// Removes the owner's registration; FALSE when there was none.
int SYS_WINAPI SevenZipKillOwnerWindowEx(sys::WindowHandle owner);
// TRUE while an extraction is under way in this process.
int SYS_WINAPI SevenZipGetRunning(void);
}
