/* RegisterUser from eight threads into eight folders at once, with
 * IsBrowserAvail called alongside, under Wine.
 *
 *   threads_host DLL KEYPATH WORKDIR
 *
 * Writes into WORKDIR\thread0 .. thread7 (which must exist) and prints how
 * many calls answered 1; the Wine lane checks the pages. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#define WRITERS 8
#define PROBES_PER_THREAD 50

typedef int(__cdecl* ProbeFn)(void);
typedef int(__cdecl* RegisterFn)(const char*, const char*, const char*);

static ProbeFn probe;
static RegisterFn registerUser;
static const char* key;
static char folders[WRITERS][MAX_PATH];
static LONG registered, probed, wrong;

static DWORD WINAPI writer(LPVOID arg) {
    int answer = registerUser(key, folders[(INT_PTR)arg], "7.00.116");
    InterlockedIncrement(answer == 1 ? &registered : &wrong);
    return 0;
}

static DWORD WINAPI prober(LPVOID arg) {
    (void)arg;
    for (int n = 0; n < PROBES_PER_THREAD; n++) InterlockedIncrement(probe() == 1 ? &probed : &wrong);
    return 0;
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc != 4) {
        fputs("usage: threads_host DLL KEYPATH WORKDIR\n", stderr);
        return 2;
    }
    HMODULE dll = LoadLibraryA(argv[1]);
    if (dll == NULL) return 2;
    probe = (ProbeFn)(void*)GetProcAddress(dll, "IsBrowserAvail");
    registerUser = (RegisterFn)(void*)GetProcAddress(dll, "RegisterUser");
    if (probe == NULL || registerUser == NULL) return 2;
    key = argv[2];

    HANDLE threads[2 * WRITERS];
    for (int i = 0; i < WRITERS; i++) {
        snprintf(folders[i], MAX_PATH, "%s\\thread%d", argv[3], i);
        threads[2 * i] = CreateThread(NULL, 0, writer, (LPVOID)(INT_PTR)i, 0, NULL);
        threads[2 * i + 1] = CreateThread(NULL, 0, prober, NULL, 0, NULL);
    }
    WaitForMultipleObjects(2 * WRITERS, threads, TRUE, INFINITE);
    for (int i = 0; i < 2 * WRITERS; i++) CloseHandle(threads[i]);
    printf("%s %ld RegisterUser calls from %d threads answered 1\n", registered == WRITERS ? "PASS" : "FAIL",
           registered, WRITERS);
    printf("%s %ld IsBrowserAvail calls from %d threads alongside answered 1\n",
           probed == WRITERS * PROBES_PER_THREAD ? "PASS" : "FAIL", probed, WRITERS);
    FreeLibrary(dll);
    return registered == WRITERS && probed == WRITERS * PROBES_PER_THREAD && wrong == 0 ? 0 : 1;
}
