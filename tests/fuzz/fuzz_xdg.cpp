// Fuzzes the mimeapps.list and desktop-entry readers: the entries found lie
// inside the text, every listed id is a part of its list, and an Exec line of
// any shape becomes a command or a clear no.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "xdg_mime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = text + size;
    dedo::TextRange list = dedo::FindIniEntry(text, end, "Default Applications", "text/html");
    if (list.begin < text || list.end > end || list.begin > list.end) abort();
    dedo::TextRange id;
    int ids = 0;
    while (dedo::NextDesktopId(list, id)) {
        if (id.begin < text || id.end > end || id.Empty() || ++ids > 100000) abort();
    }
    dedo::TextRange exec = dedo::FindIniEntry(text, end, "Desktop Entry", "Exec");
    dedo::GrowableText command;
    if (!exec.Empty() && dedo::ExecToCommand(exec, command) && command.Length() == 0) abort();
    dedo::GrowableText whole;
    if (dedo::ExecToCommand(dedo::TextRange{text, end}, whole) && whole.Length() == 0) abort();
    return 0;
}
