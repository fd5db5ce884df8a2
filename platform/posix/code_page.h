// Texts between Linux, which speaks UTF-8, and the library, which speaks the
// ANSI code page of a Western Windows system: windows-1252.
#pragma once

#include <stddef.h>

#include "growable_text.h"

namespace dedo {

// Decodes one UTF-8 character at `text` (with `end` its limit) into its
// windows-1252 byte, '?' when windows-1252 cannot hold it or the bytes are no
// valid UTF-8. Answers how many bytes it took (at least 1).
size_t DecodeToWindows1252(const char* text, const char* end, unsigned char* out);

// Converts the whole of [text, end) and appends it; false when out of memory.
bool AppendAsWindows1252(GrowableText& target, const char* text, const char* end);

// Appends a windows-1252 text as UTF-8; false when out of memory.
bool AppendAsUtf8(GrowableText& target, const char* windows1252);

// The upper-case form of a windows-1252 byte, for names that compare without
// regard to case as Windows compares them.
unsigned char FoldCase(unsigned char c);

// Whether the UTF-8 text [text, end) and the windows-1252 text `name` are the
// same name, letter case aside.
bool SameName(const char* text, const char* end, const char* name);

}  // namespace dedo
