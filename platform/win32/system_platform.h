// The platform of the Windows builds: each method is the Win32 call of its name.
#pragma once

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
};

}  // namespace dedo
