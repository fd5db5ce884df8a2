// What the library knows about the registrant, read from two stores that
// another program writes: the identity under a registry key the host names,
// and the address and contact details in the private profile "ZelkDEro.ini".
// Both are only ever read.
#pragma once

#include "growable_text.h"
#include "platform.h"

namespace dedo {

struct RegistrantIdentity {
    GrowableText name;          // registry value "name"
    GrowableText company;       // registry value "company"
    GrowableText serialNumber;  // registry value "Serial Number"
};

// Fills the texts whose values exist under keyPath, opened under
// HKEY_LOCAL_MACHINE or else HKEY_CURRENT_USER (never both). Answers 1 when
// the key was opened, 0 when it was opened under neither, and kOutOfMemory
// when a text could not grow (the key is closed all the same).
int ReadRegistrantIdentity(Platform& platform, const char* keyPath, RegistrantIdentity& identity);

constexpr Dword kDemographicBufferSize = 512;

// One lookup of `key` in section "User Demographics" of "ZelkDEro.ini" in the
// Windows folder, with the empty text as default. Answers the count of bytes
// placed in the buffer before its terminating zero: 0 to 511.
Dword ReadDemographic(Platform& platform, const char* key, char (&buffer)[kDemographicBufferSize]);

}  // namespace dedo
