#include "engine.h"

namespace {

const char kArgumentToken[] = "%1";

// "設定ファイルを読み込めませんでした。" in code page 932, whatever the
// code page of the machine that builds it.
const char kUnreadableScriptText[] =
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD"
    "\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";
const char kCaption[] = "Hopla";

struct ScriptLine {
    char text[LINE_BUFFER_SIZE];
    size_t length;
    BOOL overlong;  // bytes were dropped because the buffer was full
};

void AppendByte(ScriptLine *line, char byte)
{
    if (line->length < LINE_BUFFER_SIZE - 1) {
        line->text[line->length++] = byte;
        line->text[line->length] = '\0';
    } else {
        line->overlong = TRUE;
    }
}

void ClearLine(ScriptLine *line)
{
    line->text[0] = '\0';
    line->length = 0;
    line->overlong = FALSE;
}

// Returns TRUE at ":END".
BOOL FinishLine(ScriptLine *line, const char *argument, TokenReplacer replace,
                char (&substitution)[LINE_BUFFER_SIZE])
{
    if (replace != NULL && line->text[0] != '\0') {
        memset(substitution, 0, sizeof substitution);
        if (replace(line->text, kArgumentToken, argument, substitution, sizeof substitution) == NULL)
            line->overlong = TRUE;
        memcpy(line->text, substitution, sizeof line->text);
    }
    BOOL stop = FALSE;
    if (line->overlong)
        ProcessOverlongLine(&g_launchState, line->text);
    else
        stop = ProcessLine(&g_launchState, line->text);
    ClearLine(line);
    return stop;
}

}  // namespace

void ReportUnreadableScript(void)
{
    MessageBoxA(NULL, kUnreadableScriptText, kCaption, MB_ICONERROR);
}

void RunScript(const char *path, const char *argument, TokenReplacer replace)
{
    g_launchState.showMode = SW_SHOWDEFAULT;
    int descriptor = _open(path, 0);
    if (descriptor < 0) {
        ReportUnreadableScript();
        return;
    }
    ScriptLine line;
    memset(&line, 0, sizeof line);
    char substitution[LINE_BUFFER_SIZE];
    char readBuffer[2] = {0, 0};
    int got;
    while ((got = _read(descriptor, readBuffer, 1)) == 1) {
        if (readBuffer[0] == '\n') {
            if (FinishLine(&line, argument, replace, substitution))
                break;
        } else if (readBuffer[0] != '\0') {
            AppendByte(&line, readBuffer[0]);
        }
    }
    // A read error ends the script too, but the line it cut is not carried out.
    if (got < 0)
        ClearLine(&line);
    // The last line may have no line feed; after ":END" the line is empty.
    FinishLine(&line, argument, replace, substitution);
    _close(descriptor);
}

void RunScriptFile(const char *path)
{
    RunScript(path, NULL, NULL);
}
