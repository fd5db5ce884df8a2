/* A host of DEDORURU in plain C, short enough to copy: it asks the library
 * to write and open the registration page, and says how that went.
 *
 *   register KEYPATH FOLDER [VERSION]
 *
 * Link it to the library (find_package(dedoruru) and dedoruru::dedoruru, or
 * pkg-config dedoruru on Linux); on Windows DEDORURU.dll is loaded with it. */
#include <stdio.h>

#include "dedoruru.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: register KEYPATH FOLDER [VERSION]\n");
        return 2;
    }
    if (!IsBrowserAvail()) {
        printf("No program is registered to open web pages: the page cannot be shown.\n");
        return 1;
    }
    if (!RegisterUser(argv[1], argv[2], argc == 4 ? argv[3] : NULL)) {
        printf("The registration page could not be written in full and opened.\n");
        return 1;
    }
    printf("The registration page is written into %s and opened.\n", argv[2]);
    return 0;
}
