// Files of the Linux platform, with the Win32 meaning the library relies on.
//
// Share modes: a handle opened without sharing (share mode 0) holds an
// exclusive flock(2) lock on its file for as long as it is open. A file on
// which another handle, here or in another program, holds such a lock is
// "held open without sharing": it is neither deleted nor replaced, and the
// attempt fails with ERROR_SHARING_VIOLATION. Programs that want their open
// file protected take the same lock, as `flock FILE COMMAND` does.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system_platform.h"

namespace dedo {

namespace {

constexpr Dword kErrorNotSameDevice = 17;

// Whether another handle holds the file open without sharing.
bool HeldWithoutSharing(const char* unixPath) {
    int fd = open(unixPath, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);  // also gives up the probe's own lock
    return held;
}

bool ReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

// A file moved across file systems: copied to a new name that must not exist,
// then the original removed. A partial copy is removed again.
bool CopyThenRemove(const char* from, const char* to, const struct stat& info, Dword* error) {
    int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = ErrorFromErrno(errno, from);
        return false;
    }
    int out = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        *error = ErrorFromErrno(errno, to);
        close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t put = 0; put < got && ok;) {
            ssize_t n = write(out, buffer + put, static_cast<size_t>(got - put));
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0;
            put += n > 0 ? n : 0;
        }
        if (!ok) break;
    }
    if (!ok) *error = ErrorFromErrno(errno, to);
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        *error = ErrorFromErrno(errno, to);
    }
    if (ok && unlink(from) != 0) {
        ok = false;
        *error = ErrorFromErrno(errno, from);
    }
    if (!ok) unlink(to);
    return ok;
}

}  // namespace

bool SystemPlatform::SetFileAttributesA(const char* path, Dword attributes) {
    GrowableText unixPath;
    if (path == nullptr || !ToUnixPath(path, unixPath)) return Fail(path == nullptr ? kErrorInvalidParameter : kErrorNotEnoughMemory);
    struct stat info;
    if (stat(unixPath.Chars(), &info) != 0) return Fail(ErrorFromErrno(errno, unixPath.Chars()));
    // Read-only is the owner's missing write permission; the other attributes have no home here.
    mode_t mode = (attributes & kFileAttributeReadOnly) != 0 ? info.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                                                              : info.st_mode | S_IWUSR;
    if (chmod(unixPath.Chars(), mode & 07777) != 0) return Fail(ErrorFromErrno(errno, unixPath.Chars()));
    return true;
}

bool SystemPlatform::DeleteFileA(const char* path) {
    GrowableText unixPath;
    if (path == nullptr || !ToUnixPath(path, unixPath)) return Fail(path == nullptr ? kErrorInvalidParameter : kErrorNotEnoughMemory);
    struct stat info;
    if (lstat(unixPath.Chars(), &info) != 0) return Fail(ErrorFromErrno(errno, unixPath.Chars()));
    if (S_ISDIR(info.st_mode) || ReadOnly(info)) return Fail(kErrorAccessDenied);
    if (HeldWithoutSharing(unixPath.Chars())) return Fail(kErrorSharingViolation);
    if (unlink(unixPath.Chars()) != 0) return Fail(ErrorFromErrno(errno, unixPath.Chars()));
    return true;
}

File SystemPlatform::CreateFileA(const char* path, Dword access, Dword share, Dword disposition, Dword attributes) {
    GrowableText unixPath;
    if (path == nullptr || !ToUnixPath(path, unixPath)) {
        Fail(path == nullptr ? kErrorInvalidParameter : kErrorNotEnoughMemory);
        return kInvalidFile;
    }
    if (disposition != kCreateAlways || (access & kGenericWrite) == 0) {
        Fail(kErrorInvalidParameter);  // the library only ever creates files to write them
        return kInvalidFile;
    }
    struct stat info;
    bool existed = stat(unixPath.Chars(), &info) == 0;
    if (existed && (S_ISDIR(info.st_mode) || ReadOnly(info))) {
        Fail(kErrorAccessDenied);
        return kInvalidFile;
    }
    int fd = open(unixPath.Chars(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(ErrorFromErrno(errno, unixPath.Chars()));
        return kInvalidFile;
    }
    // Take the lock before the file is emptied: a file held elsewhere is left as it is.
    int lock = share == 0 ? LOCK_EX : LOCK_SH;
    if (flock(fd, lock | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
        Fail(errno == EWOULDBLOCK ? kErrorSharingViolation : ErrorFromErrno(errno, unixPath.Chars()));
        close(fd);
        return kInvalidFile;
    }
    if ((attributes & kFileAttributeReadOnly) != 0) fchmod(fd, 0444);
    SetLastError(existed ? kErrorAlreadyExists : kErrorSuccess);  // as CREATE_ALWAYS tells it
    return File{static_cast<uintptr_t>(fd)};
}

bool SystemPlatform::WriteFile(File file, const void* data, Dword count, Dword* written) {
    if (written != nullptr) *written = 0;
    if (file == kInvalidFile) return Fail(kErrorInvalidHandle);
    int fd = static_cast<int>(file.value);
    const char* bytes = static_cast<const char*>(data);
    Dword done = 0;
    while (done < count) {
        ssize_t n = write(fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written != nullptr) *written = done;
            return Fail(n < 0 ? ErrorFromErrno(errno, nullptr) : 112);
        }
        done += static_cast<Dword>(n);
    }
    if (written != nullptr) *written = done;
    return true;
}

bool SystemPlatform::CloseHandle(File file) {
    if (file == kInvalidFile) return Fail(kErrorInvalidHandle);
    if (close(static_cast<int>(file.value)) != 0) return Fail(ErrorFromErrno(errno, nullptr));
    return true;
}

bool SystemPlatform::MoveFileA(const char* existing, const char* newName) {
    GrowableText from, to;
    if (existing == nullptr || newName == nullptr) return Fail(kErrorInvalidParameter);
    if (!ToUnixPath(existing, from) || !ToUnixPath(newName, to)) return Fail(kErrorNotEnoughMemory);
    struct stat info;
    if (lstat(from.Chars(), &info) != 0) return Fail(ErrorFromErrno(errno, from.Chars()));
    // Never replace: the kernel checks and renames in one step.
    if (renameat2(AT_FDCWD, from.Chars(), AT_FDCWD, to.Chars(), RENAME_NOREPLACE) == 0) return true;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without that check: test first, then rename.
        struct stat taken;
        if (lstat(to.Chars(), &taken) == 0) return Fail(kErrorAlreadyExists);
        if (rename(from.Chars(), to.Chars()) == 0) return true;
        error = errno;
    }
    if (error == EXDEV) {
        // Another file system: a file is copied and the original removed; a folder stays.
        if (!S_ISREG(info.st_mode)) return Fail(kErrorNotSameDevice);
        Dword copyError = 0;
        return CopyThenRemove(from.Chars(), to.Chars(), info, &copyError) || Fail(copyError);
    }
    return Fail(ErrorFromErrno(error, to.Chars()));
}

}  // namespace dedo
