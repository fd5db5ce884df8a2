#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "code_page.h"
#include "growable_text.h"
#include "profile_reader.h"
#include "regedit4_reader.h"
#include "xdg_mime.h"

using dedo::Dword;
using dedo::GrowableText;
using dedo::TextRange;

namespace {

// An exact-size heap copy with nothing after the last byte, so that a reader
// looking past `end` is caught by the sanitizer or valgrind.
class Exact {
public:
    explicit Exact(const std::string& text) : bytes_(text.begin(), text.end()) {}
    const char* begin() const { return bytes_.data(); }
    const char* end() const { return bytes_.data() + bytes_.size(); }

private:
    std::vector<char> bytes_;
};

// A byte string from a literal, embedded zeros included.
template <size_t N>
std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

// Test names from the cases' own names.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// The rest of the line a value text starts on.
std::string LineFrom(const char* p, const char* end) {
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n') ++q;
    return std::string(p, q);
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// ---------------------------------------------------------------------------
// REGEDIT4 stores

const char* const kDedo = "HKEY_CURRENT_USER\\Software\\Dedo";

// CR LF first, as regedit writes it, then LF only, and no line end at the very end.
const std::string kStore =
    "REGEDIT4\r\n"
    "\r\n"
    "; exported by hand\r\n"
    "[HKEY_CURRENT_USER\\Software\\Dedo]\r\n"
    "@=\"default text\"\r\n"
    "\"Name\"=\"Joe\"\r\n"
    "\"Caf\xC3\xA9\"=\"M\xC3\xBCller\"\r\n"
    "\"a\\\"b\"=\"quote in name\"\r\n"
    "\"a\\\\b\"=\"backslash in name\"\r\n"
    "\"a=b\"=\"equals in name\"\r\n"
    "  \"Spaced\" = \"blanks around\"\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03,04\r\n"
    "\"Later\"=\"first\"\r\n"
    "\"Removed\"=\"here\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Broken\r\n"
    "\"Stray\"=\"after a header without its bracket\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Dedo\\Sub\\Deeper]\n"
    "\"Later\"=\"in a subkey\"\n"
    "[HKEY_CURRENT_USER\\Software\\Dedo]\n"
    "\"Later\"=\"second\"\n"
    "\"Removed\"=-\n"
    "[HKEY_CURRENT_USER\\Software\\Temp]\n"
    "\"v\"=\"1\"\n"
    "[HKEY_CURRENT_USER\\Software\\Temp\\Child]\n"
    "[-HKEY_CURRENT_USER\\Software\\Temp]\n"
    "[HKEY_CURRENT_USER\\Software\\Again]\n"
    "\"old\"=\"1\"\n"
    "[-HKEY_CURRENT_USER\\Software\\Again]\n"
    "[HKEY_CURRENT_USER\\Software\\Again]\n"
    "\"new\"=\"2\"\n"
    "[HKEY_CURRENT_USER\\Software\\Keep]\n"
    "\"v\"=\"kept\"\n"
    "[HKEY_CURRENT_USER\\Software\\Keep\\Child]\n"
    "[-HKEY_CURRENT_USER\\Software\\Keep\\Child]\n"
    "[-HKEY_CURRENT_USER\\Software\\Kee]\n"
    "[HKEY_CURRENT_USER\\Software\\Last]\n"
    "\"Tail\"=\"end\"";

struct LookupCase {
    const char* name;
    const char* key;
    const char* value;     // null asks about the key only
    bool keyExists;
    const char* expected;  // the line from the value's data on, or null for no value
};
// Cases print by name, so that gtest does not dump their raw bytes.
void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.name; }

class Regedit4ReaderLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(Regedit4ReaderLookup, FindsKeyAndValueText) {
    const LookupCase& c = GetParam();
    Exact store(kStore);
    dedo::Regedit4Lookup found = dedo::FindInRegedit4(store.begin(), store.end(), c.key, c.value);
    EXPECT_EQ(found.keyExists, c.keyExists);
    if (c.expected == nullptr) {
        EXPECT_EQ(found.value, nullptr) << LineFrom(found.value, store.end());
    } else {
        ASSERT_NE(found.value, nullptr);
        ASSERT_TRUE(found.value >= store.begin() && found.value <= store.end());
        EXPECT_EQ(LineFrom(found.value, store.end()), c.expected);
    }
}

const LookupCase kLookupCases[] = {
    {"default_value", kDedo, "", true, "\"default text\""},
    {"named_value", kDedo, "Name", true, "\"Joe\""},
    {"names_ignore_case", "hkey_current_user\\SOFTWARE\\dedo", "nAME", true, "\"Joe\""},
    {"windows1252_case_folding", "HKEY_CURRENT_USER\\Software\\DEDO", "CAF\xC9", true, "\"M\xC3\xBCller\""},
    {"escaped_quote_in_name", kDedo, "a\"b", true, "\"quote in name\""},
    {"escaped_backslash_in_name", kDedo, "a\\b", true, "\"backslash in name\""},
    {"equals_sign_in_name", kDedo, "a=b", true, "\"equals in name\""},
    {"blanks_around_equals", kDedo, "Spaced", true, "\"blanks around\""},
    {"hex_value_first_line", kDedo, "Blob", true, "hex:01,02,\\"},
    {"last_assignment_wins", kDedo, "Later", true, "\"second\""},
    {"value_removed", kDedo, "Removed", true, nullptr},
    {"value_missing", kDedo, "Nope", true, nullptr},
    {"shorter_name_no_match", kDedo, "Nam", true, nullptr},
    {"longer_name_no_match", kDedo, "Names", true, nullptr},
    {"line_after_broken_header_belongs_to_no_key", kDedo, "Stray", true, nullptr},
    {"key_only", kDedo, nullptr, true, nullptr},
    {"parent_exists_through_subkey", "HKEY_CURRENT_USER\\Software", nullptr, true, nullptr},
    {"intermediate_key_exists_without_values", "HKEY_CURRENT_USER\\Software\\Dedo\\Sub", "Later", true, nullptr},
    {"subkey_value_stays_in_subkey", "HKEY_CURRENT_USER\\Software\\Dedo\\Sub\\Deeper", "Later", true,
     "\"in a subkey\""},
    {"name_prefix_is_not_a_key", "HKEY_CURRENT_USER\\Software\\De", nullptr, false, nullptr},
    {"below_deepest_key", "HKEY_CURRENT_USER\\Software\\Dedo\\Sub\\Deeper\\More", nullptr, false, nullptr},
    {"header_without_bracket", "HKEY_CURRENT_USER\\Software\\Broken", "Stray", false, nullptr},
    {"other_root", "HKEY_LOCAL_MACHINE\\Software\\Dedo", "Name", false, nullptr},
    {"removed_key", "HKEY_CURRENT_USER\\Software\\Temp", "v", false, nullptr},
    {"removal_takes_subkeys", "HKEY_CURRENT_USER\\Software\\Temp\\Child", nullptr, false, nullptr},
    {"recreated_key_loses_old_values", "HKEY_CURRENT_USER\\Software\\Again", "old", true, nullptr},
    {"recreated_key_has_new_values", "HKEY_CURRENT_USER\\Software\\Again", "new", true, "\"2\""},
    {"subkey_removal_keeps_parent", "HKEY_CURRENT_USER\\Software\\Keep", "v", true, "\"kept\""},
    {"removed_subkey", "HKEY_CURRENT_USER\\Software\\Keep\\Child", nullptr, false, nullptr},
    {"last_line_without_line_end", "HKEY_CURRENT_USER\\Software\\Last", "Tail", true, "\"end\""},
};

INSTANTIATE_TEST_SUITE_P(Store, Regedit4ReaderLookup, ::testing::ValuesIn(kLookupCases), CaseName<LookupCase>);

struct DecodeCase {
    const char* name;
    std::string text;  // the value's data text and what follows it
    bool ok;
    Dword type;
    std::string bytes;
};
void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

class Regedit4ReaderDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Regedit4ReaderDecode, DecodesOrRejects) {
    const DecodeCase& c = GetParam();
    Exact text(c.text);
    unsigned char data[32];
    std::memset(data, 0xCD, sizeof data);
    Dword type = 0xDEAD, size = 0xDEAD;
    bool ok = dedo::DecodeRegedit4Value(text.begin(), text.end(), &type, data, sizeof data, &size);
    ASSERT_EQ(ok, c.ok);
    if (!ok) return;
    EXPECT_EQ(type, c.type);
    ASSERT_EQ(size, c.bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), c.bytes);
    EXPECT_EQ(data[size], 0xCD) << "wrote past the value";
}

