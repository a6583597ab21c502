// A file, folder or link held open by its own name, so that it cannot be swapped while used.
#pragma once

#include <string>

#include "platform/Files.h"
#include "platform/Handle.h"

namespace catalog {

// An entry held by its own name (a link itself, never its target): while held, nobody can
// rename or delete it or a folder above it, so no junction can be swapped in on the way. It is
// judged by its handle, never by a listing made before.
class HeldEntry {
  public:
    explicit HeldEntry(const std::string& path);
    bool Held() const { return attributes_ != sys::attr::Invalid; }
    bool Directory() const;
    bool Link() const;
    // Held, neither a folder nor a link.
    bool PlainFile() const;
    // Held again with delete access, it goes once the handle closes; read-only files and folders
    // not empty stay. Swapped for a link meanwhile, only the link goes.
    bool Delete();

  private:
    bool Open(sys::Dword access);

    std::string path_;
    sys::Handle handle_;
    sys::Dword attributes_ = sys::attr::Invalid;
};

}  // namespace catalog
