// Text-mode descriptor input over CreateFileA/ReadFile, one byte at a time,
// with a one-byte look-ahead for the CR LF rule instead of seeking back (the
// script may be a pipe or a file that another program is writing).
#include "platform.h"

namespace {

const int kMaxOpenFiles = 4;
const int kNoLookahead = -1;
const char kCarriageReturn = '\r';
const char kLineFeed = '\n';
const char kEndOfFileMark = 0x1A;  // Ctrl-Z

struct TextFile {
    HANDLE handle;   // NULL: slot free
    int lookahead;   // byte read past a CR, or kNoLookahead
    BOOL ended;      // a Ctrl-Z was read
};

TextFile g_files[kMaxOpenFiles];

TextFile *FileOf(int descriptor)
{
    if (descriptor < 0 || descriptor >= kMaxOpenFiles || g_files[descriptor].handle == NULL)
        return NULL;
    return &g_files[descriptor];
}

// 1 with a byte, 0 at the end, -1 on a read error.
int ReadRawByte(TextFile *file, char *byte)
{
    if (file->lookahead != kNoLookahead) {
        *byte = (char)file->lookahead;
        file->lookahead = kNoLookahead;
        return 1;
    }
    DWORD got = 0;
    if (!ReadFile(file->handle, byte, 1, &got, NULL))
        return -1;
    return got == 1 ? 1 : 0;
}

int ReadTextByte(TextFile *file, char *byte)
{
    if (file->ended)
        return 0;
    int result = ReadRawByte(file, byte);
    if (result != 1)
        return result;
    if (*byte == kEndOfFileMark) {
        file->ended = TRUE;
        return 0;
    }
    if (*byte != kCarriageReturn)
        return 1;
    char next = 0;
    if (ReadRawByte(file, &next) != 1)
        return 1;  // a CR at the end (or before an error) is delivered as itself
    if (next == kLineFeed)
        *byte = kLineFeed;
    else
        file->lookahead = (unsigned char)next;
    return 1;
}

}  // namespace

extern "C" int _open(const char *path, int flags)
{
    if (flags != 0)
        return -1;
    for (int descriptor = 0; descriptor < kMaxOpenFiles; ++descriptor) {
        if (g_files[descriptor].handle != NULL)
            continue;
        // Shared for writing too, so an editor holding the script open does
        // not stop the launcher.
        HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (handle == INVALID_HANDLE_VALUE || handle == NULL)
            return -1;
        g_files[descriptor].handle = handle;
        g_files[descriptor].lookahead = kNoLookahead;
        g_files[descriptor].ended = FALSE;
        return descriptor;
    }
    return -1;
}

extern "C" int _read(int descriptor, void *buffer, unsigned int count)
{
    TextFile *file = FileOf(descriptor);
    if (file == NULL)
        return -1;
    char *bytes = (char *)buffer;
    unsigned int delivered = 0;
    while (delivered < count) {
        char byte = 0;
        int result = ReadTextByte(file, &byte);
        if (result < 0)
            return delivered > 0 ? (int)delivered : -1;
        if (result == 0)
            break;
        bytes[delivered++] = byte;
    }
    return (int)delivered;
}

extern "C" int _close(int descriptor)
{
    TextFile *file = FileOf(descriptor);
    if (file == NULL)
        return -1;
    CloseHandle(file->handle);
    file->handle = NULL;
    return 0;
}
