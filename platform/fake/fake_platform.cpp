#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace dedo {

namespace {

constexpr Dword kErrorResourceNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

std::string Hex(Dword value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", value);
    return buffer;
}

}  // namespace

FakePlatform::FakePlatform() = default;

std::string FakePlatform::Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string FakePlatform::KeyName(Key root, const std::string& path) {
    std::string name = root == kClassesRoot    ? "hkcr"
                       : root == kCurrentUser  ? "hkcu"
                       : root == kLocalMachine ? "hklm"
                                               : "?";
    return path.empty() ? name : name + "\\" + Lower(path);
}

std::string FakePlatform::ParentFolder(const std::string& lowerPath) {
    size_t slash = lowerPath.find_last_of('\\');
    return slash == std::string::npos ? std::string() : lowerPath.substr(0, slash);
}

bool FakePlatform::FolderExists(const std::string& lowerPath) const {
    // The current folder, the root of the current drive and a drive's root always exist.
    if (lowerPath.empty() || lowerPath.find('\\') == std::string::npos) return true;
    return folders_.count(lowerPath) != 0;
}

bool FakePlatform::IsOpenHere(const std::string& lowerPath) const {
    return std::any_of(openFiles_.begin(), openFiles_.end(),
                       [&](const auto& open) { return open.second.path == lowerPath; });
}

bool FakePlatform::Enter(const char* name, const std::string& detail) {
    calls_.push_back({name, detail});
    ++callCount_;
    auto action = beforeCall_.find(callCount_);
    if (action != beforeCall_.end()) action->second();
    if (callCount_ != failAt_) return false;
    ++injectedFailures_;
    lastError_ = failError_;
    return true;
}

std::vector<std::string> FakePlatform::CallNames() const {
    std::vector<std::string> names;
    for (const Call& call : calls_) names.push_back(call.name);
    return names;
}

// ---- the world --------------------------------------------------------------

void FakePlatform::AddKey(Key root, const std::string& path) {
    std::string lower = Lower(path);
    for (size_t slash = lower.find('\\'); slash != std::string::npos; slash = lower.find('\\', slash + 1))
        keys_[KeyName(root, lower.substr(0, slash))];
    keys_[KeyName(root, lower)];
}

void FakePlatform::RemoveKey(Key root, const std::string& path) {
    std::string name = KeyName(root, path);
    for (auto it = keys_.begin(); it != keys_.end();) {
        bool below = it->first == name || it->first.compare(0, name.size() + 1, name + "\\") == 0;
        it = below ? keys_.erase(it) : std::next(it);
    }
}

void FakePlatform::SetValue(Key root, const std::string& path, const std::string& name, Dword type,
                            const std::string& data) {
    AddKey(root, path);
    keys_[KeyName(root, path)].values[Lower(name)] = Value{type, data};
}

void FakePlatform::SetString(Key root, const std::string& path, const std::string& name, const std::string& text) {
    SetValue(root, path, name, kRegSz, text + std::string(1, '\0'));
}

void FakePlatform::RemoveValue(Key root, const std::string& path, const std::string& name) {
    auto key = keys_.find(KeyName(root, path));
    if (key != keys_.end()) key->second.values.erase(Lower(name));
}

void FakePlatform::OpenYieldsNoKey(Key root, const std::string& path) {
    AddKey(root, path);
    keys_[KeyName(root, path)].yieldsNoKey = true;
}

void FakePlatform::SetProfileString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& value) {
    profiles_[Lower(file)][Lower(section)][Lower(key)] = value;
}

void FakePlatform::AddFolder(const std::string& path) {
    std::string lower = Lower(path);
    while (!lower.empty() && lower.back() == '\\') lower.pop_back();
    for (size_t slash = lower.find('\\'); slash != std::string::npos; slash = lower.find('\\', slash + 1))
        folders_.insert(lower.substr(0, slash));
    folders_.insert(lower);
}

