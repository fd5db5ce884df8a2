// The three exported functions. Each builds the system platform on its own
// stack, hands the job to the logic and answers its 1 or 0; nothing is kept
// between calls.
#include "dedoruru.h"

#include "app.h"
#include "browser_probe.h"
#include "file_rename.h"
#include "page_builder.h"
#include "system_platform.h"

extern "C" {

int DEDORURU_CALL IsBrowserAvail(void) {
    dedo::SystemPlatform platform;
    return dedo::IsBrowserAvail(platform);
}

int DEDORURU_CALL RegisterUser(const char* keyPath, const char* outputFolder, const char* versionText) {
    dedo::SystemPlatform platform;
    return dedo::RegisterUser(platform, dedo::ModuleInstance(), keyPath, outputFolder, versionText);
}

int DEDORURU_CALL zelkRename(const char* existingName, const char* newName) {
    dedo::SystemPlatform platform;
    return dedo::RenameFile(platform, existingName, newName);
}

}  // extern "C"
