#include "engine.h"

// What a 32-bit CreateProcessA expects; a wrong header would go unnoticed.
static_assert(sizeof(void *) != 4 || sizeof(STARTUPINFOA) == 68, "STARTUPINFOA of 32-bit Windows");

// Zero until a run starts (RunScript sets the show mode): zero-initialised
// state costs the programs no data section.
LaunchState g_launchState;

namespace {

void ForgetLastLaunch(LaunchState *state)
{
    // Nothing waits on the previous program any more.
    if (state->processInfo.hProcess != NULL)
        CloseHandle(state->processInfo.hProcess);
    memset(&state->processInfo, 0, sizeof state->processInfo);
}

void EndLaunch(LaunchState *state)
{
    state->showMode = SW_SHOWDEFAULT;
    state->launchPending = TRUE;
}

}  // namespace

void LaunchCommand(LaunchState *state, char *line)
{
    ForgetLastLaunch(state);
    memset(&state->startupInfo, 0, sizeof state->startupInfo);
    state->startupInfo.cb = sizeof state->startupInfo;
    state->startupInfo.dwFlags = STARTF_USESHOWWINDOW;
    state->startupInfo.wShowWindow = (WORD)state->showMode;
    CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &state->startupInfo,
                   &state->processInfo);
    // :WAIT needs the process handle only.
    if (state->processInfo.hThread != NULL) {
        CloseHandle(state->processInfo.hThread);
        state->processInfo.hThread = NULL;
    }
    EndLaunch(state);
}

void AbandonLaunch(LaunchState *state)
{
    ForgetLastLaunch(state);
    EndLaunch(state);
}
