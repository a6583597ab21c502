// A file, folder or link held open by its own name, so that it cannot be swapped while used.
#include "catalog/HeldEntry.h"

#include "platform/Files.h"
#include "platform/Serial.h"

namespace catalog {

HeldEntry::HeldEntry(const std::string& path) : path_(path) {
    Open(sys::hold::Access);
}

bool HeldEntry::Directory() const {
    return Held() &&
           (attributes_ & (sys::attr::Directory | sys::attr::ReparsePoint)) == sys::attr::Directory;
}

bool HeldEntry::Link() const {
    return Held() && (attributes_ & sys::attr::ReparsePoint) != 0;
}

bool HeldEntry::PlainFile() const {
    return Held() && (attributes_ & (sys::attr::Directory | sys::attr::ReparsePoint)) == 0;
}

bool HeldEntry::Delete() {
    handle_.Close();
    return Open(sys::hold::DeleteAccess) && sys::SetFileDispositionByHandle(handle_.Get(), true) &&
           handle_.Close() != 0;
}

bool HeldEntry::Open(sys::Dword access) {
    attributes_ = sys::attr::Invalid;
    void* opened = sys::CreateFileA(path_.c_str(), access, sys::hold::Share, nullptr,
                                    sys::hold::OpenExisting, sys::hold::Flags, nullptr);
    handle_ = sys::Handle(opened == sys::InvalidHandleValue() ? nullptr : opened);
    if (handle_ && !sys::GetFileInformationByHandle(handle_.Get(), &attributes_)) {
        attributes_ = sys::attr::Invalid;
    }
    return Held();
}

}  // namespace catalog
