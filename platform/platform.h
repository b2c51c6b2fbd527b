// The services the engine and the entries use: the Windows API itself, plus
// the few C-runtime pieces the programs carry on their own (no CRT is linked,
// so that nothing touches the heap). The tests put their stand-in <windows.h>
// on the include path; nothing here knows which one it gets.
#pragma once

#include <windows.h>

#include <string.h>

extern "C" {
// Low-level text-mode file input. Only read-only opening (flags 0) exists.
int _open(const char *path, int flags);
int _read(int descriptor, void *buffer, unsigned int count);
int _close(int descriptor);
}

// Text of a process command line behind the program name and the blanks
// after it: what WinMain receives as lpCmdLine.
char *GetCommandTail(char *commandLine);