const DecodeCase kDecodeCases[] = {
    {"string", "\"plain\"", true, dedo::kRegSz, Bytes("plain\0")},
    {"string_escapes", R"("Joe \"JJ\" at C:\\Dir\\")", true, dedo::kRegSz, Bytes("Joe \"JJ\" at C:\\Dir\\\0")},
    {"string_empty", "\"\"", true, dedo::kRegSz, Bytes("\0")},
    {"string_to_windows1252", "\"M\xC3\xBCller \xE2\x82\xAC\"", true, dedo::kRegSz, Bytes("M\xFC" "ller \x80\0")},
    {"string_unmappable", "\"\xE4\xB8\xAD\"", true, dedo::kRegSz, Bytes("?\0")},
    {"string_stops_at_its_quote", "\"a\"\r\n\"b\"=\"c\"", true, dedo::kRegSz, Bytes("a\0")},
    {"dword", "dword:0000002a", true, dedo::kRegDword, Bytes("\x2a\0\0\0")},
    {"dword_all_bits", "dword:FFFFFFFF", true, dedo::kRegDword, Bytes("\xFF\xFF\xFF\xFF")},
    {"dword_byte_order", "dword:12345678", true, dedo::kRegDword, Bytes("\x78\x56\x34\x12")},
    {"dword_few_digits", "dword:1", true, dedo::kRegDword, Bytes("\x01\0\0\0")},
    {"dword_comment_and_next_line", "dword:00000100 ; c\r\n\"x\"=dword:1", true, dedo::kRegDword,
     Bytes("\0\x01\0\0")},
    {"hex", "hex:01,02,ff", true, dedo::kRegBinary, Bytes("\x01\x02\xFF")},
    {"hex_empty", "hex:", true, dedo::kRegBinary, ""},
    {"hex_continued", "hex:01,02,\\\r\n  03,\\\n\t04\r\n\"next\"=\"x\"", true, dedo::kRegBinary,
     Bytes("\x01\x02\x03\x04")},
    {"hex_typed", "hex(7):41,00,00,00", true, 7, Bytes("A\0\0\0")},
    {"hex_type_in_hex", "hex(b):01,00,00,00,00,00,00,00", true, 11, Bytes("\x01\0\0\0\0\0\0\0")},
    {"hex_type_none", "hex(0):", true, dedo::kRegNone, ""},
    {"string_unclosed_on_its_line", "\"abc\r\n\"b\"=\"c\"", false, 0, ""},
    {"string_unclosed_at_end", "\"abc", false, 0, ""},
    {"string_escaped_last_quote", "\"abc\\\"", false, 0, ""},
    {"string_escape_at_end", "\"abc\\", false, 0, ""},
    {"dword_no_digits", "dword:", false, 0, ""},
    {"dword_nine_digits", "dword:123456789", false, 0, ""},
    {"dword_junk", "dword:12zz", false, 0, ""},
    {"hex_single_digit", "hex:01,2", false, 0, ""},
    {"hex_cut_in_a_byte", "hex:0", false, 0, ""},
    {"hex_bad_digit", "hex:01,0g", false, 0, ""},
    {"hex_continuation_at_end", "hex:01,\\", false, 0, ""},
    {"hex_junk_after_continuation", "hex:01,\\ x\n02", false, 0, ""},
    {"hex_typed_no_type", "hex():00", false, 0, ""},
    {"hex_typed_no_colon", "hex(2)00", false, 0, ""},
    {"hex_typed_cut", "hex(2", false, 0, ""},
    {"hex_typed_type_too_long", "hex(123456789):00", false, 0, ""},
    {"unknown_kind", "text", false, 0, ""},
    {"nothing", "", false, 0, ""},
    {"removal_mark", "-", false, 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Values, Regedit4ReaderDecode, ::testing::ValuesIn(kDecodeCases), CaseName<DecodeCase>);

