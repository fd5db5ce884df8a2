// Owners for what the platform hands out, so that every path out of a call
// releases it: a registry key is closed and a file handle closed when its
// owner goes out of scope, unless it was closed before.
#pragma once

#include "platform.h"

namespace dedo {

class OpenKey {
public:
    explicit OpenKey(Platform& platform) : platform_(platform) {}
    ~OpenKey() { Close(); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    // Opens subKey under root for reading. A success that yields no key counts as a failure.
    bool OpenForReading(Key root, const char* subKey) {
        Close();
        Key key = kNoKey;
        if (platform_.RegOpenKeyExA(root, subKey, 0, kKeyRead, &key) != kErrorSuccess) return false;
        key_ = key;
        return key_ != kNoKey;
    }
    Key Get() const { return key_; }
    void Close() {
        if (key_ != kNoKey) platform_.RegCloseKey(key_);
        key_ = kNoKey;
    }

private:
    Platform& platform_;
    Key key_ = kNoKey;
};

class OpenFile {
public:
    OpenFile(Platform& platform, File file) : platform_(platform), file_(file) {}
    ~OpenFile() { Close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // Only the invalid value means "not open": a POSIX descriptor may be 0.
    bool IsOpen() const { return file_ != kInvalidFile; }
    File Get() const { return file_; }
    // False when the platform reports that the close failed.
    bool Close() {
        bool closed = !IsOpen() || platform_.CloseHandle(file_);
        file_ = kInvalidFile;
        return closed;
    }

private:
    Platform& platform_;
    File file_;
};

// One write of `count` bytes that reports whether all of them were written.
inline bool WriteAll(Platform& platform, File file, const void* data, Dword count) {
    Dword written = 0;
    return platform.WriteFile(file, data, count, &written) && written == count;
}

}  // namespace dedo
