#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "field_substitution.h"

using dedo::FakePlatform;

namespace {

const char* const kPagePath = "C:\\out\\ZelkDEro.htm";

void SetDemographic(FakePlatform& p, const std::string& key, const std::string& value) {
    p.SetProfileString("ZelkDEro.ini", "User Demographics", key, value);
}

void FullProfile(FakePlatform& p) {
    SetDemographic(p, "Address1", "1 Main St");
    SetDemographic(p, "Mail Stop", "Suite 2");
    SetDemographic(p, "City", "Springfield");
    SetDemographic(p, "State", "IL");
    SetDemographic(p, "Zip", "62701");
    SetDemographic(p, "Country", "USA");
    SetDemographic(p, "PhoneArea", "555");
    SetDemographic(p, "Phone", "0100");
    SetDemographic(p, "FaxArea", "556");
    SetDemographic(p, "Fax", "0101");
    SetDemographic(p, "EMailAddress", "jane@dedoru.example");
}

struct Outcome {
    bool ok;
    std::string page;
    size_t writes = 0;
    size_t lookups = 0;
};

// Streams `formTemplate` into a fresh page file of the fake and reports what reached it.
Outcome Substitute(FakePlatform& p, const std::string& formTemplate, const char* versionText = "7.00.116",
                   const char* name = "Jane Doe", const char* company = "Acme", const char* serial = "SN1") {
    dedo::RegistrantIdentity identity;
    EXPECT_TRUE(identity.name.Assign(name) && identity.company.Assign(company) &&
                identity.serialNumber.Assign(serial));
    p.AddFolder("C:\\out");
    dedo::File file = p.CreateFileA(kPagePath, dedo::kGenericWrite, 0, dedo::kCreateAlways, dedo::kFileAttributeNormal);
    size_t first = p.Calls().size();
    Outcome outcome;
    outcome.ok = dedo::SubstituteFields(p, formTemplate.data(), static_cast<dedo::Dword>(formTemplate.size()), file,
                                        identity, versionText);
    p.CloseHandle(file);
    outcome.page = p.FindFile(kPagePath)->data;
    for (size_t i = first; i < p.Calls().size(); ++i) {
        outcome.writes += p.Calls()[i].name == "WriteFile";
        outcome.lookups += p.Calls()[i].name == "GetPrivateProfileStringA";
    }
    return outcome;
}

struct TemplateCase {
    const char* name;
    std::string formTemplate;
    std::string page;
};
void PrintTo(const TemplateCase& c, std::ostream* out) { *out << c.name; }

class TemplateTable : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTable, TemplateBecomesThePage) {
    FakePlatform p;
    FullProfile(p);
    Outcome outcome = Substitute(p, GetParam().formTemplate);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.page, GetParam().page);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateTable,
    ::testing::Values(
        TemplateCase{"empty", "", ""},
        TemplateCase{"shorter_than_any_token", "RegZi", "RegZi"},
        TemplateCase{"token_is_the_whole_template", "RegZip", "62701"},
        TemplateCase{"token_ends_at_the_last_byte", "zip: RegZip", "zip: 62701"},
        TemplateCase{"token_cut_off_by_the_end", "city: RegCit", "city: RegCit"},
        TemplateCase{"words_that_are_no_tokens", "Registration Form, Register Now, Reg, R", "Registration Form, Register Now, Reg, R"},
        TemplateCase{"tokens_are_case_sensitive", "regcity REGCITY RegCity", "regcity REGCITY Springfield"},
        TemplateCase{"token_inside_a_longer_word", "xRegCityy", "xSpringfieldy"},
        TemplateCase{"tokens_back_to_back", "RegCityRegStateRegZip", "SpringfieldIL62701"},
        TemplateCase{"an_R_before_a_token", "RegRegCity", "RegSpringfield"},
        TemplateCase{"title_always_disappears", "[RegTitle]", "[]"},
        TemplateCase{"area_and_number_back_to_back", "RegPhone/RegFax", "5550100/5560101"},
        TemplateCase{"identity_and_version", "RegFullName|RegCompany|RegSerialNumber|RegVer",
                     "Jane Doe|Acme|SN1|7.00.116"},
        TemplateCase{"the_other_profile_fields", "RegAddress1|RegAddress2|RegCountry|RegEmail",
                     "1 Main St|Suite 2|USA|jane@dedoru.example"},
        TemplateCase{"in_an_attribute", "<INPUT NAME=\"City\" VALUE=\"RegCity\">",
                     "<INPUT NAME=\"City\" VALUE=\"Springfield\">"}),
    [](const ::testing::TestParamInfo<TemplateCase>& info) { return std::string(info.param.name); });

