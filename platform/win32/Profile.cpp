// Win32 back end of the profile (INI) file reads.
#include <windows.h>

#include "platform/Profile.h"

namespace sys {

Dword GetPrivateProfileSectionNamesA(char* buffer, Dword size, const char* fileName) {
    return ::GetPrivateProfileSectionNamesA(buffer, size, fileName);
}

Dword GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, Dword size, const char* fileName) {
    return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

}  // namespace sys
