#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fake_platform.h"
#include "registrant_profile.h"
#include "test_heap.h"

using dedo::FakePlatform;
using dedo::kCurrentUser;
using dedo::kLocalMachine;

namespace {

const char* const kKey = "Software\\Dedoru\\Registration";

std::string Str(const dedo::GrowableText& text) { return std::string(text.Chars(), text.Length()); }

struct IdentityCase {
    const char* name;
    std::function<void(FakePlatform&)> setup;
    int answer;
    std::string fullName, company, serial;
};
void PrintTo(const IdentityCase& c, std::ostream* out) { *out << c.name; }

class IdentityTable : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityTable, FillsTheRecordFromOneRoot) {
    const IdentityCase& c = GetParam();
    test_heap::Reset();
    {
        FakePlatform p;
        c.setup(p);
        dedo::RegistrantIdentity identity;
        EXPECT_EQ(dedo::ReadRegistrantIdentity(p, kKey, identity), c.answer);
        EXPECT_EQ(Str(identity.name), c.fullName);
        EXPECT_EQ(Str(identity.company), c.company);
        EXPECT_EQ(Str(identity.serialNumber), c.serial);
        EXPECT_EQ(p.OpenKeyCount(), 0u);
        EXPECT_LE(p.MostKeysOpenAtOnce(), 1u);
        for (dedo::Dword access : p.KeyAccessRequests()) EXPECT_EQ(access, dedo::kKeyRead);
    }
    EXPECT_EQ(test_heap::LiveBlocks(), 0u);
}

void FullUnder(FakePlatform& p, dedo::Key root, const std::string& tag) {
    p.SetString(root, kKey, "name", "Name " + tag);
    p.SetString(root, kKey, "company", "Company " + tag);
    p.SetString(root, kKey, "Serial Number", "SN-" + tag);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IdentityTable,
    ::testing::Values(
        IdentityCase{"local_machine", [](FakePlatform& p) { FullUnder(p, kLocalMachine, "LM"); }, 1, "Name LM",
                     "Company LM", "SN-LM"},
        IdentityCase{"current_user_only", [](FakePlatform& p) { FullUnder(p, kCurrentUser, "CU"); }, 1, "Name CU",
                     "Company CU", "SN-CU"},
        IdentityCase{"both_roots_never_merged",
                     [](FakePlatform& p) {
                         FullUnder(p, kCurrentUser, "CU");
                         p.SetString(kLocalMachine, kKey, "name", "Name LM");
                     },
                     1, "Name LM", "", ""},
        IdentityCase{"key_without_values", [](FakePlatform& p) { p.AddKey(kLocalMachine, kKey); }, 1, "", "", ""},
        IdentityCase{"missing_under_both",
                     [](FakePlatform& p) { p.SetString(kLocalMachine, "Software\\Other", "name", "x"); }, 0, "", "",
                     ""},
        IdentityCase{"key_path_used_unchanged",
                     [](FakePlatform& p) { p.SetString(kLocalMachine, std::string(kKey) + " ", "name", "spaced"); },
                     0, "", "", ""},
        IdentityCase{"zero_in_the_middle",
                     [](FakePlatform& p) {
                         p.SetValue(kLocalMachine, kKey, "name", dedo::kRegSz, std::string("Jane\0Doe\0", 9));
                     },
                     1, "Jane", "", ""},
        IdentityCase{"string_without_zero",
                     [](FakePlatform& p) { p.SetValue(kLocalMachine, kKey, "company", dedo::kRegSz, "Acme"); }, 1,
                     "", "Acme", ""},
        IdentityCase{"value_of_zero_bytes",
                     [](FakePlatform& p) { p.SetValue(kLocalMachine, kKey, "name", dedo::kRegSz, ""); }, 1, "", "",
                     ""},
        IdentityCase{"other_types_read_as_bytes",
                     [](FakePlatform& p) {
                         p.SetValue(kLocalMachine, kKey, "Serial Number", dedo::kRegDword, std::string("7\0\0\0", 4));
                         p.SetValue(kLocalMachine, kKey, "company", dedo::kRegBinary, "Bin\xE9");
                     },
                     1, "", "Bin\xE9", "7"}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.name); });

TEST(Identity, RefusedMemoryAnswersOutOfMemoryWithTheKeyClosed) {
    for (size_t n = 1; n <= 3; ++n) {
        test_heap::Reset();
        {
            FakePlatform p;
            FullUnder(p, kLocalMachine, "LM");
            dedo::RegistrantIdentity identity;
            test_heap::RefuseAllocation(n);
            EXPECT_EQ(dedo::ReadRegistrantIdentity(p, kKey, identity), dedo::kOutOfMemory) << n;
            EXPECT_EQ(p.OpenKeyCount(), 0u);
        }
        EXPECT_EQ(test_heap::LiveBlocks(), 0u);
    }
}

struct DemographicCase {
    const char* name;
    std::function<void(FakePlatform&)> setup;
    std::string expected;
};
void PrintTo(const DemographicCase& c, std::ostream* out) { *out << c.name; }

class DemographicTable : public ::testing::TestWithParam<DemographicCase> {};

TEST_P(DemographicTable, LooksUpOneKey) {
    const DemographicCase& c = GetParam();
    FakePlatform p;
    c.setup(p);
    char buffer[dedo::kDemographicBufferSize];
    dedo::Dword count = dedo::ReadDemographic(p, "City", buffer);
    EXPECT_EQ(std::string(buffer, count), c.expected);
    EXPECT_EQ(buffer[count], '\0');
    ASSERT_EQ(p.Calls().size(), 1u);
    EXPECT_EQ(p.Calls()[0].detail, "[User Demographics] City in ZelkDEro.ini");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemographicTable,
    ::testing::Values(
        DemographicCase{"present", [](FakePlatform& p) { p.SetProfileString("ZelkDEro.ini", "User Demographics", "City", "Springfield"); }, "Springfield"},
        DemographicCase{"no_file", [](FakePlatform&) {}, ""},
        DemographicCase{"other_section", [](FakePlatform& p) { p.SetProfileString("ZelkDEro.ini", "Other", "City", "x"); }, ""},
        DemographicCase{"other_file", [](FakePlatform& p) { p.SetProfileString("Other.ini", "User Demographics", "City", "x"); }, ""},
        DemographicCase{"exactly_511_bytes", [](FakePlatform& p) { p.SetProfileString("ZelkDEro.ini", "User Demographics", "City", std::string(511, 'a')); }, std::string(511, 'a')},
        DemographicCase{"512_bytes_cut_to_511", [](FakePlatform& p) { p.SetProfileString("ZelkDEro.ini", "User Demographics", "City", std::string(511, 'a') + "b"); }, std::string(511, 'a')},
        DemographicCase{"failed_read_gives_the_empty_default", [](FakePlatform& p) {
            p.SetProfileString("ZelkDEro.ini", "User Demographics", "City", "x");
            p.FailCall(1);
        }, ""}),
    [](const ::testing::TestParamInfo<DemographicCase>& info) { return std::string(info.param.name); });

}  // namespace
