// Reading a registry value as text, the one way both the browser probe and
// the registrant's identity need it.
#pragma once

#include "growable_text.h"
#include "platform.h"

namespace dedo {

enum class RegistryRead { kRead, kFailed, kNoMemory };

// Asks for the value's size, then reads exactly that many bytes into `text`,
// whose buffer is one byte longer, so no value is too long. The text ends at
// the first zero byte and never past the data read; the value's type is not
// examined. A missing value answers kFailed and leaves the text as it was; a
// failed read, or a value that grew since its size was asked, answers kFailed
// and leaves the text empty.
RegistryRead ReadRegistryText(Platform& platform, Key key, const char* valueName, GrowableText& text);

}  // namespace dedo
