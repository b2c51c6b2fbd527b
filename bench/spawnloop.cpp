// The floor of launching: "N COMMAND" starts COMMAND N times with nothing
// around the CreateProcessA calls but what any caller needs.
#include "platform.h"

#include "imports.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int)
{
    ImportLauncherDlls(commandTail);
    const char *p = commandTail;
    int count = 0;
    while (*p >= '0' && *p <= '9')
        count = count * 10 + (*p++ - '0');
    while (*p == ' ')
        ++p;
    char commandLine[1024];
    size_t length = strlen(p);
    if (length >= sizeof commandLine)
        return 1;
    for (int i = 0; i < count; ++i) {
        // CreateProcess may write to the command line it is given.
        memcpy(commandLine, p, length + 1);
        STARTUPINFOA startupInfo;
        memset(&startupInfo, 0, sizeof startupInfo);
        startupInfo.cb = sizeof startupInfo;
        startupInfo.dwFlags = STARTF_USESHOWWINDOW;
        startupInfo.wShowWindow = SW_SHOWDEFAULT;
        PROCESS_INFORMATION processInfo;
        memset(&processInfo, 0, sizeof processInfo);
        if (CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startupInfo,
                           &processInfo)) {
            CloseHandle(processInfo.hThread);
            CloseHandle(processInfo.hProcess);
        }
    }
    return 0;
}
