// Line kinds and directives of the launch script.
#include "engine.h"

BOOL ProcessLine(LaunchState *state, char *line)
{
    if (line[0] == '\0' || line[0] == '#')
        return FALSE;
    if (line[0] != ':') {
        LaunchCommand(state, line);
        return FALSE;
    }
    // Directives match whole and case-sensitively: ":END " or ":end" are no
    // directives and are ignored.
    if (strcmp(line, ":END") == 0)
        return TRUE;
    if (strcmp(line, ":WAIT") == 0) {
        if (state->launchPending) {
            WaitForInputIdle(state->processInfo.hProcess, INFINITE);
            state->launchPending = FALSE;
        }
    } else if (strcmp(line, ":MINIMIZE") == 0) {
        state->showMode = SW_SHOWMINIMIZED;
    } else if (strcmp(line, ":MAXIMIZE") == 0) {
        state->showMode = SW_SHOWMAXIMIZED;
    }
    return FALSE;
}

void ProcessOverlongLine(LaunchState *state, const char *line)
{
    // Only the start of the line is known; it is enough to tell its kind.
    if (line[0] != '#' && line[0] != ':')
        AbandonLaunch(state);
}
