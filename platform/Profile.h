// Initialisation (INI) file reads, with the buffer semantics of the Win32 profile calls.
#pragma once

#include "platform/Types.h"

namespace sys {

// Fills buffer with NUL-separated section names ending in a double NUL; returns the bytes
// written without the final NUL. The list fits only with a byte to spare: otherwise it is cut
// and the result is size - 2. A missing file gives 0 and a single NUL.
Dword GetPrivateProfileSectionNamesA(char* buffer, Dword size, const char* fileName);

// Copies the value (or the default, less its trailing blanks) cut to size - 1 bytes and
// NUL-terminated; returns its length. A NULL section lists the sections, a NULL key the keys,
// as the section-name list. A bare file name is looked up in the Windows directory.
Dword GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, Dword size, const char* fileName);

}  // namespace sys
