#include "field_substitution.h"

#include <string.h>

#include "handles.h"

namespace dedo {

namespace {

enum class Source { kName, kCompany, kNothing, kProfile, kSerialNumber, kVersion };

struct FieldToken {
    const char* text;
    Dword length;
    Source source;
    const char* profileKeys[2];  // for kProfile: one or two keys, written back to back
};

// In index order. Every token starts with 'R' and holds no other 'R', and none
// begins another, so the first match is the only one.
constexpr FieldToken kFieldTokens[kFieldTokenCount] = {
    {"RegFullName", 11, Source::kName, {}},
    {"RegCompany", 10, Source::kCompany, {}},
    {"RegTitle", 8, Source::kNothing, {}},
    {"RegAddress1", 11, Source::kProfile, {"Address1"}},
    {"RegAddress2", 11, Source::kProfile, {"Mail Stop"}},
    {"RegCity", 7, Source::kProfile, {"City"}},
    {"RegState", 8, Source::kProfile, {"State"}},
    {"RegZip", 6, Source::kProfile, {"Zip"}},
    {"RegCountry", 10, Source::kProfile, {"Country"}},
    {"RegPhone", 8, Source::kProfile, {"PhoneArea", "Phone"}},
    {"RegFax", 6, Source::kProfile, {"FaxArea", "Fax"}},
    {"RegEmail", 8, Source::kProfile, {"EMailAddress"}},
    {"RegSerialNumber", 15, Source::kSerialNumber, {}},
    {"RegVer", 6, Source::kVersion, {}},
};

// Writes to the page until a write fails or falls short; after that it writes nothing more.
class PageWriter {
public:
    PageWriter(Platform& platform, File page) : platform_(platform), page_(page) {}
    bool Ok() const { return ok_; }

    void Write(const char* bytes, Dword count) {
        if (ok_) ok_ = WriteAll(platform_, page_, bytes, count);
    }

    // A value as the page must carry it: the characters that would end the
    // VALUE attribute or start markup become entities; nothing else changes.
    // A value with none of them is one write.
    void WriteValue(const char* value, Dword count) {
        Dword run = 0;
        for (Dword i = 0; i < count; ++i) {
            const char* entity = Entity(value[i]);
            if (entity == nullptr) continue;
            if (i > run) Write(value + run, i - run);
            Write(entity, static_cast<Dword>(strlen(entity)));
            run = i + 1;
        }
        if (count > run) Write(value + run, count - run);
    }

private:
    static const char* Entity(char c) {
        switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        default: return nullptr;
        }
    }

    Platform& platform_;
    File page_;
    bool ok_ = true;
};

void WriteText(PageWriter& writer, const GrowableText& text) {
    if (text.Length() > 0) writer.WriteValue(text.Chars(), static_cast<Dword>(text.Length()));
}

}  // namespace

int MatchFieldToken(const char* at, Dword remaining, Dword* length, int* index) {
    // Tokens are plain ASCII letters and digits, so a byte comparison agrees
    // with a comparison by characters in any multibyte code page.
    // Every token begins with "Reg": checking those bytes, and the fourth,
    // before any full comparison keeps the many words that begin with R cheap.
    // The first token in table order that matches is still the answer.
    if (remaining < kShortestTokenLength || at[1] != 'e' || at[2] != 'g') return 0;
    for (int k = 0; k < kFieldTokenCount; ++k) {
        const FieldToken& token = kFieldTokens[k];
        if (token.text[3] != at[3]) continue;
        if (token.length <= remaining && memcmp(at, token.text, token.length) == 0) {
            *length = token.length;
            *index = k;
            return 1;
        }
    }
    return 0;
}

bool SubstituteFields(Platform& platform, const char* formTemplate, Dword size, File page,
                      const RegistrantIdentity& identity, const char* versionText) {
    PageWriter writer(platform, page);
    char lookup[kDemographicBufferSize];  // every profile lookup of the page reuses it
    Dword mark = 0;                       // first template byte not yet written
    Dword position = 0;
    while (writer.Ok() && size - position >= kShortestTokenLength) {
        // Only an 'R' can start a token, and only where a whole shortest token still fits.
        const void* found = memchr(formTemplate + position, 'R', size - position - kShortestTokenLength + 1);
        if (found == nullptr) break;
        position = static_cast<Dword>(static_cast<const char*>(found) - formTemplate);
        Dword length = 0;
        int index = 0;
        if (MatchFieldToken(formTemplate + position, size - position, &length, &index) == 1) {
            if (mark < position) writer.Write(formTemplate + mark, position - mark);
            const FieldToken& token = kFieldTokens[index];
            switch (token.source) {
            case Source::kName: WriteText(writer, identity.name); break;
            case Source::kCompany: WriteText(writer, identity.company); break;
            case Source::kSerialNumber: WriteText(writer, identity.serialNumber); break;
            case Source::kNothing: break;
            case Source::kVersion:
                if (versionText != nullptr && versionText[0] != '\0')
                    writer.WriteValue(versionText, static_cast<Dword>(strlen(versionText)));
                break;
            case Source::kProfile:
                for (const char* key : token.profileKeys) {
                    if (key == nullptr) continue;
                    Dword count = ReadDemographic(platform, key, lookup);
                    if (count > 0) writer.WriteValue(lookup, count);
                }
                break;
            }
            mark = position + length;
        }
        ++position;  // a token holds no second 'R', so resuming inside it finds nothing
    }
    // The rest of the template, also when nothing is left: the page always ends with this write.
    writer.Write(formTemplate + mark, size - mark);
    return writer.Ok();
}

}  // namespace dedo
