// hoplarl: runs "hoplarl.ini" beside its own program file and relays its
// command-line tail into the script through "%1".
#include "directory.h"
#include "engine.h"

namespace {

const DWORD kPathBufferSize = 512;
const char kScriptName[] = "\\hoplarl.ini";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int)
{
    char modulePath[kPathBufferSize];
    char scriptPath[kPathBufferSize];
    memset(modulePath, 0, sizeof modulePath);
    memset(scriptPath, 0, sizeof scriptPath);
    DWORD length = GetModuleFileNameA(NULL, modulePath, kPathBufferSize);
    GetDirectoryPart(scriptPath, sizeof scriptPath, modulePath);
    // A cut program path, or a directory too long for the name, would point
    // at some other file: better no script than the wrong one.
    if (length >= kPathBufferSize || strlen(scriptPath) + sizeof kScriptName > sizeof scriptPath) {
        ReportUnreadableScript();
        return 0;
    }
    strcat(scriptPath, kScriptName);
    RunScriptFile(scriptPath, commandTail);
    return 0;
}