void FakePlatform::AddFile(const std::string& path, const std::string& data, Dword attributes) {
    std::string lower = Lower(path);
    std::string parent = ParentFolder(lower);
    if (!parent.empty()) AddFolder(parent);
    FileEntry& entry = files_[lower];
    entry.data = data;
    entry.attributes = attributes;
}

bool FakePlatform::HasFile(const std::string& path) const { return files_.count(Lower(path)) != 0; }
bool FakePlatform::HasFolder(const std::string& path) const { return folders_.count(Lower(path)) != 0; }

const FakePlatform::FileEntry* FakePlatform::FindFile(const std::string& path) const {
    auto it = files_.find(Lower(path));
    return it == files_.end() ? nullptr : &it->second;
}

FakePlatform::FileEntry* FakePlatform::FindFile(const std::string& path) {
    auto it = files_.find(Lower(path));
    return it == files_.end() ? nullptr : &it->second;
}

void FakePlatform::AddResource(Module module, unsigned id, const std::string& type, const std::string& bytes) {
    resourceIndex_[{Lower(type), id}] = resources_.size();
    resources_.push_back({module, bytes});
}

// ---- registry -----------------------------------------------------------------

Status FakePlatform::RegOpenKeyExA(Key root, const char* subKey, Dword options, Dword desired, Key* result) {
    *result = kNoKey;
    keyAccess_.push_back(desired);
    keyOptions_.push_back(options);
    if (Enter("RegOpenKeyExA", KeyName(root, subKey != nullptr ? subKey : "") + " access=" + Hex(desired)))
        return static_cast<Status>(failError_);
    std::string base;
    if (root == kClassesRoot || root == kCurrentUser || root == kLocalMachine) {
        base = KeyName(root, "");
    } else {
        auto open = openKeys_.find(root.value);
        if (open == openKeys_.end()) return kErrorInvalidHandle;
        base = open->second;
    }
    std::string name = subKey != nullptr && *subKey != '\0' ? base + "\\" + Lower(subKey) : base;
    auto key = keys_.find(name);
    bool isRoot = name.find('\\') == std::string::npos;
    if (key == keys_.end() && !isRoot) return kErrorFileNotFound;
    if (key != keys_.end() && key->second.yieldsNoKey) return kErrorSuccess;
    uintptr_t handle = nextHandle_++;
    openKeys_[handle] = name;
    mostKeysOpen_ = std::max(mostKeysOpen_, openKeys_.size());
    *result = Key{handle};
    return kErrorSuccess;
}

Status FakePlatform::RegQueryValueExA(Key key, const char* valueName, Dword* type, unsigned char* data,
                                      Dword* dataSize) {
    std::string name = valueName != nullptr ? valueName : "";
    if (Enter("RegQueryValueExA", "\"" + name + "\"" + (data == nullptr ? " size" : " data")))
        return static_cast<Status>(failError_);
    auto open = openKeys_.find(key.value);
    if (open == openKeys_.end()) return kErrorInvalidHandle;
    const KeyData& keyData = keys_[open->second];
    auto value = keyData.values.find(Lower(name));
    if (value == keyData.values.end()) return kErrorFileNotFound;
    Dword size = static_cast<Dword>(value->second.data.size());
    if (type != nullptr) *type = value->second.type;
    if (data == nullptr) {
        if (dataSize != nullptr) *dataSize = size;
        return kErrorSuccess;
    }
    if (dataSize == nullptr) return kErrorInvalidParameter;
    if (*dataSize < size) {
        *dataSize = size;
        return kErrorMoreData;
    }
    std::memcpy(data, value->second.data.data(), size);
    *dataSize = size;
    return kErrorSuccess;
}

Status FakePlatform::RegCloseKey(Key key) {
    bool fail = Enter("RegCloseKey", "");
    // Even a close that reports failure gives the handle up.
    bool known = openKeys_.erase(key.value) != 0;
    if (fail) return static_cast<Status>(failError_);
    return known ? kErrorSuccess : kErrorInvalidHandle;
}

// ---- private profile ----------------------------------------------------------

