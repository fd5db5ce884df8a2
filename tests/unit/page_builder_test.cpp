#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "embedded_resources.h"
#include "fake_platform.h"
#include "page_builder.h"
#include "test_heap.h"

using dedo::FakePlatform;

namespace {

const dedo::Module kModule = reinterpret_cast<dedo::Module>(0x10000000);
const char* const kKey = "Software\\Dedoru\\Registration";
const char* const kVersion = "7.00.116";
const char* const kFiles[] = {"ZelkDEro.htm", "ProdReg.jpg", "ProdArro.gif", "ProdReq.gif"};

std::string Resource(unsigned id) {
    for (size_t i = 0; i < dedo::kEmbeddedResourceCount; ++i) {
        const dedo::EmbeddedResource& r = dedo::kEmbeddedResources[i];
        if (r.id == id) return std::string(reinterpret_cast<const char*>(r.bytes), r.size);
    }
    return "";
}

const std::map<std::string, std::string> kProfile = {
    {"Address1", "100 Main Street"}, {"Mail Stop", "Suite 200"}, {"City", "Springfield"},
    {"State", "IL"},                 {"Zip", "62701"},           {"Country", "USA"},
    {"PhoneArea", "555"},            {"Phone", "555-0100"},      {"FaxArea", "555"},
    {"Fax", "555-0101"},             {"EMailAddress", "jane@dedoru.example"}};

struct Registrant {
    std::string name = "Jane \"JJ\" Doe", company = "Acme & Sons <Ltd>", serial = "DW7-0001-2345";
};

// The world of a machine with a browser, a registrant and the library's resources.
void Populate(FakePlatform& p, const Registrant& r = Registrant(), unsigned withoutResource = 0) {
    p.SetString(dedo::kClassesRoot, ".htm", "", "htmlfile");
    p.SetString(dedo::kClassesRoot, "htmlfile\\shell\\open\\command", "", "browser.exe \"%1\"");
    p.SetString(dedo::kLocalMachine, kKey, "name", r.name);
    p.SetString(dedo::kLocalMachine, kKey, "company", r.company);
    p.SetString(dedo::kLocalMachine, kKey, "Serial Number", r.serial);
    for (const auto& entry : kProfile) p.SetProfileString("ZelkDEro.ini", "User Demographics", entry.first, entry.second);
    for (unsigned id : {129u, 131u, 132u, 133u})
        if (id != withoutResource) p.AddResource(kModule, id, "HTMLFILE", Resource(id));
    p.AddFolder("C:\\out");
}

std::string Escaped(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// The page as it must be: deliberately naive, one search and replace per token.
std::string ExpectedPage(const Registrant& r, const std::string& version, bool withProfile = true) {
    auto profile = [&](const char* key) { return withProfile ? kProfile.at(key) : std::string(); };
    const std::pair<std::string, std::string> values[] = {
        {"RegFullName", r.name},
        {"RegCompany", r.company},
        {"RegTitle", ""},
        {"RegAddress1", profile("Address1")},
        {"RegAddress2", profile("Mail Stop")},
        {"RegCity", profile("City")},
        {"RegState", profile("State")},
        {"RegZip", profile("Zip")},
        {"RegCountry", profile("Country")},
        {"RegPhone", profile("PhoneArea") + profile("Phone")},
        {"RegFax", profile("FaxArea") + profile("Fax")},
        {"RegEmail", profile("EMailAddress")},
        {"RegSerialNumber", r.serial},
        {"RegVer", version},
    };
    std::string page = Resource(129);
    for (const auto& v : values) {
        std::string quoted = "\"" + v.first + "\"";
        size_t at = page.find(quoted);
        EXPECT_NE(at, std::string::npos) << v.first;
        if (at != std::string::npos) page.replace(at, quoted.size(), "\"" + Escaped(v.second) + "\"");
    }
    return page;
}

std::string Content(const FakePlatform& p, const std::string& path) {
    const FakePlatform::FileEntry* file = p.FindFile(path);
    return file != nullptr ? file->data : "<missing>";
}

void ExpectNothingLeftOpen(const FakePlatform& p) {
    EXPECT_EQ(p.OpenKeyCount(), 0u);
    EXPECT_EQ(p.OpenFileCount(), 0u);
    EXPECT_LE(p.MostKeysOpenAtOnce(), 1u);
    for (dedo::Dword access : p.KeyAccessRequests()) EXPECT_EQ(access, dedo::kKeyRead);
}

void ExpectImagesWritten(const FakePlatform& p, const std::string& folder) {
    EXPECT_EQ(Content(p, folder + "ProdReg.jpg"), Resource(132));
    EXPECT_EQ(Content(p, folder + "ProdArro.gif"), Resource(131));
    EXPECT_EQ(Content(p, folder + "ProdReq.gif"), Resource(133));
}

class PageBuilder : public ::testing::Test {
protected:
    void SetUp() override { test_heap::Reset(); }
    void TearDown() override { EXPECT_EQ(test_heap::LiveBlocks(), 0u) << "a text was not released"; }
};

TEST_F(PageBuilder, WritesThePageAndItsImagesAndLaunchesThePageMaximized) {
    FakePlatform p;
    Populate(p);
    EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 1);
    EXPECT_EQ(Content(p, "C:\\out\\ZelkDEro.htm"), ExpectedPage(Registrant(), kVersion));
    ExpectImagesWritten(p, "C:\\out\\");
    for (const char* name : kFiles) EXPECT_EQ(p.FindFile(std::string("C:\\out\\") + name)->attributes, dedo::kFileAttributeNormal);
    ASSERT_EQ(p.launches.size(), 1u);
    EXPECT_EQ(p.launches[0].verb, "");
    EXPECT_EQ(p.launches[0].file, "C:\\out\\ZelkDEro.htm");
    EXPECT_EQ(p.launches[0].parameters, "");
    EXPECT_EQ(p.launches[0].directory, "");
    EXPECT_EQ(p.launches[0].show, dedo::kShowMaximized);
    ExpectNothingLeftOpen(p);
}

TEST_F(PageBuilder, PreparesFindsCreatesAndWritesEachFileInTurn) {
    FakePlatform p;
    Populate(p);
    ASSERT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 1);
    std::vector<std::string> fileCalls;
    size_t imageWrites = 0;
    bool inImage = false;
    for (const auto& call : p.Calls()) {
        if (call.name == "WriteFile") {
            imageWrites += inImage;
            continue;
        }
        if (call.name.rfind("Reg", 0) == 0 || call.name == "GetPrivateProfileStringA") continue;
        fileCalls.push_back(call.name + " " + call.detail);
        if (call.name == "CreateFileA") inImage = call.detail.find(".htm") == std::string::npos;
        if (call.name == "CloseHandle") inImage = false;
    }
    std::vector<std::string> expected;
    const std::pair<const char*, const char*> order[] = {
        {"ZelkDEro.htm", "129"}, {"ProdReg.jpg", "132"}, {"ProdArro.gif", "131"}, {"ProdReq.gif", "133"}};
    for (const auto& file : order) {
        std::string path = std::string("C:\\out\\") + file.first;
        expected.push_back("SetFileAttributesA " + path + " 0x80");
        expected.push_back("DeleteFileA " + path);
        expected.push_back(std::string("FindResourceA ") + file.second + " HTMLFILE");
        expected.push_back("SizeofResource ");
        expected.push_back("LoadResource ");
        expected.push_back("LockResource ");
        expected.push_back("CreateFileA " + path + " access=0x40000000 share=0x0 disposition=0x2 attributes=0x80");
        expected.push_back("CloseHandle ");
    }
    expected.push_back("ShellExecuteA C:\\out\\ZelkDEro.htm show=3");
    EXPECT_EQ(fileCalls, expected);
    EXPECT_EQ(imageWrites, 3u) << "each image in one write";
}

