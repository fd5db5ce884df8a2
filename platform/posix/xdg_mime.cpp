#include "xdg_mime.h"

#include <stdlib.h>
#include <string.h>

#include "code_page.h"
#include "file_text.h"

namespace dedo {

namespace {

bool SameBytes(TextRange range, const char* text) {
    size_t n = strlen(text);
    return static_cast<size_t>(range.end - range.begin) == n && memcmp(range.begin, text, n) == 0;
}

bool AppendRange(GrowableText& target, TextRange range) {
    size_t start = target.Length();
    size_t n = static_cast<size_t>(range.end - range.begin);
    char* buffer = target.GetBuffer(start + n + 1);
    if (buffer == nullptr) return false;
    memcpy(buffer + start, range.begin, n);
    buffer[start + n] = '\0';
    target.ReleaseBuffer();
    return true;
}

// A list of folders from an environment variable, or its default, one at a time.
struct FolderList {
    const char* cursor;
    bool Next(TextRange& folder) {
        while (*cursor == ':') ++cursor;
        if (*cursor == '\0') return false;
        folder.begin = cursor;
        while (*cursor != '\0' && *cursor != ':') ++cursor;
        folder.end = cursor;
        return true;
    }
};

const char* EnvOr(const char* name, const char* fallback) {
    const char* value = getenv(name);
    return value != nullptr && value[0] == '/' ? value : fallback;
}

// XDG_CONFIG_HOME or XDG_DATA_HOME: the variable, else $HOME with the default below it.
bool HomeFolder(const char* variable, const char* belowHome, GrowableText& folder) {
    const char* value = getenv(variable);
    if (value != nullptr && value[0] == '/') return folder.Assign(value);
    const char* home = getenv("HOME");
    if (home == nullptr || home[0] != '/') return folder.Assign("");
    return folder.Assign(home) && folder.Append(belowHome);
}

class Search {
public:
    Search(GrowableText& desktopId, GrowableText& command) : desktopId_(desktopId), command_(command) {}

    XdgAnswer Run() {
        GrowableText configHome, dataHome;
        if (!HomeFolder("XDG_CONFIG_HOME", "/.config", configHome) ||
            !HomeFolder("XDG_DATA_HOME", "/.local/share", dataHome))
            return XdgAnswer::kNoMemory;
        const char* configDirs = EnvOr("XDG_CONFIG_DIRS", "/etc/xdg");
        const char* dataDirs = EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
        dataHome_ = &dataHome;
        dataDirs_ = dataDirs;
        // Defaults first, in the order of the lookup; then the added associations.
        const char* const groups[] = {"Default Applications", "Added Associations"};
        for (const char* group : groups) {
            group_ = group;
            if (Lists(TextRange{configHome.Chars(), configHome.Chars() + configHome.Length()}, "") ||
                ListsIn(configDirs, "") ||
                Lists(TextRange{dataHome.Chars(), dataHome.Chars() + dataHome.Length()}, "/applications") ||
                ListsIn(dataDirs, "/applications"))
                return outOfMemory_ ? XdgAnswer::kNoMemory : XdgAnswer::kFound;
            if (outOfMemory_) return XdgAnswer::kNoMemory;
        }
        return XdgAnswer::kNone;
    }

private:
    bool ListsIn(const char* folders, const char* below) {
        FolderList list{folders};
        TextRange folder;
        while (list.Next(folder)) {
            if (Lists(folder, below)) return true;
        }
        return false;
    }

    // "$desktop-mimeapps.list" for each desktop of XDG_CURRENT_DESKTOP, then "mimeapps.list".
    bool Lists(TextRange folder, const char* below) {
        if (folder.Empty()) return false;
        const char* desktops = getenv("XDG_CURRENT_DESKTOP");
        if (desktops != nullptr) {
            FolderList names{desktops};
            TextRange name;
            while (names.Next(name)) {
                if (TryList(folder, below, name)) return true;
            }
        }
        return TryList(folder, below, TextRange{"", ""});
    }

    bool TryList(TextRange folder, const char* below, TextRange desktop) {
        GrowableText path;
        if (!AppendRange(path, folder) || !path.Append(below) || !path.Append("/") ||
            !AppendLower(path, desktop) || !path.Append(desktop.Empty() ? "mimeapps.list" : "-mimeapps.list")) {
            outOfMemory_ = true;
            return true;
        }
        FileText list;
        if (!list.Load(path.Chars())) {
            outOfMemory_ = list.OutOfMemory();
            return outOfMemory_;
        }
        TextRange ids = FindIniEntry(list.Begin(), list.End(), group_, "text/html");
        TextRange id;
        while (NextDesktopId(ids, id)) {
            if (TryDesktopId(id)) return true;
        }
        return false;
    }

    static bool AppendLower(GrowableText& path, TextRange name) {
        for (const char* p = name.begin; p < name.end; ++p) {
            char c[2] = {*p >= 'A' && *p <= 'Z' ? static_cast<char>(*p + 32) : *p, '\0'};
            if (!path.Append(c)) return false;
        }
        return true;
    }

    // An id counts when its desktop entry is installed, not hidden, and has an Exec line.
    bool TryDesktopId(TextRange id) {
        if (Entry(TextRange{dataHome_->Chars(), dataHome_->Chars() + dataHome_->Length()}, id)) return true;
        FolderList list{dataDirs_};
        TextRange folder;
        while (!outOfMemory_ && list.Next(folder)) {
            if (Entry(folder, id)) return true;
        }
        return outOfMemory_;
    }

