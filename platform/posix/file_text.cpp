#include "file_text.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "heap.h"

namespace dedo {

FileText::~FileText() { FreeBlock(data_); }

bool FileText::Load(const char* path) {
    FreeBlock(data_);
    data_ = nullptr;
    size_ = start_ = 0;
    outOfMemory_ = false;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    // Read to the end whatever the size said: the file may be growing.
    size_t capacity = static_cast<size_t>(info.st_size) + 1;
    for (;;) {
        char* grown = static_cast<char*>(ResizeBlock(data_, capacity));
        if (grown == nullptr) {
            outOfMemory_ = true;
            close(fd);
            return false;
        }
        data_ = grown;
        ssize_t got = read(fd, data_ + size_, capacity - size_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return false;
        }
        if (got == 0) break;
        size_ += static_cast<size_t>(got);
        if (size_ == capacity) capacity *= 2;
    }
    close(fd);
    if (size_ >= 3 && memcmp(data_, "\xEF\xBB\xBF", 3) == 0) start_ = 3;
    return true;
}

}  // namespace dedo
