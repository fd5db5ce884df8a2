// The platform of the Linux build: the Win32 services the library needs, with
// their Win32 meaning, over POSIX. It plays a Western Windows system: texts
// are windows-1252, the registry and the profile are files.
//
//   HKEY_LOCAL_MACHINE   $DEDORURU_MACHINE_REGISTRY, else the first folder of
//                        $XDG_CONFIG_DIRS (/etc/xdg) + /dedoruru/machine.reg
//   HKEY_CURRENT_USER    $DEDORURU_USER_REGISTRY, else $XDG_CONFIG_HOME
//                        (~/.config) + /dedoruru/user.reg
//   HKEY_CLASSES_ROOT    keys in the user store, else in the machine store;
//                        else ".htm" and its class's "shell\open\command"
//                        answer from the desktop's default for text/html
//   the Windows folder   $DEDORURU_WINDOWS_DIR, else $XDG_CONFIG_HOME
//                        (~/.config) + /dedoruru: where "ZelkDEro.ini" is read
//
// Stores are REGEDIT4 text in UTF-8; a missing store is an empty registry.
#pragma once

#include "file_text.h"
#include "growable_text.h"
#include "platform.h"

namespace dedo {

class SystemPlatform final : public Platform {
public:
    SystemPlatform() = default;

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
    Dword GetLastError() override;
    void SetLastError(Dword error) override;

private:
    enum class StoreKind { kMachine, kUser };
    // The store's text, read once per platform object, that is once per call.
    const FileText* Store(StoreKind kind);
    bool Fail(Dword error);

    FileText machine_, user_;
    bool machineRead_ = false, userRead_ = false, storeOutOfMemory_ = false;
};

// Path helpers shared by the parts of this platform.
bool ToUnixPath(const char* path, GrowableText& unixPath);  // windows-1252 with backslashes -> UTF-8 with slashes
Dword ErrorFromErrno(int error, const char* unixPath);    // the Win32 code that fits

}  // namespace dedo