    bool Entry(TextRange folder, TextRange id) {
        if (folder.Empty()) return false;
        GrowableText path;
        if (!AppendRange(path, folder) || !path.Append("/applications/") || !AppendRange(path, id)) {
            outOfMemory_ = true;
            return true;
        }
        FileText entry;
        if (!entry.Load(path.Chars())) {
            outOfMemory_ = entry.OutOfMemory();
            return outOfMemory_;
        }
        TextRange hidden = FindIniEntry(entry.Begin(), entry.End(), "Desktop Entry", "Hidden");
        if (SameBytes(hidden, "true")) return false;
        TextRange exec = FindIniEntry(entry.Begin(), entry.End(), "Desktop Entry", "Exec");
        if (exec.Empty()) return false;
        GrowableText command;
        if (!ExecToCommand(exec, command)) return false;
        if (!desktopId_.Assign("") || !AppendAsWindows1252(desktopId_, id.begin, id.end) ||
            !command_.Assign(command.Chars())) {
            outOfMemory_ = true;
        }
        return true;
    }

    GrowableText& desktopId_;
    GrowableText& command_;
    const GrowableText* dataHome_ = nullptr;
    const char* dataDirs_ = "";
    const char* group_ = "";
    bool outOfMemory_ = false;
};

}  // namespace

TextRange FindIniEntry(const char* text, const char* end, const char* group, const char* key) {
    const char* cursor = text;
    TextRange line;
    bool inGroup = false, groupSeen = false;
    while (NextLine(cursor, end, line)) {
        TextRange t = Trimmed(line);
        if (t.Empty() || *t.begin == '#') continue;
        if (*t.begin == '[') {
            if (groupSeen) break;
            const char* close = Find(TextRange{t.begin + 1, t.end}, ']');
            inGroup = close < t.end && SameBytes(TextRange{t.begin + 1, close}, group);
            groupSeen = inGroup;
            continue;
        }
        if (!inGroup) continue;
        const char* equals = Find(t, '=');
        if (equals == t.end || !SameBytes(Trimmed(TextRange{t.begin, equals}), key)) continue;
        return Trimmed(TextRange{equals + 1, t.end});
    }
    return TextRange{end, end};
}

bool NextDesktopId(TextRange& list, TextRange& id) {
    while (!list.Empty()) {
        const char* semicolon = Find(list, ';');
        id = Trimmed(TextRange{list.begin, semicolon});
        list.begin = semicolon < list.end ? semicolon + 1 : semicolon;
        if (!id.Empty()) return true;
    }
    return false;
}

bool ExecToCommand(TextRange exec, GrowableText& command) {
    // First the desktop entry's own escapes (\s \n \t \r \\), then the Exec
    // quoting: "..." with \" \` \$ \\ inside. Each argument is rebuilt and
    // quoted again the Windows way where it needs it.
    if (!command.Assign("")) return false;
    bool documentPlaced = false;
    const char* p = exec.begin;
    GrowableText argument;
    while (p < exec.end) {
        while (p < exec.end && IsBlank(*p)) ++p;
        if (p >= exec.end) break;
        if (!argument.Assign("")) return false;
        bool quoted = false, fieldOnly = false, anything = false;
        while (p < exec.end && (quoted || !IsBlank(*p))) {
            char c = *p++;
            if (c == '\\' && p < exec.end) {
                char next = *p++;
                c = next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
                if (quoted && c == '\\' && p < exec.end && (*p == '"' || *p == '`' || *p == '$' || *p == '\\'))
                    c = *p++;
            } else if (c == '"') {
                quoted = !quoted;
                anything = true;
                continue;
            } else if (c == '%' && p < exec.end) {
                char code = *p++;
                if (code == '%') {
                    c = '%';
                } else {
                    if ((code == 'f' || code == 'F' || code == 'u' || code == 'U') && !documentPlaced) {
                        documentPlaced = true;
                        if (!argument.Append("%1")) return false;
                        fieldOnly = true;
                    }
                    anything = true;
                    continue;
                }
            }
            char one[2] = {c, '\0'};
            if (!argument.Append(one)) return false;
            anything = true;
        }
        if (quoted) return false;  // an unclosed quote
        if (!anything || (argument.Length() == 0 && !fieldOnly)) continue;
        if (command.Length() > 0 && !command.Append(" ")) return false;
        bool needsQuotes = argument.Length() == 0 || strpbrk(argument.Chars(), " \t\"") != nullptr ||
                           strcmp(argument.Chars(), "%1") == 0;
        GrowableText converted;
        if (!AppendAsWindows1252(converted, argument.Chars(), argument.Chars() + argument.Length())) return false;
        if (needsQuotes && !command.Append("\"")) return false;
        for (const char* a = converted.Chars(); *a != '\0'; ++a) {
            char one[3] = {*a, '\0', '\0'};
            if (*a == '"') {
                one[0] = '\\';
                one[1] = '"';
            }
            if (!command.Append(one)) return false;
        }
        if (needsQuotes && !command.Append("\"")) return false;
    }
    return command.Length() > 0;
}

XdgAnswer FindHtmlApplication(GrowableText& desktopId, GrowableText& command) {
    Search search(desktopId, command);
    return search.Run();
}

}  // namespace dedo
