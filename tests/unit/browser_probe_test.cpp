#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "browser_probe.h"
#include "fake_platform.h"
#include "test_heap.h"

using dedo::FakePlatform;
using dedo::kClassesRoot;

namespace {

const std::string kCommandKey = "htmlfile\\shell\\open\\command";
const std::string kCommand = "\"C:\\Program Files\\Browser\\browser.exe\" \"%1\"";

void RegisterBrowser(FakePlatform& p) {
    p.SetString(kClassesRoot, ".htm", "", "htmlfile");
    p.SetString(kClassesRoot, kCommandKey, "", kCommand);
}

// Every open asked for KEY_READ with no options, no more than one key was open
// at a time, and none is open now.
void ExpectKeysHandledCleanly(const FakePlatform& p) {
    EXPECT_EQ(p.OpenKeyCount(), 0u) << "a key was left open";
    EXPECT_LE(p.MostKeysOpenAtOnce(), 1u);
    for (dedo::Dword access : p.KeyAccessRequests()) EXPECT_EQ(access, dedo::kKeyRead);
    for (dedo::Dword options : p.KeyOpenOptions()) EXPECT_EQ(options, 0u);
}

size_t CountOpens(const FakePlatform& p) {
    size_t n = 0;
    for (const auto& call : p.Calls()) n += call.name == "RegOpenKeyExA";
    return n;
}

struct ProbeCase {
    const char* name;
    std::function<void(FakePlatform&)> setup;
    int expected;
    std::string expectedCommand;  // checked when the answer is 1
    size_t expectedOpens;
};

void PrintTo(const ProbeCase& c, std::ostream* out) { *out << c.name; }

class ProbeTable : public ::testing::TestWithParam<ProbeCase> {
protected:
    void SetUp() override { test_heap::Reset(); }
};

TEST_P(ProbeTable, AnswersFromTheAssociations) {
    const ProbeCase& c = GetParam();
    {
        FakePlatform p;
        c.setup(p);
        dedo::GrowableText command;
        int result = dedo::GetBrowserCommand(p, command);
        EXPECT_EQ(result, c.expected);
        if (c.expected == 1) {
            EXPECT_EQ(std::string(command.Chars(), command.Length()), c.expectedCommand);
        }
        EXPECT_EQ(CountOpens(p), c.expectedOpens);
        ExpectKeysHandledCleanly(p);
    }

    FakePlatform again;
    c.setup(again);
    EXPECT_EQ(dedo::IsBrowserAvail(again), c.expected);
    ExpectKeysHandledCleanly(again);
    EXPECT_EQ(test_heap::LiveBlocks(), 0u);
}

const std::string kBare = "browser.exe %1";

INSTANTIATE_TEST_SUITE_P(
    Cases, ProbeTable,
    ::testing::Values(
        ProbeCase{"registered", RegisterBrowser, 1, kCommand, 2},
        ProbeCase{"no_htm_key", [](FakePlatform& p) { p.SetString(kClassesRoot, kCommandKey, "", kBare); }, 0, "",
                  1},
        ProbeCase{"htm_default_not_set",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.RemoveValue(kClassesRoot, ".htm", "");
                      p.SetString(kClassesRoot, ".htm", "Content Type", "text/html");
                  },
                  0, "", 1},
        ProbeCase{"htm_default_empty",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.SetString(kClassesRoot, ".htm", "", "");
                  },
                  0, "", 1},
        ProbeCase{"htm_default_starts_with_zero",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.SetValue(kClassesRoot, ".htm", "", dedo::kRegSz, std::string("\0htmlfile\0", 10));
                  },
                  0, "", 1},
        ProbeCase{"htm_default_of_zero_bytes",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.SetValue(kClassesRoot, ".htm", "", dedo::kRegSz, "");
                  },
                  0, "", 1},
        ProbeCase{"open_succeeds_without_a_key",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.OpenYieldsNoKey(kClassesRoot, ".htm");
                  },
                  0, "", 1},
        ProbeCase{"class_has_no_command_key",
                  [](FakePlatform& p) {
                      p.SetString(kClassesRoot, ".htm", "", "htmlfile");
                      p.AddKey(kClassesRoot, "htmlfile\\shell\\open");
                  },
                  0, "", 2},
        ProbeCase{"command_default_not_set",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.RemoveValue(kClassesRoot, kCommandKey, "");
                      p.SetString(kClassesRoot, kCommandKey, "DelegateExecute", "{guid}");
                  },
                  0, "", 2},
        ProbeCase{"command_default_empty",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.SetString(kClassesRoot, kCommandKey, "", "");
                  },
                  1, "", 2},
        ProbeCase{"command_under_another_verb_only",
                  [](FakePlatform& p) {
                      p.SetString(kClassesRoot, ".htm", "", "htmlfile");
                      p.SetString(kClassesRoot, "htmlfile\\shell", "", "edit");
                      p.SetString(kClassesRoot, "htmlfile\\shell\\edit\\command", "", kBare);
                  },
                  0, "", 2},
        ProbeCase{"associated_under_html_only",
                  [](FakePlatform& p) {
                      p.SetString(kClassesRoot, ".html", "", "htmlfile");
                      p.SetString(kClassesRoot, kCommandKey, "", kBare);
                  },
                  0, "", 1},
        ProbeCase{"values_stored_without_zero",
                  [](FakePlatform& p) {
                      p.SetValue(kClassesRoot, ".htm", "", dedo::kRegSz, "htmlfile");
                      p.SetValue(kClassesRoot, kCommandKey, "", dedo::kRegSz, kBare);
                  },
                  1, kBare, 2},
        ProbeCase{"command_cut_at_embedded_zero",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.SetValue(kClassesRoot, kCommandKey, "", dedo::kRegSz, std::string("open.exe\0junk\0", 14));
                  },
                  1, "open.exe", 2},
        ProbeCase{"type_is_not_examined",
                  [](FakePlatform& p) {
                      p.SetValue(kClassesRoot, ".htm", "", dedo::kRegBinary, "htmlfile");
                      p.SetValue(kClassesRoot, kCommandKey, "", dedo::kRegDword, std::string("ab\0\0", 4));
                  },
                  1, "ab", 2},
        ProbeCase{"class_name_used_untrimmed",
                  [](FakePlatform& p) {
                      RegisterBrowser(p);
                      p.SetString(kClassesRoot, ".htm", "", "htmlfile ");
                  },
                  0, "", 2},
        ProbeCase{"no_length_limit",
                  [](FakePlatform& p) {
                      std::string longClass(3000, 'k');
                      p.SetString(kClassesRoot, ".htm", "", longClass);
                      p.SetString(kClassesRoot, longClass + "\\shell\\open\\command", "", std::string(100000, 'c'));
                  },
                  1, std::string(100000, 'c'), 2}),
    [](const ::testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

TEST(Probe, ClosesTheExtensionKeyBeforeOpeningTheCommandKey) {
    FakePlatform p;
    RegisterBrowser(p);
    dedo::GrowableText command;
    ASSERT_EQ(dedo::GetBrowserCommand(p, command), 1);
    std::vector<std::string> expected = {"RegOpenKeyExA", "RegQueryValueExA", "RegQueryValueExA", "RegCloseKey",
                                         "RegOpenKeyExA", "RegQueryValueExA", "RegQueryValueExA", "RegCloseKey"};
    EXPECT_EQ(p.CallNames(), expected);
    EXPECT_EQ(p.Calls()[0].detail, "hkcr\\.htm access=0x20019");
    EXPECT_EQ(p.Calls()[4].detail, "hkcr\\htmlfile\\shell\\open\\command access=0x20019");
    EXPECT_EQ(p.Calls()[1].detail, "\"\" size");
}

TEST(Probe, ValueThatGrowsBetweenSizeAndReadAnswersZero) {
    for (size_t readCall : {3u, 7u}) {  // the two data reads of the registered case
        FakePlatform p;
        RegisterBrowser(p);
        // One byte more than the size that was asked for: the read must not take it.
        p.BeforeCall(readCall, [&p] {
            p.SetValue(kClassesRoot, ".htm", "", dedo::kRegSz, std::string("htmlfile\0", 10));
            p.SetString(kClassesRoot, kCommandKey, "", kCommand + "x");
        });
        dedo::GrowableText command;
        EXPECT_EQ(dedo::GetBrowserCommand(p, command), 0) << "read call " << readCall;
        ExpectKeysHandledCleanly(p);
    }
}

// Every platform call of the registered case fails in turn: the answer is 0,
// except where only a close failed (its result is not examined), and every key
// is closed all the same.
TEST(Probe, EveryFailingCallAnswersZeroAndClosesEveryKey) {
    FakePlatform clean;
    RegisterBrowser(clean);
    ASSERT_EQ(dedo::IsBrowserAvail(clean), 1);
    const size_t calls = clean.CallCount();
    ASSERT_EQ(calls, 8u);
    for (size_t k = 1; k <= calls; ++k) {
        for (dedo::Dword error : {dedo::kErrorAccessDenied, dedo::kErrorFileNotFound, dedo::kErrorMoreData}) {
            FakePlatform p;
            RegisterBrowser(p);
            p.FailCall(k, error);
            int expected = clean.Calls()[k - 1].name == "RegCloseKey" ? 1 : 0;
            EXPECT_EQ(dedo::IsBrowserAvail(p), expected) << "call " << k << " (" << clean.Calls()[k - 1].name
                                                         << ") failing with " << error;
            ExpectKeysHandledCleanly(p);
        }
    }
}

// Every allocation of the registered case is refused in turn: the answer is 0,
// no key is left open and no block is left behind.
TEST(Probe, EveryRefusedAllocationAnswersZeroAndReleasesEverything) {
    test_heap::Reset();
    {
        FakePlatform p;
        RegisterBrowser(p);
        ASSERT_EQ(dedo::IsBrowserAvail(p), 1);
    }
    const size_t allocations = test_heap::Allocations();
    ASSERT_GE(allocations, 3u);  // the class name, the key path and the command
    for (size_t n = 1; n <= allocations; ++n) {
        test_heap::Reset();
        FakePlatform p;
        RegisterBrowser(p);
        test_heap::RefuseAllocation(n);
        EXPECT_EQ(dedo::IsBrowserAvail(p), 0) << "allocation " << n << " refused";
        ExpectKeysHandledCleanly(p);
        EXPECT_EQ(test_heap::LiveBlocks(), 0u);
    }
}

}  // namespace
