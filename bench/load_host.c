/* Times, inside one fresh process, loading a DLL and making its first call:
 * LoadLibrary, GetProcAddress and the call itself.
 *   load_host DLL FUNCTION   prints the microseconds */
#include <stdio.h>
#include <windows.h>

typedef int(__cdecl* Fn)(void);

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HMODULE dll = LoadLibraryA(argv[1]);
    Fn fn = dll != NULL ? (Fn)(void*)GetProcAddress(dll, argv[2]) : NULL;
    int answer = fn != NULL ? fn() : -1;
    QueryPerformanceCounter(&end);
    if (answer < 0) return 1;
    printf("%.1f\n", (double)(end.QuadPart - start.QuadPart) * 1e6 / (double)frequency.QuadPart);
    return 0;
}
