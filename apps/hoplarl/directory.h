#pragma once

#include <stddef.h>

// Copies path into out (size bytes) and cuts it at its last backslash.
// Returns 1 when there was one; otherwise out becomes empty and 0 is returned.
int GetDirectoryPart(char *out, size_t size, const char *path);
