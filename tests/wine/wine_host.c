/* The Wine lane's test host. It loads DEDORURU.dll as a Windows host would,
 * binds every export by name and by ordinal, and checks what only a Windows
 * host can see: the export table, a calling thread that ends, the rename
 * service's last errors and null names, and a leftover held open without
 * sharing while RegisterUser runs.
 *
 *   wine_host DLL exports            the export table as a host sees it
 *   wine_host DLL rename WORKDIR     the rename cases, in a fresh folder
 *   wine_host DLL register KEYPATH FOLDER VERSION [HELD]
 *                                    one RegisterUser call ("-" passes null for
 *                                    KEYPATH, FOLDER or VERSION), with the file
 *                                    HELD open without sharing meanwhile; prints
 *                                    "ANSWER n" for the driver to judge
 *
 * Prints one "PASS name" or "FAIL name: why" line per check and exits 0 only
 * when every check passed.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

typedef int(__cdecl* ProbeFn)(void);
typedef int(__cdecl* RegisterFn)(const char*, const char*, const char*);
typedef int(__cdecl* RenameFn)(const char*, const char*);

static int failures = 0;

static void check(int ok, const char* name, const char* why) {
    if (ok) {
        printf("PASS %s\n", name);
    } else {
        printf("FAIL %s: %s\n", name, why);
        failures++;
    }
}

static HMODULE load(const char* path) {
    HMODULE dll = LoadLibraryA(path);
    if (dll == NULL) {
        printf("FAIL load: cannot load %s (error %lu)\n", path, (unsigned long)GetLastError());
        exit(1);
    }
    return dll;
}

static FARPROC by_ordinal(HMODULE dll, int ordinal) { return GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)); }

static ProbeFn thread_probe;
static int thread_answer = -1;
static DWORD WINAPI probe_thread(LPVOID unused) {
    (void)unused;
    thread_answer = thread_probe();
    return 0;
}

static int exports_mode(const char* dllPath) {
    static const char* const names[] = {"IsBrowserAvail", "RegisterUser", "zelkRename"};
    HMODULE dll = load(dllPath);
    char name[128], why[256];
    for (int i = 0; i < 3; i++) {
        FARPROC byName = GetProcAddress(dll, names[i]);
        FARPROC byOrdinal = by_ordinal(dll, i + 1);
        snprintf(name, sizeof name, "export %s is ordinal %d", names[i], i + 1);
        snprintf(why, sizeof why, "by name %p, by ordinal %p", (void*)byName, (void*)byOrdinal);
        check(byName != NULL && byName == byOrdinal, name, why);
    }
    check(by_ordinal(dll, 4) == NULL, "no ordinal 4", "ordinal 4 resolves");
    check(GetProcAddress(dll, "_IsBrowserAvail") == NULL && GetProcAddress(dll, "isbrowseravail") == NULL,
          "names are exact and undecorated", "a decorated or re-cased name resolves");

    /* A thread that calls an export and ends leaves the library working for the others. */
    thread_probe = (ProbeFn)(void*)GetProcAddress(dll, "IsBrowserAvail");
    HANDLE thread = CreateThread(NULL, 0, probe_thread, NULL, 0, NULL);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    int after = thread_probe();
    snprintf(why, sizeof why, "thread answered %d, main thread after it %d", thread_answer, after);
    check((thread_answer == 0 || thread_answer == 1) && after == thread_answer,
          "an export called from a thread that ended keeps working", why);

    check(FreeLibrary(dll) != 0, "unload", "FreeLibrary failed");

    /* A second load and unload without any call still works. */
    dll = load(dllPath);
    check(FreeLibrary(dll) != 0, "load and unload again", "FreeLibrary failed");
    return failures == 0 ? 0 : 1;
}

/* ---- rename ---------------------------------------------------------- */

static char root[MAX_PATH];

static const char* at(char* buffer, const char* relative) {
    snprintf(buffer, MAX_PATH, "%s\\%s", root, relative);
    return buffer;
}

