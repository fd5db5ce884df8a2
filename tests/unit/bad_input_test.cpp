// Bad input at every export: null pointers, empty texts, overlong paths, odd
// key paths, huge values and files. Each gives a clear 0 or 1, never a crash,
// and loses nothing.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "browser_probe.h"
#include "embedded_resources.h"
#include "fake_platform.h"
#include "file_rename.h"
#include "page_builder.h"
#include "system_platform.h"
#include "test_heap.h"

using dedo::FakePlatform;

namespace {

const dedo::Module kModule = reinterpret_cast<dedo::Module>(0x20000000);
const char* const kKey = "Software\\Dedoru\\Bad";

void World(FakePlatform& p) {
    p.SetString(dedo::kClassesRoot, ".htm", "", "htmlfile");
    p.SetString(dedo::kClassesRoot, "htmlfile\\shell\\open\\command", "", "browser.exe \"%1\"");
    p.SetString(dedo::kLocalMachine, kKey, "name", "Bad Input");
    for (size_t i = 0; i < dedo::kEmbeddedResourceCount; ++i) {
        const dedo::EmbeddedResource& r = dedo::kEmbeddedResources[i];
        p.AddResource(kModule, r.id, r.type, std::string(reinterpret_cast<const char*>(r.bytes), r.size));
    }
    p.AddFolder("C:\\out");
}

struct RegisterCase {
    const char* name;
    const char* keyPath;
    std::string folder;  // "<null>" passes a null pointer
    const char* version;
    int answer;
    std::string pagePath;  // where the page must stand when the answer is 1
};
void PrintTo(const RegisterCase& c, std::ostream* out) { *out << c.name; }

class BadRegisterInput : public ::testing::TestWithParam<RegisterCase> {};

TEST_P(BadRegisterInput, AnswersClearlyAndLeavesNothingOpen) {
    const RegisterCase& c = GetParam();
    test_heap::Reset();
    {
        FakePlatform p;
        World(p);
        std::string longFolder = "C:\\" + std::string(300, 'f');
        p.AddFolder(longFolder);
        const char* folder = c.folder == "<null>" ? nullptr : c.folder.c_str();
        EXPECT_EQ(dedo::RegisterUser(p, kModule, c.keyPath, folder, c.version), c.answer);
        EXPECT_EQ(p.launches.size(), size_t(c.answer));
        if (c.answer == 1) {
            const FakePlatform::FileEntry* page = p.FindFile(c.pagePath);
            ASSERT_NE(page, nullptr) << c.pagePath;
            EXPECT_EQ(page->data.substr(page->data.size() - 7), "</HTML>");
            EXPECT_EQ(p.launches[0].file, c.pagePath);
        }
        EXPECT_EQ(p.OpenKeyCount(), 0u);
        EXPECT_EQ(p.OpenFileCount(), 0u);
    }
    EXPECT_EQ(test_heap::LiveBlocks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRegisterInput,
    ::testing::Values(
        RegisterCase{"null_key_path", nullptr, "C:\\out", "7", 1, "C:\\out\\ZelkDEro.htm"},
        RegisterCase{"null_folder_is_the_drive_root", kKey, "<null>", "7", 1, "\\ZelkDEro.htm"},
        RegisterCase{"null_version", kKey, "C:\\out", nullptr, 1, "C:\\out\\ZelkDEro.htm"},
        RegisterCase{"all_null", nullptr, "<null>", nullptr, 1, "\\ZelkDEro.htm"},
        RegisterCase{"all_empty", "", "", "", 1, "\\ZelkDEro.htm"},
        RegisterCase{"folder_longer_than_max_path", kKey, "C:\\" + std::string(300, 'f'), "7", 1,
                     "C:\\" + std::string(300, 'f') + "\\ZelkDEro.htm"},
        RegisterCase{"missing_folder_longer_than_max_path", kKey, "C:\\" + std::string(300, 'g'), "7", 0, ""},
        RegisterCase{"key_path_climbing_up", "..\\..\\Software", "C:\\out", "7", 1, "C:\\out\\ZelkDEro.htm"},
        RegisterCase{"key_path_of_separators", "\\\\\\", "C:\\out", "7", 1, "C:\\out\\ZelkDEro.htm"},
        RegisterCase{"key_path_with_controls_and_8_bit", "Soft\tware\x01\xE9\xFF", "C:\\out", "7", 1,
                     "C:\\out\\ZelkDEro.htm"},
        RegisterCase{"key_path_ending_in_a_separator", "S\\", "C:\\out", "7", 1, "C:\\out\\ZelkDEro.htm"}),
    [](const ::testing::TestParamInfo<RegisterCase>& info) { return std::string(info.param.name); });

TEST(BadInput, AVeryLongKeyPathIsJustAKeyThatIsNotThere) {
    FakePlatform p;
    World(p);
    std::string key(65536, 'k');
    EXPECT_EQ(dedo::RegisterUser(p, kModule, key.c_str(), "C:\\out", "7"), 1);
    EXPECT_EQ(p.FindFile("C:\\out\\ZelkDEro.htm")->data.find("Bad Input"), std::string::npos);
}

TEST(BadInput, AMegabyteValueIsWrittenWholeAndEscaped) {
    FakePlatform p;
    World(p);
    std::string name = std::string(1 << 20, 'n') + "\"<&>";
    p.SetString(dedo::kLocalMachine, kKey, "name", name);
    ASSERT_EQ(dedo::RegisterUser(p, kModule, kKey, "C:\\out", "7"), 1);
    const std::string& page = p.FindFile("C:\\out\\ZelkDEro.htm")->data;
    EXPECT_NE(page.find("VALUE=\"" + std::string(1 << 20, 'n') + "&quot;&lt;&amp;&gt;\""), std::string::npos);
}

TEST(BadInput, RenameWithNullOrEmptyNames) {
    struct Case {
        const char* from;
        const char* to;
        dedo::Dword error;
    };
    for (const Case& c : {Case{nullptr, "b", dedo::kErrorInvalidParameter}, Case{"a", nullptr, dedo::kErrorInvalidParameter},
                          Case{nullptr, nullptr, dedo::kErrorInvalidParameter}, Case{"", "b", dedo::kErrorFileNotFound}
                         }) {
        FakePlatform p;
        p.AddFile("a", "kept");
        EXPECT_EQ(dedo::RenameFile(p, c.from, c.to), 0);
        EXPECT_EQ(p.GetLastError(), c.error);
        EXPECT_EQ(p.FindFile("a")->data, "kept");
    }
}

// The same on the Linux platform, with real files.
class BadInputOnLinux : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dedoruru-bad-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        for (const char* name : {"DEDORURU_MACHINE_REGISTRY", "DEDORURU_USER_REGISTRY", "DEDORURU_WINDOWS_DIR"}) {
            const char* value = getenv(name);
            saved_.push_back({name, value != nullptr ? value : "\x01"});
        }
        setenv("DEDORURU_MACHINE_REGISTRY", (dir_ + "/machine.reg").c_str(), 1);
        setenv("DEDORURU_USER_REGISTRY", (dir_ + "/user.reg").c_str(), 1);
        setenv("DEDORURU_WINDOWS_DIR", dir_.c_str(), 1);
        std::ofstream(dir_ + "/user.reg") << "REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"P\"\n"
                                             "[HKEY_CLASSES_ROOT\\P\\shell\\open\\command]\n@=\"true \\\"%1\\\"\"\n";
    }
    void TearDown() override {
        for (const auto& entry : saved_) {
            if (entry.second == "\x01") unsetenv(entry.first.c_str()); else setenv(entry.first.c_str(), entry.second.c_str(), 1);
        }
        ASSERT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0);
    }
    std::string Page() const {
        std::ifstream in(dir_ + "/ZelkDEro.htm", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(BadInputOnLinux, ATenMegabyteProfileStillYieldsItsValue) {
    {
        std::ofstream ini(dir_ + "/ZelkDEro.ini", std::ios::binary);
        std::string filler = "; " + std::string(1000, 'x') + "\r\n";
        for (int i = 0; i < 10 * 1024; ++i) ini << filler;  // about 10 MB of comments first
        ini << "[User Demographics]\r\nCity=" << std::string(600, 'c') << "\r\n";
    }
    dedo::SystemPlatform p;
    ASSERT_EQ(dedo::RegisterUser(p, nullptr, kKey, dir_.c_str(), "7"), 1);
    EXPECT_NE(Page().find("NAME=\"City\" SIZE=25 MAXLENGTH=20 VALUE=\"" + std::string(511, 'c') + "\""), std::string::npos);
}

TEST_F(BadInputOnLinux, AMegabyteRegistryValueIsWrittenWhole) {
    std::ofstream(dir_ + "/machine.reg") << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" << kKey << "]\n\"company\"=\""
                                          << std::string(1 << 20, 'm') << "\"\n";
    dedo::SystemPlatform p;
    ASSERT_EQ(dedo::RegisterUser(p, nullptr, kKey, dir_.c_str(), "7"), 1);
    EXPECT_NE(Page().find("VALUE=\"" + std::string(1 << 20, 'm') + "\""), std::string::npos);
}

TEST_F(BadInputOnLinux, AFolderLongerThanTheSystemAllowsAnswersZero) {
    std::string folder = dir_ + "/" + std::string(5000, 'l');
    dedo::SystemPlatform p;
    EXPECT_EQ(dedo::RegisterUser(p, nullptr, kKey, folder.c_str(), "7"), 0);
    EXPECT_EQ(dedo::RenameFile(p, folder.c_str(), (folder + "x").c_str()), 0);
    EXPECT_NE(p.GetLastError(), 0u);
}

}  // namespace

