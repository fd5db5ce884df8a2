// Fuzzes the profile reader: any text, several names and buffer sizes; the
// count is always below the size and the buffer ends at the count.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "profile_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    static const char* const kKeys[] = {"City", "Mail Stop", "PhoneArea", ""};
    static const dedo::Dword kSizes[] = {1, 2, 7, 512};
    for (const char* key : kKeys) {
        for (dedo::Dword bufferSize : kSizes) {
            std::vector<char> buffer(bufferSize + 1, '\xA5');
            dedo::Dword n = dedo::ReadProfileString(text, text + size, "User Demographics", key, "fallback",
                                                    buffer.data(), bufferSize);
            if (n >= bufferSize || buffer[n] != '\0' || buffer[bufferSize] != '\xA5') abort();
        }
    }
    return 0;
}
