// A whole file read into memory for one look, released with its owner.
#pragma once

#include <stddef.h>

namespace dedo {

class FileText {
public:
    FileText() = default;
    ~FileText();
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    // Reads the file at a UTF-8 path. False when it is missing or cannot be
    // read, or when memory runs out (then OutOfMemory() tells).
    bool Load(const char* path);
    bool OutOfMemory() const { return outOfMemory_; }
    // The text, after a UTF-8 byte order mark if there is one.
    const char* Begin() const { return data_ != nullptr ? data_ + start_ : ""; }
    const char* End() const { return data_ != nullptr ? data_ + size_ : Begin(); }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t start_ = 0;
    bool outOfMemory_ = false;
};

}  // namespace dedo
