/* Stands in for the browser in the Wine lane: the ".htm" association points
 * here, so a launch starts this program instead of a real browser. It appends
 * the document it was asked to open to "launches.txt" beside itself. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (n == 0 || n >= sizeof path || slash == NULL || (size_t)(slash - path) + 14 > sizeof path) return 1;
    strcpy(slash + 1, "launches.txt");
    FILE* log = fopen(path, "ab");
    if (log == NULL) return 1;
    fprintf(log, "%s\n", argc > 1 ? argv[1] : "");
    fclose(log);
    return 0;
}
