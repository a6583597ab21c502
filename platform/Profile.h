// Initialisation (INI) file reads, with the buffer semantics of the Win32 profile calls.
#pragma once

#include "platform/Types.h"

namespace sys {

// Fills buffer with NUL-separated section names ending in a double NUL; returns the bytes
// written without the final NUL, size - 2 when the buffer was too small.
Dword GetPrivateProfileSectionNamesA(char* buffer, Dword size, const char* fileName);

// Copies the value (or the default) cut to size - 1 bytes and NUL-terminated; returns its length.
Dword GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, Dword size, const char* fileName);

}  // namespace sys
