// hoplax: runs the script named on its command line, or "hoplax.ini" of the
// current directory.
#include "engine.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int)
{
    static const char kDefaultScript[32] = "hoplax.ini";
    // The whole tail is the path: quotes and blanks in it are part of the name.
    RunScriptFile(commandTail[0] != '\0' ? commandTail : kDefaultScript);
    return 0;
}
