#include "registrant_profile.h"

#include "handles.h"
#include "registry_text.h"

namespace dedo {

int ReadRegistrantIdentity(Platform& platform, const char* keyPath, RegistrantIdentity& identity) {
    OpenKey key(platform);
    if (!key.OpenForReading(kLocalMachine, keyPath) && !key.OpenForReading(kCurrentUser, keyPath)) return 0;
    // A value that is missing or cannot be read leaves its text empty; the others are still read.
    const struct {
        const char* valueName;
        GrowableText& text;
    } values[] = {{"name", identity.name}, {"company", identity.company}, {"Serial Number", identity.serialNumber}};
    for (const auto& value : values) {
        if (ReadRegistryText(platform, key.Get(), value.valueName, value.text) == RegistryRead::kNoMemory)
            return kOutOfMemory;
    }
    return 1;
}

Dword ReadDemographic(Platform& platform, const char* key, char (&buffer)[kDemographicBufferSize]) {
    Dword count = platform.GetPrivateProfileStringA("User Demographics", key, "", buffer, kDemographicBufferSize,
                                                    "ZelkDEro.ini");
    // The count never points past the buffer, whatever the service answers.
    return count < kDemographicBufferSize ? count : kDemographicBufferSize - 1;
}

}  // namespace dedo
