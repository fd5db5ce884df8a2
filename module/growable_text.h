// A text of 8-bit characters that carries its own length and grows as text is
// put into it; empty when created, released when it goes out of scope.
//
// The library is built without exceptions, so an operation that needs memory
// it cannot get answers false (or a null buffer) instead of throwing, and the
// text stays a valid text. Callers pass the failure up and the export answers 0.
#pragma once

#include <stddef.h>

namespace dedo {

// The answer of an internal operation that ran out of memory; the exports turn it into 0.
constexpr int kOutOfMemory = -1;

class GrowableText {
public:
    GrowableText() = default;
    ~GrowableText();
    GrowableText(const GrowableText&) = delete;
    GrowableText& operator=(const GrowableText&) = delete;

    // A null pointer counts as the empty text.
    [[nodiscard]] bool Assign(const char* text);
    [[nodiscard]] bool Append(const char* text);

    size_t Length() const { return length_; }
    // Always zero-terminated, also when empty.
    const char* Chars() const { return data_ != nullptr ? data_ : ""; }

    // A writable buffer of at least minSize bytes that starts with the current
    // contents; null when the memory cannot be had. Finish with ReleaseBuffer.
    [[nodiscard]] char* GetBuffer(size_t minSize);
    // Ends the buffer's use: the length becomes the distance to the first zero byte.
    void ReleaseBuffer();

    [[nodiscard]] bool Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

private:
    bool Reserve(size_t capacity);

    char* data_ = nullptr;
    size_t length_ = 0;
    size_t capacity_ = 0;  // usable bytes; one more is always kept for the terminator
};

}  // namespace dedo