namespace {

size_t OpenDescriptors() {
    size_t n = 0;
    if (FILE* listing = popen("ls /proc/self/fd 2>/dev/null | wc -l", "r")) {
        // popen's own descriptors appear in that listing too; only differences between calls count.
        if (fscanf(listing, "%zu", &n) != 1) n = 0;
        pclose(listing);
    }
    return n;
}

// Every allocation of a whole RegisterUser call on the Linux platform (its
// stores, profile, XDG lookups and launch included) is refused in turn. Each
// answers 0, or 1 with a complete page launched where the rules pass the
// failure over (a value that could not be read stays empty); nothing is left
// allocated or open, and only answers of 1 launched anything.
TEST_F(BadInputOnLinux, EveryRefusedAllocationOfTheLinuxPlatformGivesARuledAnswer) {
    std::ofstream(dir_ + "/machine.reg") << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" << kKey << "]\n\"name\"=\"Ann\"\n\"company\"=\"Co\"\n";
    std::ofstream(dir_ + "/ZelkDEro.ini") << "[User Demographics]\nCity=Springfield\n";
    std::ofstream(dir_ + "/record.sh") << "#!/bin/sh\necho \"$1\" >> '" << dir_ << "/launches'\n";
    ASSERT_EQ(system(("chmod +x '" + dir_ + "/record.sh'").c_str()), 0);
    std::ofstream(dir_ + "/user.reg") << "REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"P\"\n[HKEY_CLASSES_ROOT\\P\\shell\\open\\command]\n@=\"\\\""
                                      << dir_ << "/record.sh\\\" \\\"%1\\\"\"\n";
    test_heap::Reset();
    {
        dedo::SystemPlatform p;
        ASSERT_EQ(dedo::RegisterUser(p, nullptr, kKey, dir_.c_str(), "7"), 1);
    }
    const size_t allocations = test_heap::Allocations();
    ASSERT_GT(allocations, 20u);
    size_t ones = 1;  // the clean call's launch
    for (size_t n = 1; n <= allocations; ++n) {
        unlink((dir_ + "/ZelkDEro.htm").c_str());
        size_t before = OpenDescriptors();
        test_heap::Reset();
        int answer;
        {
            dedo::SystemPlatform p;
            test_heap::RefuseAllocation(n);
            answer = dedo::RegisterUser(p, nullptr, kKey, dir_.c_str(), "7");
        }
        EXPECT_TRUE(answer == 0 || answer == 1) << "allocation " << n;
        EXPECT_EQ(test_heap::LiveBlocks(), 0u) << "allocation " << n;
        EXPECT_EQ(OpenDescriptors(), before) << "allocation " << n;
        if (answer == 1) {
            ++ones;
            std::string page = Page();
            EXPECT_EQ(page.substr(page.size() < 7 ? 0 : page.size() - 7), "</HTML>") << "allocation " << n;
        }
    }
    // Launches are detached: give the last ones a moment, then count them.
    size_t launched = 0;
    for (int wait = 0; wait < 50; ++wait) {
        std::ifstream log(dir_ + "/launches");
        std::string line;
        launched = 0;
        while (std::getline(log, line)) ++launched;
        if (launched >= ones) break;
        usleep(20000);
    }
    usleep(100000);
    std::ifstream log(dir_ + "/launches");
    std::string line;
    launched = 0;
    while (std::getline(log, line)) ++launched;
    EXPECT_EQ(launched, ones) << "a launch for every answer of 1, and none for an answer of 0";
    std::printf("[          ] %zu allocations of the Linux platform refused in turn, %zu answers of 1\n", allocations, ones - 1);
}

}  // namespace
