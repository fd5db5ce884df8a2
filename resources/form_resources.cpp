#include "form_resources.h"

namespace dedo {

bool LoadFormResource(Platform& platform, Module module, unsigned id, ResourceBytes& resource) {
    Resource found = platform.FindResourceA(module, id, kFormResourceType);
    if (found == nullptr) return false;
    // The library's resources are never empty, and SizeofResource reports a
    // failure as 0: an empty resource is a missing one, never an empty page.
    Dword size = platform.SizeofResource(module, found);
    if (size == 0) return false;
    LoadedResource loaded = platform.LoadResource(module, found);
    if (loaded == nullptr) return false;
    const void* bytes = platform.LockResource(loaded);
    if (bytes == nullptr) return false;
    resource.bytes = static_cast<const char*>(bytes);
    resource.size = size;
    return true;
}

}  // namespace dedo
