#include "regedit4_reader.h"

#include "code_page.h"
#include "text_lines.h"

namespace dedo {

namespace {

// Matches `name` (windows-1252) at the start of the UTF-8 `text`: answers the
// point after it, or null.
const char* AfterName(const char* text, const char* end, const char* name) {
    const unsigned char* n = reinterpret_cast<const unsigned char*>(name);
    while (*n != 0) {
        if (text >= end) return nullptr;
        unsigned char c;
        size_t used = DecodeToWindows1252(text, end, &c);
        if (FoldCase(c) != FoldCase(*n)) return nullptr;
        text += used;
        ++n;
    }
    return text;
}

// Whether the key `keyName` is `header` or lies below it.
bool AtOrBelow(const char* keyName, TextRange header) {
    // Walk the key's name against the header's; the header must be used up at a separator.
    const unsigned char* k = reinterpret_cast<const unsigned char*>(keyName);
    const char* h = header.begin;
    while (h < header.end) {
        if (*k == 0) return false;
        unsigned char c;
        h += DecodeToWindows1252(h, header.end, &c);
        if (FoldCase(c) != FoldCase(*k)) return false;
        ++k;
    }
    return *k == 0 || *k == '\\';
}

// Reads a quoted name at `p` ("..." with \\ and \" escapes) and compares it
// with `name`. Answers the point after the closing quote, or null when the
// quote is not closed; `same` tells whether it matched.
const char* QuotedName(const char* p, const char* end, const char* name, bool* same) {
    const unsigned char* n = reinterpret_cast<const unsigned char*>(name);
    *same = true;
    ++p;  // the opening quote
    while (p < end && *p != '"') {
        if (*p == '\\' && p + 1 < end && (p[1] == '\\' || p[1] == '"')) ++p;
        unsigned char c;
        p += DecodeToWindows1252(p, end, &c);
        if (*n == 0 || FoldCase(c) != FoldCase(*n)) {
            *same = false;
        } else {
            ++n;
        }
    }
    if (p >= end) return nullptr;
    *same = *same && *n == 0;
    return p + 1;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Collects decoded bytes, counting all of them and keeping what fits.
struct Sink {
    unsigned char* data;
    Dword capacity;
    Dword size = 0;
    void Put(unsigned char c) {
        if (data != nullptr && size < capacity) data[size] = c;
        ++size;
    }
};

bool DecodeString(const char* p, const char* end, Sink& sink) {
    ++p;  // the opening quote
    for (;;) {
        if (p >= end || *p == '\n' || *p == '\r') return false;  // not closed on its line
        if (*p == '"') break;
        if (*p == '\\' && p + 1 < end && (p[1] == '\\' || p[1] == '"')) ++p;
        unsigned char c;
        p += DecodeToWindows1252(p, end, &c);
        sink.Put(c);
    }
    sink.Put('\0');
    return true;
}

bool DecodeHex(const char* p, const char* end, Sink& sink) {
    for (;;) {
        while (p < end && IsBlank(*p)) ++p;
        if (p < end && *p == '\\') {  // continued on the next line
            ++p;
            while (p < end && (IsBlank(*p) || *p == '\r')) ++p;
            if (p >= end || *p != '\n') return false;
            ++p;
            continue;
        }
        if (p >= end || *p == '\r' || *p == '\n' || *p == ';') return true;
        if (p + 1 >= end || HexDigit(p[0]) < 0 || HexDigit(p[1]) < 0) return false;
        sink.Put(static_cast<unsigned char>(HexDigit(p[0]) * 16 + HexDigit(p[1])));
        p += 2;
        while (p < end && IsBlank(*p)) ++p;
        if (p < end && *p == ',') ++p;
    }
}

bool StartsWith(const char* p, const char* end, const char* prefix) {
    for (; *prefix != 0; ++prefix, ++p) {
        if (p >= end || (*p | 0x20) != (*prefix | 0x20)) return false;
    }
    return true;
}

}  // namespace

Regedit4Lookup FindInRegedit4(const char* text, const char* end, const char* keyName, const char* valueName) {
    Regedit4Lookup found{false, nullptr};
    const char* wanted = valueName != nullptr && valueName[0] != '\0' ? valueName : nullptr;
    const char* cursor = text;
    TextRange line;
    bool inKey = false;
    while (NextLine(cursor, end, line)) {
        TextRange t = Trimmed(line);
        if (t.Empty() || *t.begin == ';') continue;
        if (*t.begin == '[') {
            const char* close = t.end;
            while (close > t.begin && close[-1] != ']') --close;
            if (close == t.begin) {  // no closing bracket: not a key
                inKey = false;
                continue;
            }
            bool removal = t.begin + 1 < close && t.begin[1] == '-';
            TextRange header{t.begin + (removal ? 2 : 1), close - 1};
            if (removal) {
                if (AtOrBelow(keyName, header)) found = Regedit4Lookup{false, nullptr};
                inKey = false;
                continue;
            }
            const char* after = AfterName(header.begin, header.end, keyName);
            inKey = after == header.end;
            if (after != nullptr && (after == header.end || *after == '\\')) found.keyExists = true;
            continue;
        }
        if (!inKey || valueName == nullptr) continue;
        const char* p = t.begin;
        bool same = false;
        if (*p == '@') {
            same = wanted == nullptr;
            ++p;
        } else if (*p == '"') {
            p = QuotedName(p, t.end, wanted != nullptr ? wanted : "", &same);
            if (p == nullptr) continue;
            same = same && wanted != nullptr;
        } else {
            continue;
        }
        if (!same) continue;
        while (p < t.end && IsBlank(*p)) ++p;
        if (p >= t.end || *p != '=') continue;
        ++p;
        while (p < t.end && IsBlank(*p)) ++p;
        found.value = p < t.end && *p == '-' && Trimmed(TextRange{p + 1, t.end}).Empty() ? nullptr : p;
    }
    return found;
}

bool DecodeRegedit4Value(const char* value, const char* end, Dword* type, unsigned char* data, Dword capacity,
                         Dword* size) {
    Sink sink{data, capacity};
    Dword kind;
    if (value < end && *value == '"') {
        kind = kRegSz;
        if (!DecodeString(value, end, sink)) return false;
    } else if (StartsWith(value, end, "dword:")) {
        kind = kRegDword;
        const char* p = value + 6;
        unsigned long number = 0;
        int digits = 0;
        for (; p < end && HexDigit(*p) >= 0 && digits < 9; ++p, ++digits) number = number * 16 + static_cast<unsigned long>(HexDigit(*p));
        TextRange rest = Trimmed(TextRange{p, Find(TextRange{p, end}, '\n')});
        if (rest.end > rest.begin && rest.end[-1] == '\r') --rest.end;
        if (digits == 0 || digits > 8 || !(rest.Empty() || *rest.begin == ';')) return false;
        for (int i = 0; i < 4; ++i) sink.Put(static_cast<unsigned char>(number >> (8 * i)));
    } else if (StartsWith(value, end, "hex:")) {
        kind = kRegBinary;
        if (!DecodeHex(value + 4, end, sink)) return false;
    } else if (StartsWith(value, end, "hex(")) {
        const char* p = value + 4;
        unsigned long number = 0;
        int digits = 0;
        for (; p < end && HexDigit(*p) >= 0 && digits < 9; ++p, ++digits) number = number * 16 + static_cast<unsigned long>(HexDigit(*p));
        if (digits == 0 || digits > 8 || p + 1 >= end || p[0] != ')' || p[1] != ':') return false;
        kind = static_cast<Dword>(number);
        if (!DecodeHex(p + 2, end, sink)) return false;
    } else {
        return false;
    }
    if (type != nullptr) *type = kind;
    *size = sink.size;
    return true;
}

}  // namespace dedo