static void make_file(const char* relative, const char* content) {
    char path[MAX_PATH];
    HANDLE h = CreateFileA(at(path, relative), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    if (h == INVALID_HANDLE_VALUE) {
        printf("FAIL setup: cannot create %s\n", path);
        exit(1);
    }
    WriteFile(h, content, (DWORD)strlen(content), &written, NULL);
    CloseHandle(h);
}

static void make_folder(const char* relative) {
    char path[MAX_PATH];
    CreateDirectoryA(at(path, relative), NULL);
}

/* 'f' file, 'd' folder, 0 nothing. */
static char kind(const char* relative) {
    char path[MAX_PATH];
    DWORD a = GetFileAttributesA(at(path, relative));
    if (a == INVALID_FILE_ATTRIBUTES) return 0;
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? 'd' : 'f';
}

static int has_content(const char* relative, const char* content) {
    char path[MAX_PATH], buffer[256];
    DWORD got = 0;
    HANDLE h = CreateFileA(at(path, relative), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return 0;
    ReadFile(h, buffer, sizeof buffer - 1, &got, NULL);
    CloseHandle(h);
    buffer[got] = '\0';
    return strcmp(buffer, content) == 0;
}

struct rename_case {
    const char* name;
    const char* setup_files;   /* ';'-separated files to create, each with its own name as content */
    const char* setup_folders; /* ';'-separated folders to create first */
    const char* from;          /* relative to the work folder; NULL passes a null pointer */
    const char* to;
    int expected;
    DWORD expected_error;      /* checked when the answer is 0 */
    const char* after;         /* ';'-separated "kind:path" that must hold afterwards, kind f, d or - */
};

static void each(const char* list, void (*fn)(const char*)) {
    char item[MAX_PATH];
    while (list != NULL && *list != '\0') {
        const char* end = strchr(list, ';');
        size_t n = end != NULL ? (size_t)(end - list) : strlen(list);
        memcpy(item, list, n);
        item[n] = '\0';
        fn(item);
        list = end != NULL ? end + 1 : list + n;
    }
}

static void create_named_file(const char* relative) { make_file(relative, relative); }

static const char* pending_case;
static void expect_kind(const char* expectation) {
    char why[MAX_PATH + 64], name[MAX_PATH + 64];
    char want = expectation[0] == '-' ? 0 : expectation[0];
    const char* relative = expectation + 2;
    char got = kind(relative);
    snprintf(name, sizeof name, "%s: %s", pending_case, expectation);
    snprintf(why, sizeof why, "%s is %s", relative, got == 'f' ? "a file" : got == 'd' ? "a folder" : "missing");
    check(got == want, name, why);
}

static int rename_mode(const char* dllPath, const char* workdir) {
    static const struct rename_case cases[] = {
        {"rename in the same folder", "a.txt", "", "a.txt", "b.txt", 1, 0, "-:a.txt;f:b.txt"},
        {"move into another folder", "a.txt", "sub", "a.txt", "sub\\c.txt", 1, 0, "-:a.txt;f:sub\\c.txt"},
        {"new name taken by a file", "a.txt;b.txt", "", "a.txt", "b.txt", 0, ERROR_ALREADY_EXISTS,
         "f:a.txt;f:b.txt"},
        {"new name taken by a folder", "a.txt", "sub", "a.txt", "sub", 0, ERROR_ALREADY_EXISTS, "f:a.txt;d:sub"},
        {"existing name missing", "", "", "nothing.txt", "b.txt", 0, ERROR_FILE_NOT_FOUND, "-:nothing.txt;-:b.txt"},
        {"folder on the new path missing", "a.txt", "", "a.txt", "nowhere\\b.txt", 0, ERROR_PATH_NOT_FOUND,
         "f:a.txt;-:nowhere"},
        {"rename a folder", "", "old", "old", "new", 1, 0, "-:old;d:new"},
        {"null existing name", "a.txt", "", NULL, "b.txt", 0, ERROR_INVALID_PARAMETER, "f:a.txt;-:b.txt"},
        {"null new name", "a.txt", "", "a.txt", NULL, 0, ERROR_INVALID_PARAMETER, "f:a.txt"},
    };
    HMODULE dll = load(dllPath);
    RenameFn byName = (RenameFn)(void*)GetProcAddress(dll, "zelkRename");
    RenameFn byOrdinal = (RenameFn)(void*)by_ordinal(dll, 3);
    if (byName == NULL || byName != byOrdinal) {
        check(0, "bind zelkRename", "missing, or name and ordinal differ");
        return 1;
    }
    char name[256], why[256], from[MAX_PATH], to[MAX_PATH];
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        const struct rename_case* c = &cases[i];
        snprintf(root, sizeof root, "%s\\case%u", workdir, (unsigned)i);
        CreateDirectoryA(workdir, NULL);
        CreateDirectoryA(root, NULL);
        each(c->setup_folders, make_folder);
        each(c->setup_files, create_named_file);

        /* Alternate the binding: both must behave the same. */
        RenameFn fn = (i % 2 == 0) ? byName : byOrdinal;
        SetLastError(0xDEADBEEF);
        int result = fn(c->from != NULL ? at(from, c->from) : NULL, c->to != NULL ? at(to, c->to) : NULL);
        DWORD error = GetLastError();

        snprintf(name, sizeof name, "%s: answer", c->name);
        snprintf(why, sizeof why, "expected %d, got %d (last error %lu)", c->expected, result, (unsigned long)error);
        check(result == c->expected, name, why);
        if (c->expected == 0) {
            snprintf(name, sizeof name, "%s: last error", c->name);
            snprintf(why, sizeof why, "expected %lu, got %lu", (unsigned long)c->expected_error,
                     (unsigned long)error);
            check(error == c->expected_error, name, why);
        }
        pending_case = c->name;
        each(c->after, expect_kind);
    }

    /* Both names unchanged when the new name is taken: contents intact. */
    snprintf(root, sizeof root, "%s\\case2", workdir);
    check(has_content("a.txt", "a.txt") && has_content("b.txt", "b.txt"),
          "new name taken by a file: both keep their contents", "a content changed");

    /* A relative name resolves against the current folder. */
    snprintf(root, sizeof root, "%s\\relative", workdir);
    CreateDirectoryA(root, NULL);
    make_file("r.txt", "r");
    SetCurrentDirectoryA(root);
    check(byName("r.txt", "s.txt") == 1 && kind("s.txt") == 'f' && kind("r.txt") == 0,
          "relative names resolve against the current folder", "not moved");

    FreeLibrary(dll);
    return failures == 0 ? 0 : 1;
}

static const char* or_null(const char* arg) { return strcmp(arg, "-") == 0 ? NULL : arg; }

static int register_mode(const char* dllPath, char** args, int count) {
    HMODULE dll = load(dllPath);
    RegisterFn reg = (RegisterFn)(void*)GetProcAddress(dll, "RegisterUser");
    if (reg == NULL || reg != (RegisterFn)(void*)by_ordinal(dll, 2)) {
        check(0, "bind RegisterUser", "missing, or name and ordinal differ");
        return 1;
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    if (count == 4) {
        held = CreateFileA(args[3], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (held == INVALID_HANDLE_VALUE) {
            check(0, "hold the leftover open", "cannot open it");
            return 1;
        }
    }
    int answer = reg(or_null(args[0]), or_null(args[1]), or_null(args[2]));
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    printf("ANSWER %d\n", answer);
    FreeLibrary(dll);
    return 0;
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc == 3 && strcmp(argv[2], "exports") == 0) return exports_mode(argv[1]);
    if (argc == 4 && strcmp(argv[2], "rename") == 0) return rename_mode(argv[1], argv[3]);
    if ((argc == 6 || argc == 7) && strcmp(argv[2], "register") == 0) return register_mode(argv[1], argv + 3, argc - 3);
    fputs("usage: wine_host DLL exports | rename WORKDIR | register KEY FOLDER VERSION [HELD]\n",
          stderr);
    return 2;
}
