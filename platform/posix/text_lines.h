// Walking a text file line by line, for the readers of stores, profiles,
// mimeapps.list and desktop entries. Nothing is copied: a line is a range.
#pragma once

namespace dedo {

struct TextRange {
    const char* begin;
    const char* end;
    bool Empty() const { return begin == end; }
};

// The next line from `cursor`, without its LF or CR LF; false at the end.
inline bool NextLine(const char*& cursor, const char* end, TextRange& line) {
    if (cursor >= end) return false;
    line.begin = cursor;
    while (cursor < end && *cursor != '\n') ++cursor;
    line.end = cursor;
    if (line.end > line.begin && line.end[-1] == '\r') --line.end;
    if (cursor < end) ++cursor;
    return true;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline TextRange Trimmed(TextRange range) {
    while (range.begin < range.end && IsBlank(*range.begin)) ++range.begin;
    while (range.end > range.begin && IsBlank(range.end[-1])) --range.end;
    return range;
}

// The part of `range` before the first `c`, or all of it.
inline const char* Find(TextRange range, char c) {
    const char* p = range.begin;
    while (p < range.end && *p != c) ++p;
    return p;
}

}  // namespace dedo