TEST(Regedit4Reader, DecodeKeepsWhatFitsAndCountsAll) {
    Exact text("\"abcdef\"");
    unsigned char data[8];
    std::memset(data, 0xCD, sizeof data);
    Dword type = 0, size = 0;
    ASSERT_TRUE(dedo::DecodeRegedit4Value(text.begin(), text.end(), &type, data, 3, &size));
    EXPECT_EQ(type, dedo::kRegSz);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 3), "abc");
    EXPECT_EQ(data[3], 0xCD);

    // Sizing only: no buffer, no type wanted.
    Exact hex("hex:01,02,03");
    size = 0;
    ASSERT_TRUE(dedo::DecodeRegedit4Value(hex.begin(), hex.end(), nullptr, nullptr, 0, &size));
    EXPECT_EQ(size, 3u);
}

TEST(Regedit4Reader, LookupThenDecodeAcrossLines) {
    Exact store(kStore);
    unsigned char data[16];
    Dword type = 0, size = 0;

    dedo::Regedit4Lookup blob = dedo::FindInRegedit4(store.begin(), store.end(), kDedo, "Blob");
    ASSERT_NE(blob.value, nullptr);
    ASSERT_TRUE(dedo::DecodeRegedit4Value(blob.value, store.end(), &type, data, sizeof data, &size));
    EXPECT_EQ(type, dedo::kRegBinary);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), Bytes("\x01\x02\x03\x04"));

    dedo::Regedit4Lookup cafe = dedo::FindInRegedit4(store.begin(), store.end(), kDedo, "caf\xE9");
    ASSERT_NE(cafe.value, nullptr);
    ASSERT_TRUE(dedo::DecodeRegedit4Value(cafe.value, store.end(), &type, data, sizeof data, &size));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), Bytes("M\xFC" "ller\0"));
}

// A store cut anywhere (a partly written file) never makes the reader look
// past the cut, and what it decodes is the start of the real value or nothing.
TEST(Regedit4Reader, TruncatedStoreIsReadSafely) {
    const std::string fullBlob = Bytes("\x01\x02\x03\x04");
    const size_t blobComplete = kStore.find("03,04") + 5;
    const size_t tailComplete = kStore.size();
    for (size_t cut = 0; cut <= kStore.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Exact store(kStore.substr(0, cut));
        unsigned char data[16];
        Dword type = 0, size = 0;

        dedo::Regedit4Lookup blob = dedo::FindInRegedit4(store.begin(), store.end(), kDedo, "Blob");
        if (blob.value != nullptr) {
            ASSERT_TRUE(blob.value >= store.begin() && blob.value <= store.end());
            if (dedo::DecodeRegedit4Value(blob.value, store.end(), &type, data, sizeof data, &size)) {
                ASSERT_LE(size, fullBlob.size());
                EXPECT_TRUE(StartsWith(fullBlob, std::string(reinterpret_cast<char*>(data), size)));
                if (cut >= blobComplete) {
                    EXPECT_EQ(size, fullBlob.size());
                }
            }
        }
        if (cut >= blobComplete) {
            EXPECT_NE(blob.value, nullptr);
        }

        dedo::Regedit4Lookup tail =
            dedo::FindInRegedit4(store.begin(), store.end(), "HKEY_CURRENT_USER\\Software\\Last", "Tail");
        bool decoded = tail.value != nullptr &&
                       dedo::DecodeRegedit4Value(tail.value, store.end(), &type, data, sizeof data, &size);
        // Only the whole string, closing quote included, decodes.
        EXPECT_EQ(decoded, cut == tailComplete);
        if (decoded) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), Bytes("end\0"));
        }
    }
}

