// An in-memory platform for the unit tests: a registry with typed values,
// profile files, a file system with attributes and share locks, module
// resources and a launch recorder. It logs every call, keeps count of what is
// open, and can make any chosen call fail with a chosen error.
//
// Paths, key paths and value names compare without regard to case, as on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace dedo {

class FakePlatform final : public Platform {
public:
    FakePlatform();

    // ---- the world ---------------------------------------------------------
    struct Value {
        Dword type;
        std::string data;  // the bytes exactly as stored
    };
    // Creates the key and its parents.
    void AddKey(Key root, const std::string& path);
    void RemoveKey(Key root, const std::string& path);
    // An empty name is the key's default value. Adds the key when it is missing.
    void SetValue(Key root, const std::string& path, const std::string& name, Dword type, const std::string& data);
    // A string value as Windows stores it: with its terminating zero.
    void SetString(Key root, const std::string& path, const std::string& name, const std::string& text);
    void RemoveValue(Key root, const std::string& path, const std::string& name);
    // Opening this key reports success but yields no key.
    void OpenYieldsNoKey(Key root, const std::string& path);

    void SetProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value);

    struct FileEntry {
        std::string data;
        Dword attributes = kFileAttributeNormal;
        bool heldByOtherProgram = false;  // open elsewhere without sharing
    };
    void AddFolder(const std::string& path);
    void AddFile(const std::string& path, const std::string& data, Dword attributes = kFileAttributeNormal);
    bool HasFile(const std::string& path) const;
    bool HasFolder(const std::string& path) const;
    const FileEntry* FindFile(const std::string& path) const;
    FileEntry* FindFile(const std::string& path);

    void AddResource(Module module, unsigned id, const std::string& type, const std::string& bytes);

    struct Launch {
        std::string verb, file, parameters, directory;
        int show;
    };
    std::vector<Launch> launches;
    intptr_t launchResult = 42;  // what ShellExecuteA answers; above 32 is accepted
    // Bytes the disk still takes; a write beyond them is short: it succeeds with a smaller count.
    size_t diskSpace = SIZE_MAX;

    // ---- watching and steering ---------------------------------------------
    struct Call {
        std::string name;    // the method's name, e.g. "RegOpenKeyExA"
        std::string detail;  // its main arguments, readable
    };
    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<std::string> CallNames() const;
    // Every call counts, from 1, except the last-error accessors, which cannot fail.
    size_t CallCount() const { return callCount_; }
    // Failures injected by every fake platform of the process, for the sweeps' report.
    static size_t InjectedFailures() { return injectedFailures_; }
    // Call number `n` fails with `error` (and then the count goes on).
    void FailCall(size_t n, Dword error = kErrorAccessDenied) {
        failAt_ = n;
        failError_ = error;
    }
    // Runs `action` just before call number `n` does its work.
    void BeforeCall(size_t n, std::function<void()> action) { beforeCall_[n] = std::move(action); }

    size_t OpenKeyCount() const { return openKeys_.size(); }
    size_t MostKeysOpenAtOnce() const { return mostKeysOpen_; }
    size_t OpenFileCount() const { return openFiles_.size(); }
    // The access asked for by every RegOpenKeyExA, in order.
    const std::vector<Dword>& KeyAccessRequests() const { return keyAccess_; }
    const std::vector<Dword>& KeyOpenOptions() const { return keyOptions_; }

    // ---- Platform ----------------------------------------------------------
    Status RegOpenKeyExA(Key root, const char* subKey, Dword options, Dword desired, Key* result) override;
    Status RegQueryValueExA(Key key, const char* valueName, Dword* type, unsigned char* data,
                            Dword* dataSize) override;
    Status RegCloseKey(Key key) override;
    Dword GetPrivateProfileStringA(const char* section, const char* key, const char* fallback, char* buffer,
                                   Dword size, const char* fileName) override;
    bool SetFileAttributesA(const char* path, Dword attributes) override;
    bool DeleteFileA(const char* path) override;
    File CreateFileA(const char* path, Dword access, Dword share, Dword disposition, Dword attributes) override;
    bool WriteFile(File file, const void* data, Dword count, Dword* written) override;
    bool CloseHandle(File file) override;
    bool MoveFileA(const char* existing, const char* newName) override;
    Resource FindResourceA(Module module, unsigned id, const char* type) override;
    Dword SizeofResource(Module module, Resource resource) override;
    LoadedResource LoadResource(Module module, Resource resource) override;
    const void* LockResource(LoadedResource loaded) override;
    intptr_t ShellExecuteA(const char* verb, const char* file, const char* parameters, const char* directory,
                           int show) override;
    Dword GetLastError() override { return lastError_; }
    void SetLastError(Dword error) override { lastError_ = error; }

private:
    struct KeyData {
        std::map<std::string, Value> values;  // by lower-case name; "" is the default value
        bool yieldsNoKey = false;
    };
    struct OpenFileState {
        std::string path;  // lower-case
    };
    struct ResourceData {
        Module module;
        std::string bytes;
    };

    // Logs the call and answers true when it is the one chosen to fail.
    bool Enter(const char* name, const std::string& detail);
    static std::string Lower(const std::string& text);
    static std::string KeyName(Key root, const std::string& path);
    static std::string ParentFolder(const std::string& lowerPath);
    bool FolderExists(const std::string& lowerPath) const;
    bool IsOpenHere(const std::string& lowerPath) const;  // through a handle of this platform

    std::map<std::string, KeyData> keys_;                 // by KeyName
    std::map<uintptr_t, std::string> openKeys_;           // handle -> KeyName
    std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> profiles_;
    std::map<std::string, FileEntry> files_;              // by lower-case path
    std::set<std::string> folders_;                       // lower-case, without a trailing backslash
    std::map<uintptr_t, OpenFileState> openFiles_;
    std::vector<ResourceData> resources_;                 // a resource handle is its index + 1
    std::map<std::pair<std::string, unsigned>, size_t> resourceIndex_;

    std::vector<Call> calls_;
    size_t callCount_ = 0;
    size_t failAt_ = 0;
    Dword failError_ = kErrorAccessDenied;
    std::map<size_t, std::function<void()>> beforeCall_;
    size_t mostKeysOpen_ = 0;
    std::vector<Dword> keyAccess_;
    std::vector<Dword> keyOptions_;
    uintptr_t nextHandle_ = 0x1000;
    static inline size_t injectedFailures_ = 0;
    Dword lastError_ = 0;
};

}  // namespace dedo
