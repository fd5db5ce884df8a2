// Registry, private profile, resources and the last error of the Linux platform.
#include "system_platform.h"

#include <errno.h>
#include <new>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "code_page.h"
#include "embedded_resources.h"
#include "heap.h"
#include "profile_reader.h"
#include "regedit4_reader.h"
#include "xdg_mime.h"

namespace dedo {

namespace {

constexpr Dword kErrorResourceNameNotFound = 1814;
constexpr Dword kErrorBadPathname = 161;

// Each thread's last error, as Windows keeps one per thread.
thread_local Dword tLastError = 0;

// An open registry key: where its values come from.
struct OpenedKey {
    enum class Source { kStore, kDesktop } source;
    Key root;                       // the predefined root it lies under
    GrowableText name;              // "HKEY_...\path", windows-1252
    const FileText* store;          // for kStore
    GrowableText desktopDefault;    // for kDesktop: the key's default value
};

const char* RootName(Key root) {
    if (root == kClassesRoot) return "HKEY_CLASSES_ROOT";
    if (root == kCurrentUser) return "HKEY_CURRENT_USER";
    if (root == kLocalMachine) return "HKEY_LOCAL_MACHINE";
    return nullptr;
}

OpenedKey* FromKey(Key key) { return reinterpret_cast<OpenedKey*>(key.value); }

// The store's file: the variable when set, else the XDG place.
bool StorePath(const char* variable, bool machine, GrowableText& path) {
    const char* value = getenv(variable);
    if (value != nullptr && value[0] != '\0') return path.Assign(value);
    if (machine) {
        const char* dirs = getenv("XDG_CONFIG_DIRS");
        const char* first = dirs != nullptr && dirs[0] == '/' ? dirs : "/etc/xdg";
        size_t n = strcspn(first, ":");
        char* buffer = path.GetBuffer(n + 1);
        if (buffer == nullptr) return false;
        memcpy(buffer, first, n);
        buffer[n] = '\0';
        path.ReleaseBuffer();
        return path.Append("/dedoruru/machine.reg");
    }
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return path.Assign(config) && path.Append("/dedoruru/user.reg");
    const char* home = getenv("HOME");
    return path.Assign(home != nullptr ? home : "") && path.Append("/.config/dedoruru/user.reg");
}

bool WindowsFolder(GrowableText& path) {
    const char* value = getenv("DEDORURU_WINDOWS_DIR");
    if (value != nullptr && value[0] != '\0') return path.Assign(value);
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return path.Assign(config) && path.Append("/dedoruru");
    const char* home = getenv("HOME");
    return path.Assign(home != nullptr ? home : "") && path.Append("/.config/dedoruru");
}

// "<desktop id>\shell\open\command": the id, or an empty range.
TextRange CommandKeyClass(const char* subKey) {
    const char* suffix = "\\shell\\open\\command";
    size_t n = strlen(subKey), s = strlen(suffix);
    if (n <= s) return TextRange{subKey, subKey};
    for (size_t i = 0; i < s; ++i) {
        if (FoldCase(static_cast<unsigned char>(subKey[n - s + i])) != FoldCase(static_cast<unsigned char>(suffix[i])))
            return TextRange{subKey, subKey};
    }
    return TextRange{subKey, subKey + n - s};
}

}  // namespace

bool SystemPlatform::Fail(Dword error) {
    tLastError = error;
    return false;
}

Dword SystemPlatform::GetLastError() { return tLastError; }
void SystemPlatform::SetLastError(Dword error) { tLastError = error; }

const FileText* SystemPlatform::Store(StoreKind kind) {
    bool machine = kind == StoreKind::kMachine;
    bool& read = machine ? machineRead_ : userRead_;
    FileText& text = machine ? machine_ : user_;
    if (!read) {
        read = true;
        GrowableText path;
        if (!StorePath(machine ? "DEDORURU_MACHINE_REGISTRY" : "DEDORURU_USER_REGISTRY", machine, path)) {
            storeOutOfMemory_ = true;
        } else if (!text.Load(path.Chars()) && text.OutOfMemory()) {
            storeOutOfMemory_ = true;  // a missing store is an empty one
        }
    }
    return &text;
}

// ---- registry -----------------------------------------------------------------

Status SystemPlatform::RegOpenKeyExA(Key root, const char* subKey, Dword /*options*/, Dword /*desired*/,
                                     Key* result) {
    *result = kNoKey;
    const char* rootName = RootName(root);
    const OpenedKey* parent = rootName == nullptr ? FromKey(root) : nullptr;
    if (rootName == nullptr && root == kNoKey) return kErrorInvalidHandle;
    const char* sub = subKey != nullptr ? subKey : "";

    void* block = ResizeBlock(nullptr, sizeof(OpenedKey));
    if (block == nullptr) return kErrorNotEnoughMemory;
    Key under = rootName != nullptr ? root : parent->root;
    OpenedKey* key = new (block) OpenedKey{OpenedKey::Source::kStore, under, {}, nullptr, {}};
    auto discard = [key](Status status) {
        key->~OpenedKey();
        FreeBlock(key);
        return status;
    };
    if (!key->name.Assign(rootName != nullptr ? rootName : parent->name.Chars()) ||
        (sub[0] != '\0' && (!key->name.Append("\\") || !key->name.Append(sub))))
        return discard(kErrorNotEnoughMemory);
    bool underClasses = under == kClassesRoot;
    bool isRoot = strchr(key->name.Chars(), '\\') == nullptr;

    // Stores first: the user's, then the machine's, as each root allows.
    const StoreKind order[2] = {StoreKind::kUser, StoreKind::kMachine};
    for (StoreKind kind : order) {
        bool allowed = underClasses || (kind == StoreKind::kMachine) == (under == kLocalMachine);
        if (!allowed) continue;
        const FileText* store = Store(kind);
        if (storeOutOfMemory_) return discard(kErrorNotEnoughMemory);
        if (isRoot || FindInRegedit4(store->Begin(), store->End(), key->name.Chars(), nullptr).keyExists) {
            key->store = store;
            *result = Key{reinterpret_cast<uintptr_t>(key)};
            return kErrorSuccess;
        }
    }

    // The desktop's default for text/html plays ".htm" and its class.
    const char* separator = strchr(key->name.Chars(), '\\');
    if (underClasses && separator != nullptr) {
        const char* path = separator + 1;
        TextRange commandClass = CommandKeyClass(path);
        bool isExtension = strcasecmp(path, ".htm") == 0;
        if (isExtension || !commandClass.Empty()) {
            GrowableText desktopId, command;
            XdgAnswer answer = FindHtmlApplication(desktopId, command);
            if (answer == XdgAnswer::kNoMemory) return discard(kErrorNotEnoughMemory);
            bool sameClass = !commandClass.Empty() && desktopId.Length() == size_t(commandClass.end - commandClass.begin) &&
                             strncasecmp(desktopId.Chars(), commandClass.begin, desktopId.Length()) == 0;
            if (answer == XdgAnswer::kFound && (isExtension || sameClass)) {
                key->source = OpenedKey::Source::kDesktop;
                if (!key->desktopDefault.Assign(isExtension ? desktopId.Chars() : command.Chars()))
                    return discard(kErrorNotEnoughMemory);
                *result = Key{reinterpret_cast<uintptr_t>(key)};
                return kErrorSuccess;
            }
        }
    }
    return discard(kErrorFileNotFound);
}

Status SystemPlatform::RegQueryValueExA(Key key, const char* valueName, Dword* type, unsigned char* data,
                                        Dword* dataSize) {
    if (RootName(key) != nullptr || key == kNoKey) return kErrorInvalidHandle;
    const OpenedKey* opened = FromKey(key);
    if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;
    Dword capacity = data != nullptr ? *dataSize : 0;
    Dword kind = kRegSz, size = 0;
    bool isDefault = valueName == nullptr || valueName[0] == '\0';
    if (opened->source == OpenedKey::Source::kDesktop) {
        if (!isDefault) return kErrorFileNotFound;
        size = static_cast<Dword>(opened->desktopDefault.Length() + 1);
        if (data != nullptr && capacity >= size) memcpy(data, opened->desktopDefault.Chars(), size);
    } else {
        const FileText* store = opened->store;
        Regedit4Lookup found = FindInRegedit4(store->Begin(), store->End(), opened->name.Chars(),
                                              isDefault ? "" : valueName);
        if (found.value == nullptr) return kErrorFileNotFound;
        if (!DecodeRegedit4Value(found.value, store->End(), &kind, data, capacity, &size)) return kErrorFileNotFound;
    }
    if (type != nullptr) *type = kind;
    if (dataSize != nullptr) *dataSize = size;
    if (data != nullptr && capacity < size) return kErrorMoreData;
    return kErrorSuccess;
}

Status SystemPlatform::RegCloseKey(Key key) {
    if (RootName(key) != nullptr) return kErrorSuccess;
    if (key == kNoKey) return kErrorInvalidHandle;
    OpenedKey* opened = FromKey(key);
    opened->~OpenedKey();
    FreeBlock(opened);
    return kErrorSuccess;
}

// ---- private profile ----------------------------------------------------------

Dword SystemPlatform::GetPrivateProfileStringA(const char* section, const char* key, const char* fallback,
                                               char* buffer, Dword size, const char* fileName) {
    const char* none = "";
    GrowableText path;
    bool bare = fileName != nullptr && strpbrk(fileName, "\\/") == nullptr;
    // A name without a folder is looked for in the Windows folder.
    bool formed = fileName != nullptr &&
                  (bare ? WindowsFolder(path) && path.Append("/") && AppendAsUtf8(path, fileName) : ToUnixPath(fileName, path));
    FileText file;
    if (formed && section != nullptr && key != nullptr && file.Load(path.Chars()))
        return ReadProfileString(file.Begin(), file.End(), section, key, fallback, buffer, size);
    if (!formed || file.OutOfMemory()) tLastError = kErrorNotEnoughMemory;
    // No file, no section or no key: the fallback, as Windows gives it.
    return ReadProfileString(none, none, "", "", fallback, buffer, size);
}

// ---- resources: compiled in --------------------------------------------------------

Resource SystemPlatform::FindResourceA(Module /*module*/, unsigned id, const char* type) {
    for (size_t i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = kEmbeddedResources[i];
        if (r.id == id && type != nullptr && strcasecmp(r.type, type) == 0)
            return reinterpret_cast<Resource>(const_cast<EmbeddedResource*>(&r));
    }
    tLastError = kErrorResourceNameNotFound;
    return nullptr;
}

Dword SystemPlatform::SizeofResource(Module /*module*/, Resource resource) {
    return resource != nullptr ? static_cast<Dword>(reinterpret_cast<const EmbeddedResource*>(resource)->size) : 0;
}

LoadedResource SystemPlatform::LoadResource(Module /*module*/, Resource resource) {
    return reinterpret_cast<LoadedResource>(resource);
}

const void* SystemPlatform::LockResource(LoadedResource loaded) {
    return loaded != nullptr ? reinterpret_cast<const EmbeddedResource*>(loaded)->bytes : nullptr;
}

// ---- paths and errors ------------------------------------------------------------

bool ToUnixPath(const char* path, GrowableText& unixPath) {
    if (!unixPath.Assign("") || !AppendAsUtf8(unixPath, path)) return false;
    char* buffer = unixPath.GetBuffer(unixPath.Length());
    for (char* p = buffer; *p != '\0'; ++p) {
        if (*p == '\\') *p = '/';
    }
    unixPath.ReleaseBuffer();
    return true;
}

Dword ErrorFromErrno(int error, const char* unixPath) {
    switch (error) {
    case ENOENT: {
        // Windows tells a missing file from a missing folder on the way to it.
        if (unixPath == nullptr) return kErrorFileNotFound;
        const char* slash = strrchr(unixPath, '/');
        if (slash == nullptr || slash == unixPath) return kErrorFileNotFound;
        GrowableText parent;
        char* buffer = parent.GetBuffer(static_cast<size_t>(slash - unixPath) + 1);
        if (buffer == nullptr) return kErrorFileNotFound;
        memcpy(buffer, unixPath, static_cast<size_t>(slash - unixPath));
        buffer[slash - unixPath] = '\0';
        parent.ReleaseBuffer();
        struct stat info;
        return stat(parent.Chars(), &info) == 0 && S_ISDIR(info.st_mode) ? kErrorFileNotFound : kErrorPathNotFound;
    }
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EEXIST:
    case ENOTEMPTY: return kErrorAlreadyExists;
    case EWOULDBLOCK: return kErrorSharingViolation;
    case ENOSPC:
    case EDQUOT: return 112;  // ERROR_DISK_FULL
    case ENOMEM: return kErrorNotEnoughMemory;
    case EXDEV: return 17;          // ERROR_NOT_SAME_DEVICE
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    case EINVAL: return kErrorBadPathname;
    case EBADF: return kErrorInvalidHandle;
    default: return kErrorWriteFault;
    }
}

}  // namespace dedo