// ---------------------------------------------------------------------------
// Initialization files

const std::string kIni =
    "; settings of the registrant\r\n"
    "[General]\r\n"
    "Name = Joe Smith  \r\n"
    "Quoted=\"  padded  \"\r\n"
    "Single='single'\r\n"
    "Mismatched=\"open'\r\n"
    "OneQuote=\"\r\n"
    "Empty=\r\n"
    "Eq=a=b\r\n"
    "Trail=value ; not a comment\r\n"
    "\tCity\t=\tM\xC3\xBCnchen\n"
    "Symbol=\xE2\x82\xAC and \xE2\x84\xA2\n"
    "Han=\xE4\xB8\xAD\n"
    "  ;Hidden=commented out\n"
    "NoEquals\n"
    "Name=second, ignored\n"
    "[ general ]\n"
    "Other=in a second section of the same name\n"
    "[R\xC3\xA9glages]\n"
    "Cl\xC3\xA9=oui\n"
    "[Last]\n"
    "Key=no line end";

struct ProfileCase {
    const char* name;
    const char* section;
    const char* key;
    const char* fallback;
    Dword size;
    std::string expected;
};
void PrintTo(const ProfileCase& c, std::ostream* out) { *out << c.name; }

class ProfileReader : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileReader, ReadsValueOrFallback) {
    const ProfileCase& c = GetParam();
    Exact ini(kIni);
    char buffer[64];
    std::memset(buffer, 'X', sizeof buffer);
    Dword n = dedo::ReadProfileString(ini.begin(), ini.end(), c.section, c.key, c.fallback, buffer, c.size);
    EXPECT_EQ(n, c.expected.size());
    EXPECT_EQ(std::string(buffer, n), c.expected);
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_EQ(buffer[c.size], 'X') << "wrote past the buffer's size";
}

const ProfileCase kProfileCases[] = {
    {"trimmed_value", "General", "Name", "fb", 32, "Joe Smith"},
    {"names_ignore_case", "GENERAL", "NAME", "fb", 32, "Joe Smith"},
    {"double_quotes_removed", "General", "Quoted", "fb", 32, "  padded  "},
    {"single_quotes_removed", "General", "Single", "fb", 32, "single"},
    {"mismatched_quotes_kept", "General", "Mismatched", "fb", 32, "\"open'"},
    {"lone_quote_kept", "General", "OneQuote", "fb", 32, "\""},
    {"empty_value_is_no_fallback", "General", "Empty", "fb", 32, ""},
    {"equals_in_value", "General", "Eq", "fb", 32, "a=b"},
    {"semicolon_inside_value", "General", "Trail", "fb", 32, "value ; not a comment"},
    {"tabs_trimmed_utf8_converted", "General", "City", "fb", 32, "M\xFC" "nchen"},
    {"high_windows1252", "General", "Symbol", "fb", 32, "\x80 and \x99"},
    {"unmappable_character", "General", "Han", "fb", 32, "?"},
    {"comment_line_is_no_key", "General", ";Hidden", "fb", 32, "fb"},
    {"line_without_equals", "General", "NoEquals", "fb", 32, "fb"},
    {"only_first_matching_section", "General", "Other", "fb", 32, "fb"},
    {"windows1252_names", "R\xC9GLAGES", "CL\xC9", "fb", 32, "oui"},
    {"last_line_without_line_end", "Last", "Key", "fb", 32, "no line end"},
    {"missing_section", "Nowhere", "Name", "fb", 32, "fb"},
    {"missing_key", "General", "Nope", "fb", 32, "fb"},
    {"null_fallback", "General", "Nope", nullptr, 32, ""},
    {"value_cut", "General", "Name", "fb", 4, "Joe"},
    {"cut_counts_windows1252_bytes", "General", "City", "fb", 3, "M\xFC"},
    {"fallback_cut", "General", "Nope", "fallback", 5, "fall"},
    {"size_one", "General", "Name", "fb", 1, ""},
};

INSTANTIATE_TEST_SUITE_P(Ini, ProfileReader, ::testing::ValuesIn(kProfileCases), CaseName<ProfileCase>);

TEST(ProfileReaderEdges, NoRoomLeavesBufferAlone) {
    Exact ini(kIni);
    char buffer[4] = {'X', 'X', 'X', 'X'};
    EXPECT_EQ(dedo::ReadProfileString(ini.begin(), ini.end(), "General", "Name", "fb", buffer, 0), 0u);
    EXPECT_EQ(buffer[0], 'X');
    EXPECT_EQ(dedo::ReadProfileString(ini.begin(), ini.end(), "General", "Name", "fb", nullptr, 4), 0u);
}

