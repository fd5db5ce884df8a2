#include "file_rename.h"

namespace dedo {

int RenameFile(Platform& platform, const char* existingName, const char* newName) {
    if (existingName == nullptr || newName == nullptr) {
        platform.SetLastError(kErrorInvalidParameter);
        return 0;
    }
    // Nothing may run between the move and the return: the host reads the last error there.
    return platform.MoveFileA(existingName, newName) ? 1 : 0;
}

}  // namespace dedo