TEST(Substitution, MissingValuesRemoveTheirTokens) {
    FakePlatform p;
    SetDemographic(p, "Phone", "0100");  // no area code, no fax at all
    Outcome outcome = Substitute(p, "[RegPhone][RegFax][RegCity][RegVer][RegFullName][RegCompany][RegSerialNumber]",
                                 nullptr, "", "", "");
    EXPECT_EQ(outcome.page, "[0100][][][][][][]");

    FakePlatform again;
    EXPECT_EQ(Substitute(again, "[RegVer]", "").page, "[]");
}

TEST(Substitution, ValuesAreEscapedAndOtherwiseUnchanged) {
    FakePlatform p;
    SetDemographic(p, "City", "<script>alert(1)</script>");
    Outcome outcome = Substitute(p, "<INPUT VALUE=\"RegFullName\"><INPUT VALUE=\"RegCity\">", "v",
                                 "  Jane \"JJ\" O'Neil & Sons \xE9  ");
    EXPECT_EQ(outcome.page,
              "<INPUT VALUE=\"  Jane &quot;JJ&quot; O'Neil &amp; Sons \xE9  \">"
              "<INPUT VALUE=\"&lt;script&gt;alert(1)&lt;/script&gt;\">");
}

TEST(Substitution, WritesRunsAndValuesEachInOneWrite) {
    FakePlatform p;
    FullProfile(p);
    Outcome outcome = Substitute(p, "ab RegCity cd RegPhone");
    EXPECT_EQ(outcome.page, "ab Springfield cd 5550100");
    // "ab ", the city, " cd ", the area, the number, and the closing write of nothing.
    EXPECT_EQ(outcome.writes, 6u);

    FakePlatform empty;
    Outcome nothing = Substitute(empty, "");
    EXPECT_EQ(nothing.writes, 1u);  // the final write, of zero bytes
    EXPECT_EQ(nothing.lookups, 0u);
}

TEST(Substitution, EveryOccurrenceLooksTheProfileUpAfresh) {
    FakePlatform p;
    SetDemographic(p, "City", "First");
    dedo::RegistrantIdentity identity;
    p.AddFolder("C:\\out");
    dedo::File file = p.CreateFileA(kPagePath, dedo::kGenericWrite, 0, dedo::kCreateAlways, dedo::kFileAttributeNormal);
    // Change the profile between the two lookups: the second occurrence shows the new value.
    p.BeforeCall(p.CallCount() + 3, [&p] { SetDemographic(p, "City", "Second"); });
    std::string formTemplate = "RegCity RegCity";
    ASSERT_TRUE(dedo::SubstituteFields(p, formTemplate.data(), static_cast<dedo::Dword>(formTemplate.size()), file,
                                       identity, nullptr));
    p.CloseHandle(file);
    EXPECT_EQ(p.FindFile(kPagePath)->data, "First Second");
}

TEST(Substitution, StopsAtTheFirstFailedOrShortWrite) {
    const std::string formTemplate = "ab RegCity cd RegZip ef";
    for (size_t badWrite = 1; badWrite <= 5; ++badWrite) {
        FakePlatform p;
        FullProfile(p);
        size_t writes = 0;
        // Fail the badWrite-th WriteFile: find its call number from a clean run's log.
        FakePlatform clean;
        FullProfile(clean);
        Substitute(clean, formTemplate);
        size_t callNumber = 0;
        for (size_t i = 0; i < clean.Calls().size(); ++i) {
            if (clean.Calls()[i].name == "WriteFile" && ++writes == badWrite) callNumber = i + 1;
        }
        ASSERT_NE(callNumber, 0u);
        p.FailCall(callNumber, 112);
        Outcome outcome = Substitute(p, formTemplate);
        EXPECT_FALSE(outcome.ok) << "write " << badWrite;
        EXPECT_EQ(outcome.writes, badWrite) << "writes went on after the failed one";
    }

    FakePlatform full;
    FullProfile(full);
    full.diskSpace = 5;
    Outcome outcome = Substitute(full, formTemplate);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.page, "ab Sp");
    EXPECT_EQ(outcome.writes, 2u);
}

TEST(MatchFieldToken, NeedsTheWholeTokenWithinTheRemainingBytes) {
    dedo::Dword length = 0;
    int index = -1;
    EXPECT_EQ(dedo::MatchFieldToken("RegSerialNumber", 15, &length, &index), 1);
    EXPECT_EQ(length, 15u);
    EXPECT_EQ(index, 12);
    EXPECT_EQ(dedo::MatchFieldToken("RegSerialNumber", 14, &length, &index), 0);
    EXPECT_EQ(dedo::MatchFieldToken("RegVerX", 7, &length, &index), 1);
    EXPECT_EQ(index, 13);
    EXPECT_EQ(dedo::MatchFieldToken("RegistrationX", 13, &length, &index), 0);
}

}  // namespace
