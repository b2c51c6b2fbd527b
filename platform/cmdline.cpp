#include "platform.h"

char *GetCommandTail(char *commandLine)
{
    unsigned char *p = (unsigned char *)commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            // A trail byte is never a closing quote, but the end of the text
            // always ends the name.
            if (IsDBCSLeadByte(*p) && p[1] != '\0')
                ++p;
            ++p;
        }
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p != '\0' && *p <= ' ')
        ++p;
    return (char *)p;
}
