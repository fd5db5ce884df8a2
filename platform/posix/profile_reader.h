// Reading one value of a Windows initialization file, by the rules people who
// write such files rely on: names compare without regard to case, blanks
// around names and values are trimmed, one pair of enclosing quotes is
// removed, CR LF or LF ends a line, ";" starts a comment line, and the first
// matching section, and in it the first matching key, wins.
#pragma once

#include "platform.h"

namespace dedo {

// Like GetPrivateProfileStringA over the text of a file (UTF-8, converted to
// windows-1252): the value, or `fallback` when there is none, cut to size - 1
// bytes and zero-terminated. Answers the count of bytes placed before the zero.
Dword ReadProfileString(const char* text, const char* end, const char* section, const char* key,
                        const char* fallback, char* buffer, Dword size);

}  // namespace dedo
