// The one door between the library's logic and the operating system.
//
// Every service the logic needs is a method here, named after the Win32 call
// it stands for and carrying that call's meaning: the same arguments (less the
// ones this library always passes as null), the same results, the same error
// codes through GetLastError. The logic is written once against this class;
// platform/win32 forwards each method to the real call, platform/fake keeps an
// in-memory world for the tests, and a POSIX implementation can sit beside them.
//
// Names carry Win32's "A" suffix on purpose: <windows.h> turns the plain names
// (CreateFile, DeleteFile, ...) into macros, which would rename these methods in
// some translation units and not in others.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace dedo {

typedef uint32_t Dword;
typedef int32_t Status;  // a Win32 LONG error code: kErrorSuccess or the reason

// Registry keys and file handles are plain values, so that the predefined
// roots and the invalid handle are compile-time constants rather than globals.
struct Key {
    uintptr_t value;
};
constexpr bool operator==(Key a, Key b) { return a.value == b.value; }
constexpr bool operator!=(Key a, Key b) { return a.value != b.value; }

struct File {
    uintptr_t value;
};
constexpr bool operator==(File a, File b) { return a.value == b.value; }
constexpr bool operator!=(File a, File b) { return a.value != b.value; }

typedef struct ModuleTag* Module;
typedef struct ResourceTag* Resource;
typedef struct LoadedResourceTag* LoadedResource;

// The predefined registry roots, with the values Win32 gives them (sign-extended, as HKEY is a pointer).
constexpr Key PredefinedKey(int32_t value) { return Key{static_cast<uintptr_t>(static_cast<intptr_t>(value))}; }
constexpr Key kNoKey{0};
constexpr Key kClassesRoot = PredefinedKey(INT32_MIN);
constexpr Key kCurrentUser = PredefinedKey(INT32_MIN + 1);
constexpr Key kLocalMachine = PredefinedKey(INT32_MIN + 2);

constexpr File kInvalidFile{UINTPTR_MAX};

// Win32 error codes the library and its platforms use.
constexpr Status kErrorSuccess = 0;
constexpr Status kErrorFileNotFound = 2;
constexpr Status kErrorPathNotFound = 3;
constexpr Status kErrorAccessDenied = 5;
constexpr Status kErrorInvalidHandle = 6;
constexpr Status kErrorNotEnoughMemory = 8;
constexpr Status kErrorWriteFault = 29;
constexpr Status kErrorSharingViolation = 32;
constexpr Status kErrorInvalidParameter = 87;
constexpr Status kErrorAlreadyExists = 183;
constexpr Status kErrorMoreData = 234;

// Access rights, dispositions, attributes and show commands, with Win32 values.
constexpr Dword kKeyRead = 0x20019;
constexpr Dword kGenericWrite = 0x40000000;
constexpr Dword kCreateAlways = 2;
constexpr Dword kFileAttributeReadOnly = 0x01;
constexpr Dword kFileAttributeNormal = 0x80;
constexpr int kShowMaximized = 3;

// Registry value types, for the platforms and tests; the logic never looks at them.
constexpr Dword kRegNone = 0;
constexpr Dword kRegSz = 1;
constexpr Dword kRegBinary = 3;
constexpr Dword kRegDword = 4;

class Platform {
public:
    // Registry.
    virtual Status RegOpenKeyExA(Key root, const char* subKey, Dword options, Dword desired, Key* result) = 0;
    // A null data pointer asks for the size only; a null value name is the key's default value.
    virtual Status RegQueryValueExA(Key key, const char* valueName, Dword* type, unsigned char* data,
                                    Dword* dataSize) = 0;
    virtual Status RegCloseKey(Key key) = 0;

    // Private profile: the count of bytes placed in the buffer, without the terminating zero.
    virtual Dword GetPrivateProfileStringA(const char* section, const char* key, const char* fallback,
                                           char* buffer, Dword size, const char* fileName) = 0;

    // Files. CreateFileA takes no security attributes and no template file.
    virtual bool SetFileAttributesA(const char* path, Dword attributes) = 0;
    virtual bool DeleteFileA(const char* path) = 0;
    virtual File CreateFileA(const char* path, Dword access, Dword share, Dword disposition, Dword attributes) = 0;
    virtual bool WriteFile(File file, const void* data, Dword count, Dword* written) = 0;
    virtual bool CloseHandle(File file) = 0;
    virtual bool MoveFileA(const char* existing, const char* newName) = 0;

    // Resources of a module, found by numeric identifier and type name.
    virtual Resource FindResourceA(Module module, unsigned id, const char* type) = 0;
    virtual Dword SizeofResource(Module module, Resource resource) = 0;
    virtual LoadedResource LoadResource(Module module, Resource resource) = 0;
    virtual const void* LockResource(LoadedResource loaded) = 0;

    // Shell launch without an owner window; above 32 means the shell accepted it.
    virtual intptr_t ShellExecuteA(const char* verb, const char* file, const char* parameters,
                                   const char* directory, int show) = 0;

    // The calling thread's last-error value.
    virtual Dword GetLastError() = 0;
    virtual void SetLastError(Dword error) = 0;

protected:
    Platform() = default;
    ~Platform() = default;  // platforms live on the stack of one call, never deleted through this class
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
};

}  // namespace dedo
