#include "directory.h"

#include <string.h>

int GetDirectoryPart(char *out, size_t size, const char *path)
{
    strncpy(out, path, size);
    out[size - 1] = '\0';
    // Byte by byte: a backslash as the trail byte of a double-byte character
    // counts too.
    for (size_t i = size; i-- > 0;) {
        if (out[i] == '\\') {
            out[i] = '\0';
            return 1;
        }
    }
    out[0] = '\0';
    return 0;
}
