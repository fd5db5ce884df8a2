// The Linux platform's files, registry stores and launch, against the real
// file system in a fresh folder: the Win32 meaning the library relies on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <utility>
#include <vector>
#include <string>

#include "handles.h"
#include "system_platform.h"

namespace {

std::string MakeTempDir(const char* base) {
    std::string pattern = std::string(base) + "/dedoruru-test-XXXXXX";
    char* made = mkdtemp(&pattern[0]);
    return made != nullptr ? std::string(made) : std::string();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeTempDir("/tmp");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { ASSERT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0); }
    // The library's spelling of a path: backslashes.
    std::string Win(const std::string& name) const {
        std::string path = dir_ + "\\" + name;
        for (char& c : path) c = c == '/' ? '\\' : c;
        return path;
    }
    std::string dir_;
    dedo::SystemPlatform p;
};

TEST_F(PosixFiles, CreateAlwaysReplacesAndWritesThroughBackslashPaths) {
    Write(dir_ + "/page.htm", "an old and longer page");
    dedo::File f = p.CreateFileA(Win("page.htm").c_str(), dedo::kGenericWrite, 0, dedo::kCreateAlways,
                                 dedo::kFileAttributeNormal);
    ASSERT_NE(f, dedo::kInvalidFile);
    EXPECT_EQ(p.GetLastError(), static_cast<dedo::Dword>(dedo::kErrorAlreadyExists));
    dedo::Dword written = 0;
    EXPECT_TRUE(p.WriteFile(f, "new", 3, &written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(p.CloseHandle(f));
    EXPECT_EQ(Read(dir_ + "/page.htm"), "new");
}

// A host may have closed its standard input: the page then gets descriptor 0.
TEST_F(PosixFiles, DescriptorZeroIsAnOpenFile) {
    int saved = dup(0);
    ASSERT_GE(saved, 0);
    close(0);
    {
        dedo::OpenFile file(p, p.CreateFileA(Win("page.htm").c_str(), dedo::kGenericWrite, 0, dedo::kCreateAlways,
                                             dedo::kFileAttributeNormal));
        EXPECT_EQ(file.Get().value, 0u);
        EXPECT_TRUE(file.IsOpen());
        EXPECT_TRUE(dedo::WriteAll(p, file.Get(), "zero", 4));
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(dup2(saved, 0), 0);
    close(saved);
    EXPECT_EQ(Read(dir_ + "/page.htm"), "zero");
}

TEST_F(PosixFiles, AFileHeldWithoutSharingIsNeitherDeletedNorReplaced) {
    Write(dir_ + "/page.htm", "held");
    int holder = open((dir_ + "/page.htm").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(p.DeleteFileA(Win("page.htm").c_str()));
    EXPECT_EQ(p.GetLastError(), static_cast<dedo::Dword>(dedo::kErrorSharingViolation));
    EXPECT_EQ(p.CreateFileA(Win("page.htm").c_str(), dedo::kGenericWrite, 0, dedo::kCreateAlways,
                            dedo::kFileAttributeNormal),
              dedo::kInvalidFile);
    EXPECT_EQ(p.GetLastError(), static_cast<dedo::Dword>(dedo::kErrorSharingViolation));
    EXPECT_EQ(Read(dir_ + "/page.htm"), "held");
    close(holder);

    // Our own handle without sharing holds the file the same way.
    dedo::File mine = p.CreateFileA(Win("page.htm").c_str(), dedo::kGenericWrite, 0, dedo::kCreateAlways,
                                    dedo::kFileAttributeNormal);
    ASSERT_NE(mine, dedo::kInvalidFile);
    dedo::SystemPlatform other;
    EXPECT_FALSE(other.DeleteFileA(Win("page.htm").c_str()));
    p.CloseHandle(mine);
    EXPECT_TRUE(other.DeleteFileA(Win("page.htm").c_str()));
}

TEST_F(PosixFiles, ReadOnlyIsKeptUntilAttributesAreMadeNormal) {
    Write(dir_ + "/ro.gif", "x");
    ASSERT_TRUE(p.SetFileAttributesA(Win("ro.gif").c_str(), dedo::kFileAttributeReadOnly));
    EXPECT_FALSE(p.DeleteFileA(Win("ro.gif").c_str()));
    EXPECT_EQ(p.GetLastError(), static_cast<dedo::Dword>(dedo::kErrorAccessDenied));
    ASSERT_TRUE(p.SetFileAttributesA(Win("ro.gif").c_str(), dedo::kFileAttributeNormal));
    EXPECT_TRUE(p.DeleteFileA(Win("ro.gif").c_str()));
    EXPECT_FALSE(Exists(dir_ + "/ro.gif"));
}

TEST_F(PosixFiles, MissingFilesAndFoldersGiveTheirWin32Errors) {
    struct Case {
        const char* name;
        dedo::Dword error;
    };
    for (const Case& c : {Case{"none.txt", dedo::kErrorFileNotFound}, Case{"nowhere\\none.txt", dedo::kErrorPathNotFound}}) {
        EXPECT_FALSE(p.DeleteFileA(Win(c.name).c_str())) << c.name;
        EXPECT_EQ(p.GetLastError(), c.error) << c.name;
        EXPECT_FALSE(p.SetFileAttributesA(Win(c.name).c_str(), dedo::kFileAttributeNormal)) << c.name;
        EXPECT_EQ(p.GetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(p.CreateFileA(Win("nowhere\\page.htm").c_str(), dedo::kGenericWrite, 0, dedo::kCreateAlways,
                            dedo::kFileAttributeNormal),
              dedo::kInvalidFile);
    EXPECT_EQ(p.GetLastError(), static_cast<dedo::Dword>(dedo::kErrorPathNotFound));
    EXPECT_FALSE(Exists(dir_ + "/nowhere"));
}

TEST_F(PosixFiles, AMoveNeverReplaces) {
    Write(dir_ + "/a.txt", "a");
    Write(dir_ + "/b.txt", "b");
    ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
    struct Case {
        const char* from;
        const char* to;
        bool moved;
        dedo::Dword error;
    };
    const Case cases[] = {
        {"a.txt", "b.txt", false, dedo::kErrorAlreadyExists},
        {"a.txt", "sub", false, dedo::kErrorAlreadyExists},
        {"none.txt", "c.txt", false, dedo::kErrorFileNotFound},
        {"a.txt", "nowhere\\c.txt", false, dedo::kErrorPathNotFound},
        {"a.txt", "sub\\a.txt", true, 0},
        {"sub", "folder", true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(p.MoveFileA(Win(c.from).c_str(), Win(c.to).c_str()), c.moved) << c.from << " -> " << c.to;
        if (!c.moved) {
            EXPECT_EQ(p.GetLastError(), c.error) << c.from << " -> " << c.to;
        }
    }
    EXPECT_EQ(Read(dir_ + "/b.txt"), "b");
    EXPECT_EQ(Read(dir_ + "/folder/a.txt"), "a");
}

TEST_F(PosixFiles, AFileMovesAcrossFileSystemsAFolderDoesNot) {
    std::string other = MakeTempDir("/dev/shm");
    if (other.empty()) GTEST_SKIP() << "no second file system at /dev/shm";
    Write(other + "/a.txt", "across");
    ASSERT_EQ(mkdir((other + "/folder").c_str(), 0755), 0);
    EXPECT_TRUE(p.MoveFileA((other + "/a.txt").c_str(), Win("a.txt").c_str()));
    EXPECT_EQ(Read(dir_ + "/a.txt"), "across");
    EXPECT_FALSE(Exists(other + "/a.txt"));
    EXPECT_FALSE(p.MoveFileA((other + "/folder").c_str(), Win("folder").c_str()));
    EXPECT_EQ(p.GetLastError(), 17u);  // ERROR_NOT_SAME_DEVICE
    EXPECT_TRUE(Exists(other + "/folder"));
    ASSERT_EQ(system(("rm -rf '" + other + "'").c_str()), 0);
}

// The registry and the launch read their stores and folders from the environment.
class PosixStores : public PosixFiles {
protected:
    void SetUp() override {
        PosixFiles::SetUp();
        for (const char* name : {"DEDORURU_MACHINE_REGISTRY", "DEDORURU_USER_REGISTRY", "XDG_CONFIG_HOME",
                                 "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"}) {
            const char* value = getenv(name);
            saved_.emplace_back(name, value != nullptr ? value : "\x01");
        }
        setenv("DEDORURU_MACHINE_REGISTRY", (dir_ + "/machine.reg").c_str(), 1);
        setenv("DEDORURU_USER_REGISTRY", (dir_ + "/user.reg").c_str(), 1);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
            setenv(name, (dir_ + "/xdg").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& entry : saved_) {
            if (entry.second == "\x01") unsetenv(entry.first.c_str()); else setenv(entry.first.c_str(), entry.second.c_str(), 1);
        }
        PosixFiles::TearDown();
    }
    std::string Default(dedo::Key root, const char* path, const char* value = nullptr) {
        dedo::SystemPlatform fresh;  // stores are read once per platform object
        dedo::Key key = dedo::kNoKey;
        if (fresh.RegOpenKeyExA(root, path, 0, dedo::kKeyRead, &key) != dedo::kErrorSuccess) return "<no key>";
        char buffer[256];
        dedo::Dword size = sizeof buffer;
        dedo::Status status = fresh.RegQueryValueExA(key, value, nullptr, reinterpret_cast<unsigned char*>(buffer), &size);
        fresh.RegCloseKey(key);
        return status == dedo::kErrorSuccess ? std::string(buffer, size) : "<no value>";
    }
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(PosixStores, EachRootReadsItsOwnStoreAndClassesPreferTheUsers) {
    Write(dir_ + "/machine.reg",
          "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"name\"=\"Z\xC3\xBCrich\"\r\n\r\n"
          "[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"MachineClass\"\r\n[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"TextClass\"\r\n");
    Write(dir_ + "/user.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"name\"=\"user\"\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"UserClass\"\n");
    EXPECT_EQ(Default(dedo::kLocalMachine, "software\\x", "NAME"), std::string("Z\xFCrich", 6) + '\0');
    EXPECT_EQ(Default(dedo::kCurrentUser, "Software\\X", "name"), std::string("user", 4) + '\0');
    EXPECT_EQ(Default(dedo::kClassesRoot, ".htm"), std::string("UserClass", 9) + '\0');
    EXPECT_EQ(Default(dedo::kClassesRoot, ".txt"), std::string("TextClass", 9) + '\0');
    EXPECT_EQ(Default(dedo::kCurrentUser, "Software\\Y"), "<no key>");
    EXPECT_EQ(Default(dedo::kLocalMachine, "Software\\X", "other"), "<no value>");

    // Missing stores are an empty registry.
    unlink((dir_ + "/machine.reg").c_str());
    unlink((dir_ + "/user.reg").c_str());
    EXPECT_EQ(Default(dedo::kLocalMachine, "Software\\X", "name"), "<no key>");
    EXPECT_EQ(Default(dedo::kClassesRoot, ".htm"), "<no key>");
}

TEST_F(PosixStores, WithoutAStoreKeyTheDesktopsDefaultAnswersForWebPages) {
    ASSERT_EQ(system(("mkdir -p '" + dir_ + "/xdg/applications'").c_str()), 0);
    Write(dir_ + "/xdg/mimeapps.list", "[Default Applications]\ntext/html=web.desktop;\n");
    Write(dir_ + "/xdg/applications/web.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/web/browser --new %U\n");
    EXPECT_EQ(Default(dedo::kClassesRoot, ".htm"), std::string("web.desktop", 11) + '\0');
    EXPECT_EQ(Default(dedo::kClassesRoot, "web.desktop\\shell\\open\\command"),
              std::string("/opt/web/browser --new \"%1\"") + '\0');
    EXPECT_EQ(Default(dedo::kClassesRoot, "other.desktop\\shell\\open\\command"), "<no key>");
    // A key in a store wins over the desktop.
    Write(dir_ + "/user.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"Mine\"\n");
    EXPECT_EQ(Default(dedo::kClassesRoot, ".htm"), std::string("Mine", 4) + '\0');
}

TEST_F(PosixStores, TheLaunchStartsTheAssociatedProgramWithThePage) {
    Write(dir_ + "/record.sh", "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > \"$(dirname \"$0\")/launched\"\n");
    chmod((dir_ + "/record.sh").c_str(), 0755);
    Write(dir_ + "/user.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"Page\"\n[HKEY_CLASSES_ROOT\\Page\\shell\\open\\command]\n@=\"\\\"" +
                                  dir_ + "/record.sh\\\" \\\"%1\\\" second\"\n");
    Write(dir_ + "/my page.htm", "<HTML></HTML>");
    EXPECT_GT(p.ShellExecuteA(nullptr, Win("my page.htm").c_str(), nullptr, nullptr, dedo::kShowMaximized), 32);
    for (int i = 0; i < 100 && !Exists(dir_ + "/launched"); ++i) usleep(20000);
    EXPECT_EQ(Read(dir_ + "/launched"), dir_ + "/my page.htm|second");

    dedo::SystemPlatform again;
    Write(dir_ + "/user.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"Page\"\n[HKEY_CLASSES_ROOT\\Page\\shell\\open\\command]\n@=\"/no/such/program %1\"\n");
    EXPECT_LE(again.ShellExecuteA(nullptr, Win("my page.htm").c_str(), nullptr, nullptr, dedo::kShowMaximized), 32)
        << "a program that cannot start is no launch";
    dedo::SystemPlatform none;
    unlink((dir_ + "/user.reg").c_str());
    EXPECT_LE(none.ShellExecuteA(nullptr, Win("my page.htm").c_str(), nullptr, nullptr, dedo::kShowMaximized), 32);
}

}  // namespace
