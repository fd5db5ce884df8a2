#include "growable_text.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "heap.h"

namespace dedo {

GrowableText::~GrowableText() { FreeBlock(data_); }

bool GrowableText::Reserve(size_t capacity) {
    if (data_ != nullptr && capacity <= capacity_) return true;
    if (capacity >= SIZE_MAX - 1) return false;
    char* grown = static_cast<char*>(ResizeBlock(data_, capacity + 1));
    if (grown == nullptr) return false;
    if (data_ == nullptr) grown[0] = '\0';
    grown[capacity] = '\0';
    data_ = grown;
    capacity_ = capacity;
    return true;
}

bool GrowableText::Assign(const char* text) {
    size_t n = text != nullptr ? strlen(text) : 0;
    if (!Reserve(n)) return false;
    memmove(data_, text != nullptr ? text : "", n);
    data_[n] = '\0';
    length_ = n;
    return true;
}

bool GrowableText::Append(const char* text) {
    size_t n = text != nullptr ? strlen(text) : 0;
    if (n > SIZE_MAX - 2 - length_) return false;
    // The text may be a part of this one; keep its offset across a move of the block.
    bool inside = data_ != nullptr && text >= data_ && text < data_ + capacity_ + 1;
    size_t offset = inside ? static_cast<size_t>(text - data_) : 0;
    if (!Reserve(length_ + n)) return false;
    if (n > 0) memmove(data_ + length_, inside ? data_ + offset : text, n);  // a null text has nothing to copy
    length_ += n;
    data_[length_] = '\0';
    return true;
}

char* GrowableText::GetBuffer(size_t minSize) {
    if (!Reserve(minSize > length_ ? minSize : length_)) return nullptr;
    return data_;
}

void GrowableText::ReleaseBuffer() {
    if (data_ == nullptr) return;
    length_ = strnlen(data_, capacity_);
    data_[length_] = '\0';
}

bool GrowableText::Format(const char* format, ...) {
    // Some C run-times answer -1 rather than the needed size when the output
    // does not fit, so grow until the whole output and its terminator fit.
    size_t capacity = strlen(format) + 32;
    for (;;) {
        if (!Reserve(capacity)) return false;
        va_list args;
        va_start(args, format);
        int n = vsnprintf(data_, capacity_ + 1, format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < capacity_ + 1) {
            length_ = static_cast<size_t>(n);
            data_[length_] = '\0';
            return true;
        }
        length_ = 0;
        data_[0] = '\0';
        if (n > 0 && static_cast<size_t>(n) > capacity_) {
            capacity = static_cast<size_t>(n);
        } else if (capacity_ < SIZE_MAX / 4) {
            capacity = capacity_ * 2;
        } else {
            return false;
        }
    }
}

}  // namespace dedo