TEST(ProfileReaderEdges, TruncatedFileIsReadSafely) {
    const size_t nameComplete = kIni.find("Joe Smith") + 9;
    for (size_t cut = 0; cut <= kIni.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Exact ini(kIni.substr(0, cut));
        char buffer[32];
        Dword n = dedo::ReadProfileString(ini.begin(), ini.end(), "General", "Name", "fb", buffer, sizeof buffer);
        std::string got(buffer, n);
        if (cut >= nameComplete) {
            EXPECT_EQ(got, "Joe Smith");
        } else {
            EXPECT_TRUE(got == "fb" || StartsWith("Joe Smith", got)) << got;
        }
        n = dedo::ReadProfileString(ini.begin(), ini.end(), "Last", "Key", "fb", buffer, sizeof buffer);
        got.assign(buffer, n);
        EXPECT_TRUE(got == "fb" || StartsWith("no line end", got)) << got;
    }
}

// ---------------------------------------------------------------------------
// mimeapps.list and desktop entries

const std::string kMimeapps =
    "# written by hand\n"
    "[Default Applications\n"
    "text/plain=broken-header.desktop\n"
    "[Added Associations]\n"
    "text/html=added.desktop;\n"
    "[Default Applications]\r\n"
    "  text/html = first.desktop;second.desktop;  \r\n"
    "text/html=ignored.desktop\r\n"
    "#image/png=commented.desktop\n"
    "x-scheme-handler/http=web.desktop\n"
    "[Default Applications]\n"
    "image/gif=second-group.desktop\n";

struct IniCase {
    const char* name;
    const char* group;
    const char* key;
    const char* expected;  // null: an empty range
};
void PrintTo(const IniCase& c, std::ostream* out) { *out << c.name; }

class XdgMimeIniEntry : public ::testing::TestWithParam<IniCase> {};

TEST_P(XdgMimeIniEntry, FindsFirstEntryOfFirstGroup) {
    const IniCase& c = GetParam();
    Exact text(kMimeapps);
    TextRange found = dedo::FindIniEntry(text.begin(), text.end(), c.group, c.key);
    ASSERT_TRUE(found.begin >= text.begin() && found.begin <= found.end && found.end <= text.end());
    EXPECT_EQ(std::string(found.begin, found.end), c.expected != nullptr ? c.expected : "");
}