struct PathCase {
    const char* name;
    const char* folder;
    const char* expectedFolder;  // where the four files land, with its separator
};
void PrintTo(const PathCase& c, std::ostream* out) { *out << c.name; }
class PathRule : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathRule, FormsEachPathFromTheFolder) {
    const PathCase& c = GetParam();
    FakePlatform p;
    Populate(p);
    p.AddFolder("C:\\out/");
    ASSERT_EQ(dedo::RegisterUser(p, kModule, kKey, c.folder, kVersion), 1);
    std::string folder = c.expectedFolder;
    EXPECT_EQ(Content(p, folder + "ZelkDEro.htm"), ExpectedPage(Registrant(), kVersion));
    ExpectImagesWritten(p, folder);
    ASSERT_EQ(p.launches.size(), 1u);
    EXPECT_EQ(p.launches[0].file, folder + "ZelkDEro.htm");
}

INSTANTIATE_TEST_SUITE_P(Cases, PathRule,
                         ::testing::Values(PathCase{"without_trailing_backslash", "C:\\out", "C:\\out\\"},
                                           PathCase{"with_trailing_backslash", "C:\\out\\", "C:\\out\\"},
                                           PathCase{"forward_slash_is_no_separator", "C:\\out/", "C:\\out/\\"},
                                           PathCase{"empty_folder_is_the_drive_root", "", "\\"},
                                           PathCase{"null_folder_is_the_drive_root", nullptr, "\\"}),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

void AddLeftovers(FakePlatform& p, dedo::Dword attributes = dedo::kFileAttributeNormal) {
    for (const char* name : kFiles) p.AddFile(std::string("C:\\out\\") + name, std::string("old ") + name, attributes);
}

TEST_F(PageBuilder, WithoutABrowserTouchesNothing) {
    FakePlatform p;
    Populate(p);
    AddLeftovers(p);
    p.RemoveKey(dedo::kClassesRoot, ".htm");
    EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 0);
    for (const char* name : kFiles) EXPECT_EQ(Content(p, std::string("C:\\out\\") + name), std::string("old ") + name);
    for (const auto& call : p.Calls()) EXPECT_EQ(call.name.rfind("Reg", 0), 0u) << call.name << " called";
    EXPECT_TRUE(p.launches.empty());
    ExpectNothingLeftOpen(p);
}