Dword FakePlatform::GetPrivateProfileStringA(const char* section, const char* key, const char* fallback,
                                             char* buffer, Dword size, const char* fileName) {
    bool fail = Enter("GetPrivateProfileStringA", "[" + Text(section) + "] " + Text(key) + " in " + Text(fileName));
    std::string value = fallback != nullptr ? fallback : "";
    if (!fail && section != nullptr && key != nullptr && fileName != nullptr) {
        auto file = profiles_.find(Lower(fileName));
        if (file != profiles_.end()) {
            auto sec = file->second.find(Lower(section));
            if (sec != file->second.end()) {
                auto entry = sec->second.find(Lower(key));
                if (entry != sec->second.end()) value = entry->second;
            }
        }
    }
    if (buffer == nullptr || size == 0) return 0;
    size_t count = std::min<size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    return static_cast<Dword>(count);
}

// ---- files --------------------------------------------------------------------

bool FakePlatform::SetFileAttributesA(const char* path, Dword attributes) {
    if (Enter("SetFileAttributesA", Text(path) + " " + Hex(attributes))) return false;
    std::string lower = Lower(path);
    auto file = files_.find(lower);
    if (file != files_.end()) {
        file->second.attributes = attributes;
        return true;
    }
    if (folders_.count(lower) != 0) return true;
    lastError_ = FolderExists(ParentFolder(lower)) ? kErrorFileNotFound : kErrorPathNotFound;
    return false;
}

bool FakePlatform::DeleteFileA(const char* path) {
    if (Enter("DeleteFileA", Text(path))) return false;
    std::string lower = Lower(path);
    auto file = files_.find(lower);
    if (file == files_.end()) {
        lastError_ = folders_.count(lower) != 0          ? kErrorAccessDenied
                     : FolderExists(ParentFolder(lower)) ? kErrorFileNotFound
                                                         : kErrorPathNotFound;
        return false;
    }
    if (file->second.heldByOtherProgram || IsOpenHere(lower)) {
        lastError_ = kErrorSharingViolation;
        return false;
    }
    if ((file->second.attributes & kFileAttributeReadOnly) != 0) {
        lastError_ = kErrorAccessDenied;
        return false;
    }
    files_.erase(file);
    return true;
}

File FakePlatform::CreateFileA(const char* path, Dword access, Dword share, Dword disposition, Dword attributes) {
    if (Enter("CreateFileA", Text(path) + " access=" + Hex(access) + " share=" + Hex(share) +
                                 " disposition=" + Hex(disposition) + " attributes=" + Hex(attributes)))
        return kInvalidFile;
    std::string lower = Lower(path);
    if (!FolderExists(ParentFolder(lower))) {
        lastError_ = kErrorPathNotFound;
        return kInvalidFile;
    }
    if (folders_.count(lower) != 0) {
        lastError_ = kErrorAccessDenied;
        return kInvalidFile;
    }
    if (disposition != kCreateAlways) {
        lastError_ = kErrorInvalidParameter;  // only what the library asks for is modelled
        return kInvalidFile;
    }
    auto existing = files_.find(lower);
    if (existing != files_.end()) {
        if (existing->second.heldByOtherProgram || IsOpenHere(lower)) {
            lastError_ = kErrorSharingViolation;
            return kInvalidFile;
        }
        if ((existing->second.attributes & kFileAttributeReadOnly) != 0) {
            lastError_ = kErrorAccessDenied;
            return kInvalidFile;
        }
    }
    lastError_ = existing != files_.end() ? kErrorAlreadyExists : kErrorSuccess;
    FileEntry& entry = files_[lower];
    entry.data.clear();
    entry.attributes = attributes;
    uintptr_t handle = nextHandle_++;
    openFiles_[handle] = OpenFileState{lower};
    return File{handle};
}

bool FakePlatform::WriteFile(File file, const void* data, Dword count, Dword* written) {
    if (written != nullptr) *written = 0;
    if (Enter("WriteFile", std::to_string(count) + " bytes")) return false;
    auto open = openFiles_.find(file.value);
    if (open == openFiles_.end()) {
        lastError_ = kErrorInvalidHandle;
        return false;
    }
    Dword fits = static_cast<Dword>(std::min<size_t>(count, diskSpace));
    diskSpace -= fits;
    files_[open->second.path].data.append(static_cast<const char*>(data), fits);
    if (written != nullptr) *written = fits;
    return true;
}

