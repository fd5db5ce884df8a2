#include "profile_reader.h"

#include <string.h>

#include "code_page.h"
#include "text_lines.h"

namespace dedo {

namespace {

Dword CopyCut(const char* value, char* buffer, Dword size) {
    size_t n = strlen(value);
    if (n > size - 1) n = size - 1;
    memcpy(buffer, value, n);
    buffer[n] = '\0';
    return static_cast<Dword>(n);
}

}  // namespace

Dword ReadProfileString(const char* text, const char* end, const char* section, const char* key,
                        const char* fallback, char* buffer, Dword size) {
    if (buffer == nullptr || size == 0) return 0;
    const char* cursor = text;
    TextRange line;
    bool inSection = false;
    bool sectionSeen = false;
    while (NextLine(cursor, end, line)) {
        TextRange t = Trimmed(line);
        if (t.Empty() || *t.begin == ';') continue;
        if (*t.begin == '[') {
            if (sectionSeen) break;  // the first matching section is the only one read
            const char* close = Find(TextRange{t.begin + 1, t.end}, ']');
            TextRange name = Trimmed(TextRange{t.begin + 1, close});
            inSection = SameName(name.begin, name.end, section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) continue;
        const char* equals = Find(t, '=');
        if (equals == t.end) continue;
        TextRange name = Trimmed(TextRange{t.begin, equals});
        if (!SameName(name.begin, name.end, key)) continue;
        TextRange value = Trimmed(TextRange{equals + 1, t.end});
        if (value.end - value.begin >= 2 && (*value.begin == '"' || *value.begin == '\'') &&
            value.end[-1] == *value.begin) {
            ++value.begin;
            --value.end;
        }
        Dword n = 0;
        while (value.begin < value.end && n < size - 1) {
            unsigned char c;
            value.begin += DecodeToWindows1252(value.begin, value.end, &c);
            buffer[n++] = static_cast<char>(c);
        }
        buffer[n] = '\0';
        return n;
    }
    return CopyCut(fallback != nullptr ? fallback : "", buffer, size);
}

}  // namespace dedo
