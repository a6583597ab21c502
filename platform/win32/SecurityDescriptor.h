// Reads an owner and an access list out of a self-relative security descriptor.
#pragma once

#include "platform/ObjectSecurity.h"

namespace sys::detail {

// 0 with `security` filled, or the error GetSecurityDescriptorOwner or GetAce set.
Dword ReadSecurityDescriptor(void* descriptor, ObjectSecurity& security);

}  // namespace sys::detail
