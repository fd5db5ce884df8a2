#include "system_platform.h"

#include <windows.h>
#include <shellapi.h>

namespace dedo {

namespace {
HKEY ToHkey(Key key) { return reinterpret_cast<HKEY>(key.value); }
HANDLE ToHandle(File file) { return reinterpret_cast<HANDLE>(file.value); }
HMODULE ToModule(Module module) { return reinterpret_cast<HMODULE>(module); }
HRSRC ToResource(Resource resource) { return reinterpret_cast<HRSRC>(resource); }
}  // namespace

Status SystemPlatform::RegOpenKeyExA(Key root, const char* subKey, Dword options, Dword desired, Key* result) {
    HKEY opened = nullptr;
    LONG status = ::RegOpenKeyExA(ToHkey(root), subKey, options, desired, &opened);
    *result = Key{reinterpret_cast<uintptr_t>(opened)};
    return status;
}

Status SystemPlatform::RegQueryValueExA(Key key, const char* valueName, Dword* type, unsigned char* data,
                                        Dword* dataSize) {
    DWORD winType = 0;
    DWORD size = dataSize != nullptr ? *dataSize : 0;
    LONG status = ::RegQueryValueExA(ToHkey(key), valueName, nullptr, type != nullptr ? &winType : nullptr, data,
                                     dataSize != nullptr ? &size : nullptr);
    if (type != nullptr) *type = winType;
    if (dataSize != nullptr) *dataSize = size;
    return status;
}

Status SystemPlatform::RegCloseKey(Key key) { return ::RegCloseKey(ToHkey(key)); }

Dword SystemPlatform::GetPrivateProfileStringA(const char* section, const char* key, const char* fallback,
                                               char* buffer, Dword size, const char* fileName) {
    return ::GetPrivateProfileStringA(section, key, fallback, buffer, size, fileName);
}

bool SystemPlatform::SetFileAttributesA(const char* path, Dword attributes) {
    return ::SetFileAttributesA(path, attributes) != FALSE;
}

bool SystemPlatform::DeleteFileA(const char* path) { return ::DeleteFileA(path) != FALSE; }

File SystemPlatform::CreateFileA(const char* path, Dword access, Dword share, Dword disposition, Dword attributes) {
    return File{reinterpret_cast<uintptr_t>(::CreateFileA(path, access, share, nullptr, disposition, attributes, nullptr))};
}

bool SystemPlatform::WriteFile(File file, const void* data, Dword count, Dword* written) {
    DWORD done = 0;
    BOOL ok = ::WriteFile(ToHandle(file), data, count, &done, nullptr);
    if (written != nullptr) *written = done;
    return ok != FALSE;
}

bool SystemPlatform::CloseHandle(File file) { return ::CloseHandle(ToHandle(file)) != FALSE; }

bool SystemPlatform::MoveFileA(const char* existing, const char* newName) {
    return ::MoveFileA(existing, newName) != FALSE;
}

Resource SystemPlatform::FindResourceA(Module module, unsigned id, const char* type) {
    return reinterpret_cast<Resource>(::FindResourceA(ToModule(module), MAKEINTRESOURCEA(id), type));
}

Dword SystemPlatform::SizeofResource(Module module, Resource resource) {
    return ::SizeofResource(ToModule(module), ToResource(resource));
}

LoadedResource SystemPlatform::LoadResource(Module module, Resource resource) {
    return reinterpret_cast<LoadedResource>(::LoadResource(ToModule(module), ToResource(resource)));
}

const void* SystemPlatform::LockResource(LoadedResource loaded) {
    return ::LockResource(reinterpret_cast<HGLOBAL>(loaded));
}

intptr_t SystemPlatform::ShellExecuteA(const char* verb, const char* file, const char* parameters,
                                       const char* directory, int show) {
    return reinterpret_cast<intptr_t>(::ShellExecuteA(nullptr, verb, file, parameters, directory, show));
}

Dword SystemPlatform::GetLastError() { return ::GetLastError(); }

void SystemPlatform::SetLastError(Dword error) { ::SetLastError(error); }

}  // namespace dedo
