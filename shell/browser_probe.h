// Is a program registered to open web pages? Judged by the shell's file
// associations for ".htm" under HKEY_CLASSES_ROOT; only ever reads the registry.
#pragma once

#include "growable_text.h"
#include "platform.h"

namespace dedo {

// 1 when ".htm" names a document class whose "shell\open\command" default
// value can be read, and then `command` holds that command line; else 0, and
// `command` holds nothing of use. Also 0 when memory for a text runs out.
int GetBrowserCommand(Platform& platform, GrowableText& command);

// GetBrowserCommand with a text of its own that is thrown away.
int IsBrowserAvail(Platform& platform);

}  // namespace dedo