TEST_F(PageBuilder, ReplacesReadOnlyLeftoversWithNormalFiles) {
    FakePlatform p;
    Populate(p);
    AddLeftovers(p, dedo::kFileAttributeReadOnly | 0x02 /* hidden */);
    EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out\\", kVersion), 1);
    EXPECT_EQ(Content(p, "C:\\out\\ZelkDEro.htm"), ExpectedPage(Registrant(), kVersion));
    ExpectImagesWritten(p, "C:\\out\\");
    for (const char* name : kFiles) EXPECT_EQ(p.FindFile(std::string("C:\\out\\") + name)->attributes, dedo::kFileAttributeNormal);
}

TEST_F(PageBuilder, AStalePageHeldByAnotherProgramIsNeverLaunched) {
    FakePlatform p;
    Populate(p);
    AddLeftovers(p);
    p.FindFile("C:\\out\\ZelkDEro.htm")->heldByOtherProgram = true;
    EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 0);
    EXPECT_EQ(Content(p, "C:\\out\\ZelkDEro.htm"), "old ZelkDEro.htm");
    EXPECT_TRUE(p.launches.empty());
    ExpectNothingLeftOpen(p);
}

TEST_F(PageBuilder, AFolderThatDoesNotExistIsNotCreatedAndNothingLaunched) {
    FakePlatform p;
    Populate(p);
    EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\missing", kVersion), 0);
    EXPECT_FALSE(p.HasFolder("C:\\missing"));
    EXPECT_FALSE(p.HasFile("C:\\missing\\ZelkDEro.htm"));
    EXPECT_TRUE(p.launches.empty());
    ExpectNothingLeftOpen(p);
}

TEST_F(PageBuilder, MissingIdentityVersionAndProfileStillGiveACompletePage) {
    struct Case {
        const char* keyPath;
        const char* version;
    };
    for (const Case& c : {Case{nullptr, nullptr}, Case{"Software\\Nobody", ""}, Case{kKey, nullptr}}) {
        FakePlatform p;
        Populate(p);
        bool known = c.keyPath != nullptr && std::string(c.keyPath) == kKey;
        EXPECT_EQ(dedo::RegisterUser(p, kModule, c.keyPath, "C:\\out", c.version), 1);
        Registrant expected = known ? Registrant() : Registrant{"", "", ""};
        EXPECT_EQ(Content(p, "C:\\out\\ZelkDEro.htm"), ExpectedPage(expected, ""));
        EXPECT_EQ(p.launches.size(), 1u);
    }
    FakePlatform noProfile;
    Populate(noProfile);
    FakePlatform bare;  // the same world without the profile file
    bare.SetString(dedo::kClassesRoot, ".htm", "", "htmlfile");
    bare.SetString(dedo::kClassesRoot, "htmlfile\\shell\\open\\command", "", "b.exe");
    for (unsigned id : {129u, 131u, 132u, 133u}) bare.AddResource(kModule, id, "HTMLFILE", Resource(id));
    bare.AddFolder("C:\\out");
    EXPECT_EQ(dedo::RegisterUser(bare, kModule, kKey, "C:\\out", kVersion), 1);
    EXPECT_EQ(Content(bare, "C:\\out\\ZelkDEro.htm"), ExpectedPage(Registrant{"", "", ""}, kVersion, false));
}

TEST_F(PageBuilder, ASecondCallReplacesTheFirstCallsFiles) {
    FakePlatform p;
    Populate(p);
    ASSERT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", "1.0"), 1);
    ASSERT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 1);
    EXPECT_EQ(Content(p, "C:\\out\\ZelkDEro.htm"), ExpectedPage(Registrant(), kVersion));
    ExpectImagesWritten(p, "C:\\out\\");
    EXPECT_EQ(p.launches.size(), 2u);
}

