#include "code_page.h"

#include <string.h>

namespace dedo {

namespace {

// The characters windows-1252 puts at 0x80 to 0x9F; 0 marks its five unused places.
const unsigned short kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

unsigned char FromCodePoint(unsigned long cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
    }
    return '?';
}

unsigned long ToCodePoint(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F) return kHighControls[c - 0x80] != 0 ? kHighControls[c - 0x80] : '?';
    return c;
}

}  // namespace

size_t DecodeToWindows1252(const char* text, const char* end, unsigned char* out) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    size_t available = static_cast<size_t>(end - text);
    unsigned char lead = p[0];
    size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 1) {
        *out = lead;
        return 1;
    }
    if (length == 0 || length > available) {
        *out = '?';
        return 1;
    }
    unsigned long cp = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            *out = '?';
            return 1;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static const unsigned long kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    *out = cp < kSmallest[length] || cp > 0x10FFFF ? '?' : FromCodePoint(cp);
    return length;
}

bool AppendAsWindows1252(GrowableText& target, const char* text, const char* end) {
    size_t start = target.Length();
    // Never longer than the UTF-8 it comes from.
    char* buffer = target.GetBuffer(start + static_cast<size_t>(end - text) + 1);
    if (buffer == nullptr) return false;
    size_t n = start;
    while (text < end) {
        unsigned char c;
        text += DecodeToWindows1252(text, end, &c);
        buffer[n++] = c == '\0' ? '?' : static_cast<char>(c);
    }
    buffer[n] = '\0';
    target.ReleaseBuffer();
    return true;
}

bool AppendAsUtf8(GrowableText& target, const char* windows1252) {
    size_t start = target.Length();
    size_t length = strlen(windows1252);
    char* buffer = target.GetBuffer(start + 3 * length + 1);
    if (buffer == nullptr) return false;
    size_t n = start;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(windows1252); *p != 0; ++p) {
        unsigned long cp = ToCodePoint(*p);
        if (cp < 0x80) {
            buffer[n++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            buffer[n++] = static_cast<char>(0xC0 | (cp >> 6));
            buffer[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            buffer[n++] = static_cast<char>(0xE0 | (cp >> 12));
            buffer[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buffer[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    buffer[n] = '\0';
    target.ReleaseBuffer();
    return true;
}

unsigned char FoldCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return c;
    }
}

bool SameName(const char* text, const char* end, const char* name) {
    const unsigned char* n = reinterpret_cast<const unsigned char*>(name);
    while (text < end) {
        unsigned char c;
        text += DecodeToWindows1252(text, end, &c);
        if (*n == 0 || FoldCase(c) != FoldCase(*n)) return false;
        ++n;
    }
    return *n == 0;
}

}  // namespace dedo
