#include "registry_text.h"

namespace dedo {

RegistryRead ReadRegistryText(Platform& platform, Key key, const char* valueName, GrowableText& text) {
    Dword size = 0;
    if (platform.RegQueryValueExA(key, valueName, nullptr, nullptr, &size) != kErrorSuccess) return RegistryRead::kFailed;
    char* buffer = text.GetBuffer(static_cast<size_t>(size) + 1);
    if (buffer == nullptr) return RegistryRead::kNoMemory;
    Dword read = size;  // the reported size, not the buffer's: a grown value must fail, not be cut
    Status status =
        platform.RegQueryValueExA(key, valueName, nullptr, reinterpret_cast<unsigned char*>(buffer), &read);
    bool ok = status == kErrorSuccess && read <= size;
    buffer[ok ? read : 0] = '\0';
    text.ReleaseBuffer();
    return ok ? RegistryRead::kRead : RegistryRead::kFailed;
}

}  // namespace dedo