// A resource that cannot be had stops the call: the files before it are
// written, its own leftover is deleted, the ones after it are untouched.
TEST_F(PageBuilder, AMissingResourceStopsTheCallWithoutLaunching) {
    const unsigned order[] = {129, 132, 131, 133};
    for (size_t missing = 0; missing < 4; ++missing) {
        FakePlatform p;
        Populate(p, Registrant(), order[missing]);
        AddLeftovers(p);
        EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 0) << order[missing];
        for (size_t i = 0; i < 4; ++i) {
            std::string path = std::string("C:\\out\\") + kFiles[i];
            if (i < missing)
                EXPECT_EQ(Content(p, path), i == 0 ? ExpectedPage(Registrant(), kVersion) : Resource(order[i])) << path;
            else if (i == missing)
                EXPECT_FALSE(p.HasFile(path)) << path;
            else
                EXPECT_EQ(Content(p, path), std::string("old ") + kFiles[i]) << path;
        }
        EXPECT_TRUE(p.launches.empty());
        ExpectNothingLeftOpen(p);
    }
}

TEST_F(PageBuilder, ARefusedLaunchAnswersZeroWithTheFilesWritten) {
    FakePlatform p;
    Populate(p);
    p.launchResult = 31;  // no association
    EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 0);
    EXPECT_EQ(Content(p, "C:\\out\\ZelkDEro.htm"), ExpectedPage(Registrant(), kVersion));
    ExpectImagesWritten(p, "C:\\out\\");
}

TEST_F(PageBuilder, AShortWriteIsNeverLaunched) {
    const size_t page = ExpectedPage(Registrant(), kVersion).size();
    const size_t all = page + Resource(131).size() + Resource(132).size() + Resource(133).size();
    // Short in the page, in the banner, and by one byte in the last image.
    for (size_t space : {size_t(0), size_t(100), page + 2000, all - 1}) {
        FakePlatform p;
        Populate(p);
        p.diskSpace = space;
        EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 0) << space;
        EXPECT_TRUE(p.launches.empty());
        ExpectNothingLeftOpen(p);
    }
}

// The calls whose failure the rules pass over: a leftover that cannot be made
// deletable or deleted, a profile or identity value that cannot be read, a
// key that does not close. Every other failure answers 0 and launches nothing.
bool FailureIsPassedOver(const std::string& name, size_t callNumber, size_t probeCalls) {
    if (callNumber <= probeCalls) return name == "RegCloseKey";
    return name == "SetFileAttributesA" || name == "DeleteFileA" || name == "GetPrivateProfileStringA" ||
           name.rfind("Reg", 0) == 0;
}

TEST_F(PageBuilder, EveryFailingCallGivesTheRuledAnswerAndLeavesNothingOpen) {
    FakePlatform clean;
    Populate(clean);
    AddLeftovers(clean);
    ASSERT_EQ(dedo::RegisterUser(clean, kModule, kKey, "C:\\out", kVersion), 1);
    const size_t calls = clean.CallCount();
    const size_t probeCalls = 8;
    ASSERT_EQ(clean.Calls()[probeCalls].detail.rfind("hklm\\", 0), 0u) << "the probe ends at call 8";
    size_t injected = 0;
    for (size_t k = 1; k <= calls; ++k) {
        FakePlatform p;
        Populate(p);
        AddLeftovers(p);
        p.FailCall(k, dedo::kErrorAccessDenied);
        const std::string& name = clean.Calls()[k - 1].name;
        int expected = FailureIsPassedOver(name, k, probeCalls) ? 1 : 0;
        int result = dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion);
        ++injected;
        EXPECT_EQ(result, expected) << "call " << k << " " << name << " " << clean.Calls()[k - 1].detail;
        EXPECT_EQ(p.launches.size(), size_t(result)) << "call " << k;
        if (result == 1) {
            const std::string page = Content(p, "C:\\out\\ZelkDEro.htm");
            EXPECT_EQ(page.substr(page.size() - 7), "</HTML>") << "call " << k;
            ExpectImagesWritten(p, "C:\\out\\");
        }
        ExpectNothingLeftOpen(p);
    }
    EXPECT_EQ(injected, calls);
    std::cout << "[          ] " << injected << " platform call failures injected into RegisterUser\n";
}

TEST_F(PageBuilder, EveryRefusedAllocationAnswersZeroAndReleasesEverything) {
    {
        FakePlatform p;
        Populate(p);
        ASSERT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 1);
    }
    const size_t allocations = test_heap::Allocations();
    ASSERT_GE(allocations, 8u);
    for (size_t n = 1; n <= allocations; ++n) {
        test_heap::Reset();
        {
            FakePlatform p;
            Populate(p);
            test_heap::RefuseAllocation(n);
            EXPECT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", kVersion), 0) << "allocation " << n;
            EXPECT_TRUE(p.launches.empty());
            ExpectNothingLeftOpen(p);
        }
        EXPECT_EQ(test_heap::LiveBlocks(), 0u) << "allocation " << n;
    }
}

}  // namespace
