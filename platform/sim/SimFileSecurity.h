// Who may change what on the simulated drive: a standard user's view of files and folders, and
// an attacker's move at a chosen platform call.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace sim {

// A file or folder carries no access list of its own unless made with one: it inherits its
// parent's, and the root of C: lets every signed-in user modify what is made in it. One made
// with the protective list (sys::CreateProtectedDirectoryA), and what is made inside it, only
// administrators may change; a move keeps what an entry had, as on NTFS.
bool UserMayWrite(const std::string& windowsPath);

// A standard user writes a file (creating or replacing it); false, and nothing changed, where
// the access lists forbid it. What the user makes is theirs: the user may write it later.
bool UserWriteFile(const std::string& windowsPath, const std::string& content);
bool UserMakeDirectory(const std::string& windowsPath);
// A standard user replaces the entry at windowsPath (removing it with all below it) by a
// junction to target; false, and nothing changed, where the access lists forbid it.
bool UserMakeLink(const std::string& windowsPath, const std::string& target);

// Runs action once, just before the nth call (counted from Reset) of the named platform call
// does its work, as an opportunistic lock lets an attacker act between two calls on Windows.
void BeforeCall(const std::string& call, int nth, std::function<void()> action);

}  // namespace sim

namespace sim::detail {
// CreateFileA of a path on the drive (OPEN_EXISTING); INVALID_HANDLE_VALUE with the error.
void* OpenFileEntry(const char* name, sys::Dword access, sys::Dword share, sys::Dword flags);
// True when the entry at host, or one below it, is held open without sharing delete.
bool HeldAtOrBelow(const std::string& host);
// Host-path side of the marks, for the file calls.
bool UsersMayWriteHost(const std::string& host);
void MarkProtected(const std::string& host);
void KeepMark(const std::string& host);  // before a move: what it inherited becomes its own
}  // namespace sim::detail
