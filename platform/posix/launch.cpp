// The shell launch of the Linux platform: the document's association, read
// through this platform's own registry (a store, or the desktop's default for
// web pages), started as a program of its own that outlives the call.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "code_page.h"
#include "handles.h"
#include "heap.h"
#include "registry_text.h"
#include "system_platform.h"

namespace dedo {

namespace {

// ShellExecute's answers at or below 32.
constexpr intptr_t kShellFileNotFound = 2;
constexpr intptr_t kShellAccessDenied = 5;
constexpr intptr_t kShellOutOfMemory = 8;
constexpr intptr_t kShellNoAssociation = 31;
constexpr intptr_t kShellLaunched = 42;

// The association's command for the document: "<class>\shell\<verb>\command"
// of the class its extension names.
bool FindCommand(Platform& platform, const char* file, const char* verb, GrowableText& command, bool* noMemory) {
    const char* slash = strrchr(file, '\\');
    const char* name = slash != nullptr ? slash + 1 : file;
    const char* dot = strrchr(name, '.');
    if (dot == nullptr) return false;
    GrowableText documentClass, commandKey;
    {
        OpenKey extension(platform);
        if (!extension.OpenForReading(kClassesRoot, dot)) return false;
        RegistryRead read = ReadRegistryText(platform, extension.Get(), nullptr, documentClass);
        *noMemory = read == RegistryRead::kNoMemory;
        if (read != RegistryRead::kRead || documentClass.Length() == 0) return false;
    }
    if (!commandKey.Format("%s\\shell\\%s\\command", documentClass.Chars(), verb != nullptr ? verb : "open")) {
        *noMemory = true;
        return false;
    }
    OpenKey key(platform);
    if (!key.OpenForReading(kClassesRoot, commandKey.Chars())) return false;
    RegistryRead read = ReadRegistryText(platform, key.Get(), nullptr, command);
    *noMemory = read == RegistryRead::kNoMemory;
    return read == RegistryRead::kRead && command.Length() > 0;
}

// The command line with the document put in place of "%1" (or "%L"), or after
// it when it names no place; then split into arguments the Windows way:
// blanks separate, double quotes group, \" is a quote. All of it UTF-8.
struct Arguments {
    GrowableText line;      // UTF-8 arguments, each ended by a zero byte
    char** argv = nullptr;  // pointers into `line`, ended by null
    ~Arguments() { FreeBlock(argv); }
};

bool BuildArguments(const char* command, const char* unixDocument, Arguments& args) {
    GrowableText expanded;
    bool placed = false;
    for (const char* p = command; *p != '\0'; ++p) {
        if (*p == '%' && (p[1] == '1' || p[1] == 'L' || p[1] == 'l')) {
            // The document in its own quotes unless the command quotes it already.
            bool quoted = p > command && p[-1] == '"';
            if ((!quoted && !expanded.Append("\"")) || !expanded.Append(unixDocument) ||
                (!quoted && !expanded.Append("\"")))
                return false;
            placed = true;
            ++p;
            continue;
        }
        char one[2] = {*p, '\0'};
        if (!expanded.Append(one)) return false;
    }
    if (!placed && (!expanded.Append(" \"") || !expanded.Append(unixDocument) || !expanded.Append("\""))) return false;

    // Split into words.
    size_t count = 0;
    GrowableText word;
    const char* p = expanded.Chars();
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') break;
        if (!word.Assign("")) return false;
        bool quoted = false;
        for (; *p != '\0' && (quoted || (*p != ' ' && *p != '\t')); ++p) {
            if (*p == '"') {
                quoted = !quoted;
                continue;
            }
            if (*p == '\\' && p[1] == '"') ++p;
            char one[2] = {*p, '\0'};
            if (!word.Append(one)) return false;
        }
        if (!args.line.Append(word.Chars()) || !args.line.Append("\x01")) return false;
        ++count;
    }
    if (count == 0) return false;
    args.argv = static_cast<char**>(ResizeBlock(nullptr, (count + 1) * sizeof(char*)));
    if (args.argv == nullptr) return false;
    char* buffer = args.line.GetBuffer(args.line.Length());
    size_t n = 0;
    args.argv[n++] = buffer;
    for (char* q = buffer; *q != '\0'; ++q) {
        if (*q == '\x01') {
            *q = '\0';
            if (n < count) args.argv[n++] = q + 1;
        }
    }
    args.argv[count] = nullptr;
    return true;
}

// Starts the program detached (in a session of its own, its output to
// /dev/null) and answers 0 once it runs, or the errno of the failed start.
int StartDetached(char* const* argv) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    pid_t child = fork();
    if (child < 0) {
        int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        setsid();
        if (fork() != 0) _exit(0);
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        execvp(argv[0], argv);
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    // Nothing written: the pipe closed on a successful exec.
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace

intptr_t SystemPlatform::ShellExecuteA(const char* verb, const char* file, const char* /*parameters*/,
                                       const char* /*directory*/, int /*show*/) {
    if (file == nullptr) return kShellFileNotFound;
    GrowableText command, document;
    bool noMemory = false;
    if (!FindCommand(*this, file, verb, command, &noMemory)) return noMemory ? kShellOutOfMemory : kShellNoAssociation;
    GrowableText utf8Command;  // the system spells names in UTF-8
    if (!ToUnixPath(file, document) || !AppendAsUtf8(utf8Command, command.Chars())) return kShellOutOfMemory;
    Arguments args;
    if (!BuildArguments(utf8Command.Chars(), document.Chars(), args)) return kShellOutOfMemory;
    int error = StartDetached(args.argv);
    if (error == 0) return kShellLaunched;
    SetLastError(ErrorFromErrno(error, nullptr));
    return error == EACCES ? kShellAccessDenied : kShellFileNotFound;
}

}  // namespace dedo