bool FakePlatform::CloseHandle(File file) {
    bool fail = Enter("CloseHandle", "");
    bool known = openFiles_.erase(file.value) != 0;
    if (fail) return false;
    if (!known) lastError_ = kErrorInvalidHandle;
    return known;
}

bool FakePlatform::MoveFileA(const char* existing, const char* newName) {
    if (Enter("MoveFileA", Text(existing) + " -> " + Text(newName))) return false;
    std::string from = Lower(existing), to = Lower(newName);
    bool isFile = files_.count(from) != 0, isFolder = folders_.count(from) != 0;
    if (!isFile && !isFolder) {
        lastError_ = FolderExists(ParentFolder(from)) ? kErrorFileNotFound : kErrorPathNotFound;
        return false;
    }
    if (files_.count(to) != 0 || folders_.count(to) != 0) {
        lastError_ = kErrorAlreadyExists;
        return false;
    }
    if (!FolderExists(ParentFolder(to))) {
        lastError_ = kErrorPathNotFound;
        return false;
    }
    if (isFile && (IsOpenHere(from) || files_[from].heldByOtherProgram)) {
        lastError_ = kErrorSharingViolation;
        return false;
    }
    auto renamed = [&](const std::string& path) -> std::string {
        if (path == from) return to;
        if (path.compare(0, from.size() + 1, from + "\\") == 0) return to + path.substr(from.size());
        return path;
    };
    std::map<std::string, FileEntry> files;
    for (auto& entry : files_) files[renamed(entry.first)] = entry.second;
    files_.swap(files);
    std::set<std::string> folders;
    for (const std::string& folder : folders_) folders.insert(renamed(folder));
    folders_.swap(folders);
    return true;
}

// ---- resources ----------------------------------------------------------------

Resource FakePlatform::FindResourceA(Module module, unsigned id, const char* type) {
    if (Enter("FindResourceA", std::to_string(id) + " " + Text(type))) return nullptr;
    auto found = resourceIndex_.find({Lower(Text(type)), id});
    if (found == resourceIndex_.end() || resources_[found->second].module != module) {
        lastError_ = kErrorResourceNotFound;
        return nullptr;
    }
    return reinterpret_cast<Resource>(found->second + 1);
}

Dword FakePlatform::SizeofResource(Module module, Resource resource) {
    if (Enter("SizeofResource", "")) return 0;
    size_t index = reinterpret_cast<size_t>(resource);
    if (index == 0 || index > resources_.size() || resources_[index - 1].module != module) return 0;
    return static_cast<Dword>(resources_[index - 1].bytes.size());
}

LoadedResource FakePlatform::LoadResource(Module module, Resource resource) {
    if (Enter("LoadResource", "")) return nullptr;
    size_t index = reinterpret_cast<size_t>(resource);
    if (index == 0 || index > resources_.size() || resources_[index - 1].module != module) return nullptr;
    return reinterpret_cast<LoadedResource>(index);
}

const void* FakePlatform::LockResource(LoadedResource loaded) {
    if (Enter("LockResource", "")) return nullptr;
    size_t index = reinterpret_cast<size_t>(loaded);
    if (index == 0 || index > resources_.size()) return nullptr;
    return resources_[index - 1].bytes.data();
}

// ---- shell --------------------------------------------------------------------

intptr_t FakePlatform::ShellExecuteA(const char* verb, const char* file, const char* parameters,
                                     const char* directory, int show) {
    if (Enter("ShellExecuteA", Text(file) + " show=" + std::to_string(show)))
        return failError_ <= 32 ? static_cast<intptr_t>(failError_) : 5;
    auto copy = [](const char* text) { return text != nullptr ? std::string(text) : std::string(); };
    if (launchResult > 32) launches.push_back({copy(verb), copy(file), copy(parameters), copy(directory), show});
    return launchResult;
}

}  // namespace dedo
