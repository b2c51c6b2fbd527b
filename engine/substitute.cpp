// Argument substitution of the relay launcher; the plain launcher links none of it.
#include "engine.h"

namespace {

// Appends length bytes of text, or as many as fit; FALSE when not all fit.
BOOL AppendBounded(char *out, size_t outSize, size_t *used, const char *text, size_t length)
{
    size_t room = outSize - 1 - *used;
    BOOL fits = length <= room;
    if (!fits)
        length = room;
    memcpy(out + *used, text, length);
    *used += length;
    out[*used] = '\0';
    return fits;
}

}  // namespace

char *ReplaceFirstToken(const char *line, const char *token, const char *replacement, char *out,
                        size_t outSize)
{
    size_t used = 0;
    out[0] = '\0';
    const char *found = strstr(line, token);
    BOOL fits;
    if (found == NULL) {
        fits = AppendBounded(out, outSize, &used, line, strlen(line));
    } else {
        const char *rest = found + strlen(token);
        // The replacement is never searched again, so a "%1" inside it stays.
        fits = AppendBounded(out, outSize, &used, line, (size_t)(found - line)) &&
               AppendBounded(out, outSize, &used, replacement, strlen(replacement)) &&
               AppendBounded(out, outSize, &used, rest, strlen(rest));
    }
    return fits ? out : NULL;
}

void RunScriptFile(const char *path, const char *argument)
{
    RunScript(path, argument != NULL ? argument : "", ReplaceFirstToken);
}
