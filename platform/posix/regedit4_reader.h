// Reading registry keys and values straight from a store in REGEDIT4 text, the
// format regedit exports: a "REGEDIT4" header, "[HKEY_...\path]" keys,
// "name"="text" with \\ and \" escapes, @= for a key's default value,
// dword:, hex: and hex(n): data with "\" line continuations, ";" comments,
// and "[-key]" and "name"=- removals. One pass answers one question; nothing
// is copied or kept. A malformed line is passed over, never read past.
#pragma once

#include "platform.h"

namespace dedo {

struct Regedit4Lookup {
    bool keyExists;     // the key, or a key below it, is in the store
    const char* value;  // the value's data text (after "="), or null when it has none
};

// Looks for `keyName` ("HKEY_...\path" in windows-1252, compared without
// regard to case) and, when `valueName` is not null, for that value of it
// ("" is the default value). The last assignment wins, as when the store is imported.
Regedit4Lookup FindInRegedit4(const char* text, const char* end, const char* keyName, const char* valueName);

// Decodes a value's data text as RegQueryValueExA hands it over: a string
// converted to windows-1252 with its terminating zero, a dword as four bytes,
// hex data exactly as stored. Writes at most `capacity` bytes to `data` (which
// may be null) and sets `size` to the whole size. False when malformed.
bool DecodeRegedit4Value(const char* value, const char* end, Dword* type, unsigned char* data, Dword capacity,
                         Dword* size);

}  // namespace dedo
