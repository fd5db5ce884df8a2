// The form and images as the library carries them: the rules the page, the
// registration server and the substitution rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "embedded_resources.h"

namespace {

std::string Resource(unsigned id) {
    for (size_t i = 0; i < dedo::kEmbeddedResourceCount; ++i) {
        const dedo::EmbeddedResource& r = dedo::kEmbeddedResources[i];
        if (r.id == id && std::string(r.type) == "HTMLFILE") return std::string(reinterpret_cast<const char*>(r.bytes), r.size);
    }
    ADD_FAILURE() << "no resource " << id;
    return "";
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

const char* const kTokens[] = {"RegFullName", "RegCompany", "RegTitle",   "RegAddress1",    "RegAddress2",
                               "RegCity",     "RegState",   "RegZip",     "RegCountry",     "RegPhone",
                               "RegFax",      "RegEmail",   "RegSerialNumber", "RegVer"};

TEST(FormTemplate, IsPlainTextIn54CrLfLinesEndingWithTheClosingTag) {
    std::string form = Resource(129);
    std::vector<std::string> lines = Lines(form);
    EXPECT_EQ(lines.size(), 54u);
    for (unsigned char c : form) {
        ASSERT_TRUE(c < 0x80 && c != '\t' && c != '\0') << "byte " << int(c);
    }
    for (const std::string& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    EXPECT_EQ(lines.back(), "</HTML>");
}

TEST(FormTemplate, CarriesEachTokenOnceAsAWholeValueWithRegVerFirst) {
    std::string form = Resource(129);
    size_t first = std::string::npos;
    for (const char* token : kTokens) {
        EXPECT_EQ(Count(form, token), 1u) << token;
        EXPECT_EQ(Count(form, std::string("VALUE=\"") + token + "\""), 1u) << token;
        first = std::min(first, form.find(token));
    }
    EXPECT_EQ(first, form.find("RegVer"));
}

TEST(FormTemplate, PostsEveryFieldToTheRegistrationServer) {
    std::string form = Resource(129);
    // An absolute address on a reserved host, with the server's path.
    const std::string prefix = "<FORM METHOD=\"POST\" ACTION=\"https://";
    size_t action = form.find(prefix);
    ASSERT_NE(action, std::string::npos);
    size_t host = action + prefix.size();
    std::string address = form.substr(host, form.find('"', host) - host);  // host and path
    EXPECT_EQ(Count(form, "<FORM "), 1u);
    EXPECT_NE(address.find(".example/"), std::string::npos) << address;
    EXPECT_EQ(address.substr(address.find('/')), "/cgi-bin/prodreg.pl") << address;
    const char* const hidden[][2] = {
        {"thankURL", "TYprdreg.htm"},
        {"required", "Contact, Company, Address1, City, State, Zip, Country, Phone1,Fax"},
        {"ver_num", "RegVer"},
        {"cs3_Rectype", "P"},
        {"cs3_Contact", "Product Registration"},
        {"cs3_ContSupRef", "Electronic Product Registration"},
        {"cs1_Rectype", "P"},
        {"cs1_Contact", "Internet Address"},
        {"cs2_Rectype", "P"},
        {"cs2_Contact", "AA Serial#"},
    };
    for (const auto& field : hidden) {
        EXPECT_EQ(Count(form, std::string("<INPUT TYPE=\"HIDDEN\" NAME=\"") + field[0] + "\" VALUE=\"" + field[1] + "\">"), 1u)
            << field[0];
    }
    const std::string mailPrefix = "<INPUT TYPE=\"HIDDEN\" NAME=\"email_to\" VALUE=\"";
    size_t mail = form.find(mailPrefix);
    ASSERT_NE(mail, std::string::npos);
    size_t start = mail + mailPrefix.size();
    std::string to = form.substr(start, form.find('"', start) - start);
    EXPECT_TRUE(to.find('@') != std::string::npos && to.size() > 8 && to.substr(to.size() - 8) == ".example") << to;
    EXPECT_EQ(Count(form, "<INPUT TYPE=\"SUBMIT\" VALUE=\" Register Now \">"), 1u);
}

TEST(FormTemplate, FieldRowsInOrderWithTheirMarkers) {
    struct Row {
        const char* label;
        const char* name;
        int maxLength;
        const char* token;
        const char* marker;  // what follows the input: nothing, the marker, or the marker with its ALT text
    };
    const std::string mark = "<IMG SRC=\"ProdReq.gif\" HEIGHT=14 WIDTH=18 BORDER=0>";
    const std::string markAlt = "<IMG SRC=\"ProdReq.gif\" HEIGHT=14 WIDTH=18 BORDER=0 ALT=\"Required\">";
    const Row rows[] = {
        {"Full Name:", "Contact", 30, "RegFullName", "m"},   {"Company:", "Company", 30, "RegCompany", "a"},
        {"Title:", "Title", 30, "RegTitle", ""},             {"Address 1:", "Address1", 45, "RegAddress1", "m"},
        {"Address 2:", "Address2", 30, "RegAddress2", ""},   {"City:", "City", 20, "RegCity", "m"},
        {"State:", "State", 3, "RegState", "m"},             {"Zip/Postal Code:", "Zip", 10, "RegZip", "m"},
        {"Country:", "Country", 20, "RegCountry", "m"},      {"Phone:", "Phone1", 30, "RegPhone", "m"},
        {"Fax:", "Fax", 30, "RegFax", "m"},                  {"Email:", "cs1_ContSupRef", 60, "RegEmail", "m"},
        {"Product Serial #:", "cs2_ContSupRef", 14, "RegSerialNumber", "m"},
    };
    std::string form = Resource(129);
    size_t previous = 0;
    for (const Row& row : rows) {
        std::string input = std::string("<B>") + row.label + "</B>";
        size_t at = form.find(input);
        ASSERT_NE(at, std::string::npos) << row.label;
        EXPECT_GT(at, previous) << row.label << " out of order";
        previous = at;
        std::string field = std::string("<INPUT TYPE=\"TEXT\" NAME=\"") + row.name + "\" SIZE=25 MAXLENGTH=" +
                            std::to_string(row.maxLength) + " VALUE=\"" + row.token + "\">";
        std::string marker = row.marker[0] == 'm' ? mark : row.marker[0] == 'a' ? markAlt : "</FONT>";
        EXPECT_EQ(form.find(field + marker, at), form.find(field, at)) << row.label;
        EXPECT_NE(form.find(field, at), std::string::npos) << row.label;
    }
    EXPECT_EQ(Count(form, "ALT=\"Required\""), 1u);
}

TEST(FormTemplate, NamesItsImagesExactlyAsTheFilesAreWritten) {
    std::string form = Resource(129);
    EXPECT_EQ(Count(form, "SRC=\"ProdReg.jpg\" HEIGHT=55 WIDTH=610 BORDER=0"), 1u);
    EXPECT_EQ(Count(form, "SRC=\"ProdReq.gif\" HEIGHT=14 WIDTH=18 BORDER=0"), 12u);
    EXPECT_EQ(Count(form, "SRC=\"ProdArro.gif\" HEIGHT=17 WIDTH=7 BORDER=0"), 3u);
    EXPECT_EQ(Count(form, "<IMG "), 16u);
    EXPECT_EQ(Count(form, "<HR ALIGN=\"CENTER\" WIDTH=610 SIZE=2>"), 4u);
    EXPECT_EQ(Count(form, "<HR"), 4u);
    EXPECT_EQ(Count(form, " - Product Registration Form</TITLE>"), 1u);
    EXPECT_EQ(form.find("<TITLE>") + 7 < form.find(" - Product Registration Form</TITLE>"), true) << "the maker's name comes first";
}

unsigned Le16(const std::string& b, size_t at) { return unsigned(uint8_t(b[at])) | unsigned(uint8_t(b[at + 1])) << 8; }
unsigned Be16(const std::string& b, size_t at) { return unsigned(uint8_t(b[at])) << 8 | unsigned(uint8_t(b[at + 1])); }

TEST(FormImages, GifsHaveTheirVersionsSizesPalettesAndInterlacing) {
    struct Gif {
        unsigned id;
        const char* version;
        unsigned width, height, paletteEntries;
        bool interlaced;
    };
    for (const Gif& g : {Gif{131, "GIF87a", 7, 17, 256, false}, Gif{133, "GIF89a", 18, 14, 16, true}}) {
        std::string gif = Resource(g.id);
        ASSERT_GT(gif.size(), 13u);
        EXPECT_EQ(gif.substr(0, 6), g.version);
        EXPECT_EQ(Le16(gif, 6), g.width);
        EXPECT_EQ(Le16(gif, 8), g.height);
        uint8_t packed = uint8_t(gif[10]);
        ASSERT_TRUE(packed & 0x80) << "no global palette";
        EXPECT_EQ(2u << (packed & 7), g.paletteEntries);
        size_t descriptor = 13 + 3 * g.paletteEntries;
        ASSERT_EQ(gif[descriptor], ',') << "the image must follow the palette, without extensions";
        EXPECT_EQ((uint8_t(gif[descriptor + 9]) & 0x40) != 0, g.interlaced);
        EXPECT_EQ(gif.back(), ';');
    }
}

TEST(FormImages, BannerIsABaselineJfifOf600By55WithHalvedChroma) {
    std::string jpeg = Resource(132);
    ASSERT_EQ(Be16(jpeg, 0), 0xFFD8u);
    ASSERT_EQ(Be16(jpeg, 2), 0xFFE0u);
    EXPECT_EQ(jpeg.substr(6, 5), std::string("JFIF\0", 5));
    EXPECT_EQ(Be16(jpeg, 11), 0x0101u);  // version 1.01
    EXPECT_EQ(jpeg[13], 1);              // dots per inch
    EXPECT_EQ(Be16(jpeg, 14), 72u);
    EXPECT_EQ(Be16(jpeg, 16), 72u);
    // Walk the segments to the frame header: it must be baseline (SOF0).
    size_t at = 2;
    auto isFrame = [&](size_t i) {
        uint8_t m = uint8_t(jpeg[i + 1]);
        return (m & 0xF0) == 0xC0 && m != 0xC4 && m != 0xC8 && m != 0xCC;
    };
    while (at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF && !isFrame(at)) at += 2 + Be16(jpeg, at + 2);
    ASSERT_LT(at + 17, jpeg.size());
    EXPECT_EQ(Be16(jpeg, at), 0xFFC0u) << "not baseline";
    EXPECT_EQ(jpeg[at + 4], 8);           // 8-bit samples
    EXPECT_EQ(Be16(jpeg, at + 5), 55u);   // height
    EXPECT_EQ(Be16(jpeg, at + 7), 600u);  // width
    ASSERT_EQ(jpeg[at + 9], 3);           // Y, Cb, Cr
    EXPECT_EQ(uint8_t(jpeg[at + 11]), 0x22);  // luma sampled 2 x 2 ...
    EXPECT_EQ(uint8_t(jpeg[at + 14]), 0x11);  // ... so chroma is halved both ways
    EXPECT_EQ(uint8_t(jpeg[at + 17]), 0x11);
}

}  // namespace
