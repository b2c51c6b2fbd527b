// The launch script engine: reads a script and carries out its lines.
#pragma once

#include "platform.h"

#include <stddef.h>

enum {
    LINE_BUFFER_SIZE = 1024,  // one line of at most 1023 bytes and its zero
};

struct LaunchState {
    int showMode;  // show-window value for the next launch
    PROCESS_INFORMATION processInfo;  // of the most recent launch
    BYTE launchPending;  // a launch was attempted since the last :WAIT that waited
    STARTUPINFOA startupInfo;
};

// One run per process, so the state is process-wide.
extern LaunchState g_launchState;

// Writes line into out (outSize bytes) with the first occurrence of token
// replaced. Returns out, or NULL when the result does not fit: out then holds
// as much of it as fits.
char *ReplaceFirstToken(const char *line, const char *token, const char *replacement, char *out,
                        size_t outSize);

typedef char *(*TokenReplacer)(const char *line, const char *token, const char *replacement,
                               char *out, size_t outSize);

// Plain launcher: no argument, no substitution.
void RunScriptFile(const char *path);
// Relay launcher: the first "%1" of every non-empty line becomes argument.
void RunScriptFile(const char *path, const char *argument);
// Both of the above; replace is NULL for no substitution.
void RunScript(const char *path, const char *argument, TokenReplacer replace);

// The one failure a user sees: the script cannot be read.
void ReportUnreadableScript(void);

// Returns TRUE for ":END".
BOOL ProcessLine(LaunchState *state, char *line);
// A line that did not fit the line buffer is never carried out.
void ProcessOverlongLine(LaunchState *state, const char *line);

void LaunchCommand(LaunchState *state, char *line);
// Counts as a launch that failed.
void AbandonLaunch(LaunchState *state);
