// The floor of the launcher's own cost: the launchers' start-up and the same
// DLLs, but no script.
#include "platform.h"

#include "imports.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int)
{
    ImportLauncherDlls(commandTail);
    return 0;
}
