// The desktop's own answer to "which program opens a web page": the default
// application for text/html under the XDG MIME Applications rules, read from
// mimeapps.list files and the desktop entry directly, without starting anything.
#pragma once

#include "growable_text.h"
#include "text_lines.h"

namespace dedo {

// The value of `key` in group `group` of a mimeapps.list or desktop entry
// text ("key=value" lines under "[group]"), or an empty range. The first
// occurrence in the first such group wins.
TextRange FindIniEntry(const char* text, const char* end, const char* group, const char* key);

// The next desktop id from a ";"-separated list such as "a.desktop;b.desktop;",
// advancing `list`; false when none is left.
bool NextDesktopId(TextRange& list, TextRange& id);

// Turns a desktop entry's Exec value into a Windows command line, in
// windows-1252, with "%1" where the document goes: arguments quoted where they
// hold blanks, the field codes %f %F %u %U become "%1" (the first one only),
// %% becomes %, and the other field codes are dropped. False when the Exec
// value is malformed or memory runs out.
bool ExecToCommand(TextRange exec, GrowableText& command);

enum class XdgAnswer { kFound, kNone, kNoMemory };

// The default application for text/html: its desktop id and its open
// command, from the environment's XDG folders (XDG_CONFIG_HOME, XDG_CONFIG_DIRS,
// XDG_DATA_HOME, XDG_DATA_DIRS, XDG_CURRENT_DESKTOP and HOME).
XdgAnswer FindHtmlApplication(GrowableText& desktopId, GrowableText& command);

}  // namespace dedo