const IniCase kIniCases[] = {
    {"trimmed_value", "Default Applications", "text/html", "first.desktop;second.desktop;"},
    {"other_group", "Added Associations", "text/html", "added.desktop;"},
    {"later_key", "Default Applications", "x-scheme-handler/http", "web.desktop"},
    {"header_without_bracket_is_no_group", "Default Applications", "text/plain", nullptr},
    {"comment_line_is_no_key", "Default Applications", "#image/png", nullptr},
    {"only_first_matching_group", "Default Applications", "image/gif", nullptr},
    {"group_is_case_sensitive", "default applications", "text/html", nullptr},
    {"key_is_case_sensitive", "Default Applications", "TEXT/HTML", nullptr},
    {"key_prefix_no_match", "Default Applications", "text", nullptr},
    {"missing_group", "Removed Associations", "text/html", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Mimeapps, XdgMimeIniEntry, ::testing::ValuesIn(kIniCases), CaseName<IniCase>);

TEST(XdgMime, TruncatedEntryIsReadSafely) {
    const std::string entry = "[Desktop Entry]\nName=Firefox\nExec=firefox %u";
    for (size_t cut = 0; cut <= entry.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Exact text(entry.substr(0, cut));
        TextRange exec = dedo::FindIniEntry(text.begin(), text.end(), "Desktop Entry", "Exec");
        ASSERT_TRUE(exec.begin >= text.begin() && exec.begin <= exec.end && exec.end <= text.end());
        std::string got(exec.begin, exec.end);
        EXPECT_TRUE(StartsWith("firefox %u", got)) << got;
        if (cut == entry.size()) {
            EXPECT_EQ(got, "firefox %u");
        }
    }
}

TEST(XdgMime, NextDesktopIdSplitsList) {
    const struct {
        const char* list;
        std::vector<std::string> ids;
    } cases[] = {
        {"a.desktop;b.desktop;", {"a.desktop", "b.desktop"}},
        {"a.desktop", {"a.desktop"}},
        {" a.desktop ; ;;\tb.desktop", {"a.desktop", "b.desktop"}},
        {";;", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        Exact text(c.list);
        TextRange list{text.begin(), text.end()};
        TextRange id{nullptr, nullptr};
        std::vector<std::string> got;
        while (dedo::NextDesktopId(list, id) && got.size() < 10) got.emplace_back(id.begin, id.end);
        EXPECT_EQ(got, c.ids);
        EXPECT_FALSE(dedo::NextDesktopId(list, id)) << "a used-up list must stay used up";
    }
}

struct ExecCase {
    const char* name;
    const char* exec;
    bool ok;
    const char* command;
};
void PrintTo(const ExecCase& c, std::ostream* out) { *out << c.name; }

class XdgMimeExec : public ::testing::TestWithParam<ExecCase> {};

TEST_P(XdgMimeExec, BecomesWindowsCommandLine) {
    const ExecCase& c = GetParam();
    Exact exec(c.exec);
    GrowableText command;
    ASSERT_TRUE(command.Assign("stale"));
    ASSERT_EQ(dedo::ExecToCommand(TextRange{exec.begin(), exec.end()}, command), c.ok) << command.Chars();
    if (c.ok) {
        EXPECT_STREQ(command.Chars(), c.command);
    }
}

const ExecCase kExecCases[] = {
    {"url_field", "firefox %u", true, "firefox \"%1\""},
    {"url_list_field", "/usr/bin/chromium --new-window %U", true, "/usr/bin/chromium --new-window \"%1\""},
    {"quoted_program_with_blank", "\"/opt/My Browser/run\" %f", true, "\"/opt/My Browser/run\" \"%1\""},
    {"only_first_document_field", "browser %F %u", true, "browser \"%1\""},
    {"other_fields_dropped", "browser %i %c %k %u", true, "browser \"%1\""},
    {"percent_escape", "browser 100%% %u", true, "browser 100% \"%1\""},
    {"space_escape", "My\\sBrowser %u", true, "\"My Browser\" \"%1\""},
    {"quote_inside_quotes", "\"/opt/a\\\\\"b/run\" %u", true, "\"/opt/a\\\"b/run\" \"%1\""},
    {"dollar_inside_quotes", "\"/opt/price\\\\$/run\" %u", true, "/opt/price$/run \"%1\""},
    {"backslash_inside_quotes", "\"/opt/a\\\\\\\\b\" %u", true, "/opt/a\\b \"%1\""},
    {"utf8_to_windows1252", "/opt/navegador-\xC3\xB1/run %u", true, "/opt/navegador-\xF1/run \"%1\""},
    {"blanks_and_tabs_around", "  browser\t%u  ", true, "browser \"%1\""},
    {"unclosed_quote", "\"browser %u", false, ""},
    {"empty", "", false, ""},
    {"blanks_only", " \t ", false, ""},
    {"only_dropped_fields", "%i %c", false, ""},
};

INSTANTIATE_TEST_SUITE_P(Exec, XdgMimeExec, ::testing::ValuesIn(kExecCases), CaseName<ExecCase>);

// Cut inside the quoted program the Exec value is malformed; cut after it, it is whole.
TEST(XdgMime, TruncatedExecIsReadSafely) {
    const std::string exec = "\"/opt/My Browser/run\" %u";
    const size_t closingQuote = exec.find('"', 1);
    for (size_t cut = 0; cut <= exec.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Exact text(exec.substr(0, cut));
        GrowableText command;
        bool ok = dedo::ExecToCommand(TextRange{text.begin(), text.end()}, command);
        EXPECT_EQ(ok, cut > closingQuote);
        if (ok) {
            EXPECT_TRUE(StartsWith(command.Chars(), "\"/opt/My Browser/run\"")) << command.Chars();
        }
    }
}

// ---------------------------------------------------------------------------
// The default application for text/html, from folders made for each case

const char* const kXdgVariables[] = {"HOME",          "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                     "XDG_DATA_HOME", "XDG_DATA_DIRS",   "XDG_CURRENT_DESKTOP"};

const char* const kFirefox = "[Desktop Entry]\nName=Firefox\nExec=firefox %u\n";
const char* const kChromium = "[Desktop Entry]\nExec=/usr/bin/chromium %U\n";
const char* const kHidden = "[Desktop Entry]\nExec=hidden %u\nHidden=true\n";
const char* const kNoExec = "[Desktop Entry]\nName=No Exec\n";

std::string Defaults(const char* ids) { return std::string("[Default Applications]\ntext/html=") + ids + "\n"; }

struct XdgCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // below the case's folder
    const char* currentDesktop;                              // null: unset
    bool homeOnly;  // XDG_CONFIG_HOME and XDG_DATA_HOME unset, so HOME decides
    dedo::XdgAnswer answer;
    const char* id;
    const char* command;
};
void PrintTo(const XdgCase& c, std::ostream* out) { *out << c.name; }

class XdgMimeDefault : public ::testing::TestWithParam<XdgCase> {
protected:
    void SetUp() override {
        for (const char* name : kXdgVariables) {
            const char* value = getenv(name);
            saved_.emplace_back(value != nullptr, value != nullptr ? value : "");
        }
        char pattern[] = "/tmp/xdg_mime_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        setenv("HOME", (root_ + "/home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (root_ + "/etc").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
        setenv("XDG_DATA_DIRS", (root_ + "/share").c_str(), 1);
        unsetenv("XDG_CURRENT_DESKTOP");
    }

    void TearDown() override {
        for (size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i].first) {
                setenv(kXdgVariables[i], saved_[i].second.c_str(), 1);
            } else {
                unsetenv(kXdgVariables[i]);
            }
        }
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }

    void Write(const std::string& relative, const std::string& text) {
        std::filesystem::path path = root_ + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    std::string root_;
    std::vector<std::pair<bool, std::string>> saved_;
};

TEST_P(XdgMimeDefault, FindsHtmlApplication) {
    const XdgCase& c = GetParam();
    for (const auto& file : c.files) Write(file.first, file.second);
    if (c.currentDesktop != nullptr) setenv("XDG_CURRENT_DESKTOP", c.currentDesktop, 1);
    if (c.homeOnly) {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
    }
    GrowableText id, command;
    dedo::XdgAnswer answer = dedo::FindHtmlApplication(id, command);
    ASSERT_EQ(static_cast<int>(answer), static_cast<int>(c.answer));
    if (c.answer == dedo::XdgAnswer::kFound) {
        EXPECT_STREQ(id.Chars(), c.id);
        EXPECT_STREQ(command.Chars(), c.command);
    }
}

using dedo::XdgAnswer;

const XdgCase kXdgCases[] = {
    {"default_from_config_home",
     {{"config/mimeapps.list", Defaults("firefox.desktop;")}, {"data/applications/firefox.desktop", kFirefox}},
     nullptr, false, XdgAnswer::kFound, "firefox.desktop", "firefox \"%1\""},
    {"missing_desktop_file_skipped",
     {{"config/mimeapps.list", Defaults("missing.desktop;firefox.desktop;")},
      {"data/applications/firefox.desktop", kFirefox}},
     nullptr, false, XdgAnswer::kFound, "firefox.desktop", "firefox \"%1\""},
    {"hidden_entry_skipped_entry_from_data_dirs",
     {{"config/mimeapps.list", Defaults("hidden.desktop;chromium.desktop")},
      {"data/applications/hidden.desktop", kHidden},
      {"share/applications/chromium.desktop", kChromium}},
     nullptr, false, XdgAnswer::kFound, "chromium.desktop", "/usr/bin/chromium \"%1\""},
    {"entry_without_exec_skipped",
     {{"config/mimeapps.list", Defaults("noexec.desktop;firefox.desktop")},
      {"data/applications/noexec.desktop", kNoExec},
      {"data/applications/firefox.desktop", kFirefox}},
     nullptr, false, XdgAnswer::kFound, "firefox.desktop", "firefox \"%1\""},
    {"added_associations_fallback",
     {{"config/mimeapps.list", Defaults("missing.desktop") + "[Added Associations]\ntext/html=chromium.desktop;\n"},
      {"data/applications/chromium.desktop", kChromium}},
     nullptr, false, XdgAnswer::kFound, "chromium.desktop", "/usr/bin/chromium \"%1\""},
    {"default_in_later_file_beats_added_association",
     {{"config/mimeapps.list", "[Added Associations]\ntext/html=firefox.desktop;\n"},
      {"etc/mimeapps.list", Defaults("chromium.desktop")},
      {"data/applications/firefox.desktop", kFirefox},
      {"data/applications/chromium.desktop", kChromium}},
     nullptr, false, XdgAnswer::kFound, "chromium.desktop", "/usr/bin/chromium \"%1\""},
    {"config_home_before_config_dirs",
     {{"config/mimeapps.list", Defaults("firefox.desktop")},
      {"etc/mimeapps.list", Defaults("chromium.desktop")},
      {"data/applications/firefox.desktop", kFirefox},
      {"data/applications/chromium.desktop", kChromium}},
     nullptr, false, XdgAnswer::kFound, "firefox.desktop", "firefox \"%1\""},
    {"desktop_own_list_first",
     {{"config/gnome-mimeapps.list", Defaults("chromium.desktop")},
      {"config/mimeapps.list", Defaults("firefox.desktop")},
      {"data/applications/firefox.desktop", kFirefox},
      {"data/applications/chromium.desktop", kChromium}},
     "X-Other:GNOME", false, XdgAnswer::kFound, "chromium.desktop", "/usr/bin/chromium \"%1\""},
    {"home_defaults",
     {{"home/.config/mimeapps.list", Defaults("firefox.desktop")},
      {"home/.local/share/applications/firefox.desktop", kFirefox}},
     nullptr, true, XdgAnswer::kFound, "firefox.desktop", "firefox \"%1\""},
    {"no_files", {}, nullptr, false, XdgAnswer::kNone, nullptr, nullptr},
    {"only_unusable_ids",
     {{"config/mimeapps.list", Defaults("missing.desktop;hidden.desktop")},
      {"data/applications/hidden.desktop", kHidden}},
     nullptr, false, XdgAnswer::kNone, nullptr, nullptr},
    {"other_type_only",
     {{"config/mimeapps.list", "[Default Applications]\ntext/plain=firefox.desktop\n"},
      {"data/applications/firefox.desktop", kFirefox}},
     nullptr, false, XdgAnswer::kNone, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Folders, XdgMimeDefault, ::testing::ValuesIn(kXdgCases), CaseName<XdgCase>);

// ---------------------------------------------------------------------------
// UTF-8 and windows-1252

struct CharCase {
    const char* name;
    std::string utf8;
    unsigned char out;
    size_t used;  // 0: any count from 1 to the sequence's length
};
void PrintTo(const CharCase& c, std::ostream* out) { *out << c.name; }

class CodePageDecode : public ::testing::TestWithParam<CharCase> {};

TEST_P(CodePageDecode, DecodesOneCharacter) {
    const CharCase& c = GetParam();
    Exact text(c.utf8);
    unsigned char out = 0;
    size_t used = dedo::DecodeToWindows1252(text.begin(), text.end(), &out);
    EXPECT_EQ(out, c.out);
    if (c.used != 0) {
        EXPECT_EQ(used, c.used);
    } else {
        EXPECT_GE(used, 1u);
        EXPECT_LE(used, c.utf8.size());
    }
}

const CharCase kCharCases[] = {
    {"ascii", "A", 'A', 1},
    {"latin1_two_bytes", "\xC3\xA9", 0xE9, 2},
    {"no_break_space", "\xC2\xA0", 0xA0, 2},
    {"euro_three_bytes", "\xE2\x82\xAC", 0x80, 3},
    {"s_caron_in_high_controls", "\xC5\xA0", 0x8A, 2},
    {"trade_mark", "\xE2\x84\xA2", 0x99, 3},
    {"y_diaeresis_capital", "\xC5\xB8", 0x9F, 2},
    {"c1_control_unused_in_1252", "\xC2\x81", '?', 2},
    {"cjk_unmappable", "\xE4\xB8\xAD", '?', 3},
    {"four_bytes_unmappable", "\xF0\x9F\x98\x80", '?', 4},
    {"cut_sequence_at_end", "\xE2\x82", '?', 1},
    {"cut_sequence_keeps_next_ascii", "\xC3" "A", '?', 1},
    {"lone_continuation", "\x80", '?', 1},
    {"invalid_lead", "\xFF", '?', 1},
    {"overlong", "\xC0\xAF", '?', 0},
    {"surrogate", "\xED\xA0\x80", '?', 0},
    {"beyond_unicode", "\xF4\x90\x80\x80", '?', 0},
};

INSTANTIATE_TEST_SUITE_P(Utf8, CodePageDecode, ::testing::ValuesIn(kCharCases), CaseName<CharCase>);

TEST(CodePage, AppendAsWindows1252ConvertsWholeText) {
    GrowableText text;
    ASSERT_TRUE(text.Assign("x:"));
    const std::string utf8 = Bytes("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xE4\xB8\xAD \xC3|\0z");
    Exact source(utf8);
    ASSERT_TRUE(dedo::AppendAsWindows1252(text, source.begin(), source.end()));
    // A zero inside the source must not end the text early.
    EXPECT_EQ(std::string(text.Chars(), text.Length()), "x:Gr\xFC\xDF" "e \x80 ? ?|?z");

    const size_t length = text.Length();
    Exact empty("");
    ASSERT_TRUE(dedo::AppendAsWindows1252(text, empty.begin(), empty.end()));
    EXPECT_EQ(text.Length(), length);
}

TEST(CodePage, AppendAsUtf8ConvertsAndRoundTrips) {
    GrowableText text;
    ASSERT_TRUE(text.Assign("x:"));
    ASSERT_TRUE(dedo::AppendAsUtf8(text, "Gr\xFC\xDF" "e \x80 \x99 \x81"));
    EXPECT_STREQ(text.Chars(), "x:Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xE2\x84\xA2 ?");

    // Every byte windows-1252 defines comes back unchanged.
    std::string all;
    for (int c = 1; c < 256; ++c) {
        if (c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) all += static_cast<char>(c);
    }
    GrowableText utf8, back;
    ASSERT_TRUE(dedo::AppendAsUtf8(utf8, all.c_str()));
    ASSERT_TRUE(dedo::AppendAsWindows1252(back, utf8.Chars(), utf8.Chars() + utf8.Length()));
    EXPECT_EQ(std::string(back.Chars(), back.Length()), all);
}

TEST(CodePage, FoldCaseAsWindows) {
    const struct {
        unsigned char in, out;
    } cases[] = {
        {'a', 'A'},   {'z', 'Z'},   {'A', 'A'},   {'`', '`'},   {'{', '{'},   {'@', '@'},   {0xE0, 0xC0},
        {0xE9, 0xC9}, {0xFE, 0xDE}, {0xF7, 0xF7}, {0xD7, 0xD7}, {0xDF, 0xDF}, {0xB5, 0xB5}, {0x9A, 0x8A},
        {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}, {0x8A, 0x8A}, {0x80, 0x80},
    };
    for (const auto& c : cases) EXPECT_EQ(dedo::FoldCase(c.in), c.out) << "byte " << int(c.in);
    // Folding twice changes nothing.
    for (int c = 0; c < 256; ++c) {
        unsigned char once = dedo::FoldCase(static_cast<unsigned char>(c));
        EXPECT_EQ(dedo::FoldCase(once), once) << "byte " << c;
    }
}

TEST(CodePage, SameNameComparesUtf8WithWindows1252) {
    const struct {
        const char* utf8;
        const char* name;
        bool same;
    } cases[] = {
        {"Caf\xC3\xA9", "CAF\xC9", true},
        {"\xC5\xA1koda", "\x8AKODA", true},
        {"General", "general", true},
        {"", "", true},
        {"abc", "abcd", false},
        {"abcd", "abc", false},
        {"", "a", false},
        {"a", "", false},
        {"Caf\xC3\xA9", "Cafe", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        Exact text(c.utf8);
        EXPECT_EQ(dedo::SameName(text.begin(), text.end(), c.name), c.same);
    }
}

}  // namespace
