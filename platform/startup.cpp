// The programs' own start-up: the C runtime's would allocate and derives
// lpCmdLine by other rules.
#include "platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandTail, int showCommand);

extern "C" void WinMainCRTStartup(void)
{
    STARTUPINFOA startupInfo;
    memset(&startupInfo, 0, sizeof startupInfo);
    GetStartupInfoA(&startupInfo);
    int showCommand = (startupInfo.dwFlags & STARTF_USESHOWWINDOW) ? startupInfo.wShowWindow : SW_SHOWDEFAULT;
    int exitCode = WinMain(GetModuleHandleA(NULL), NULL, GetCommandTail(GetCommandLineA()), showCommand);
    ExitProcess((UINT)exitCode);
}
