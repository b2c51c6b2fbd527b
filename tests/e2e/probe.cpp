// Started by the launchers under test: records how it was started, then
// holds off its first GetMessage for "/hold:MS" so that a launcher's :WAIT
// can be told apart from no wait, and ends "/live:MS" later. "/append:FILE"
// (the rest of the command line) appends FILE.add to FILE first, as an
// editor would change a script that a launcher is reading.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

unsigned long long Now()
{
    FILETIME time;
    GetSystemTimePreciseAsFileTime(&time);
    return ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

unsigned long Option(const char *commandLine, const char *name, unsigned long fallback)
{
    const char *found = strstr(commandLine, name);
    return found ? strtoul(found + strlen(name), nullptr, 10) : fallback;
}

void Append(const char *path, const char *text)
{
    FILE *file = fopen(path, "ab");
    if (file) {
        fputs(text, file);
        fclose(file);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char directory[1024] = {};
    if (!GetEnvironmentVariableA("HOPLA_PROBE_DIR", directory, sizeof directory))
        return 1;
    const char *commandLine = GetCommandLineA();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    char currentDirectory[1024] = {};
    GetCurrentDirectoryA(sizeof currentDirectory, currentDirectory);

    char path[1200];
    snprintf(path, sizeof path, "%s\\probe-%lu.txt", directory, GetCurrentProcessId());
    static char record[8192];
    int used = snprintf(record, sizeof record, "start=%llu\nflags=%lu\nshow=%u\ncwd=%s\ncmdline=",
                        Now(), startup.dwFlags, startup.wShowWindow, currentDirectory);
    // Hex, so that every byte of the command line comes back as it was.
    for (const unsigned char *p = (const unsigned char *)commandLine;
         *p && used < (int)sizeof record - 8; ++p)
        used += snprintf(record + used, sizeof record - used, "%02x", *p);
    snprintf(record + used, sizeof record - used, "\n");
    Append(path, record);

    const char *append = strstr(commandLine, "/append:");
    if (append) {
        std::string target(append + strlen("/append:"));
        std::ifstream addition(target + ".add", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(addition)), std::istreambuf_iterator<char>());
        std::ofstream(target, std::ios::binary | std::ios::app) << bytes;
    }

    Sleep(Option(commandLine, "/hold:", 0));
    snprintf(record, sizeof record, "idle=%llu\n", Now());
    Append(path, record);

    SetTimer(nullptr, 0, Option(commandLine, "/live:", 200), nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER)
        DispatchMessageA(&message);
    snprintf(record, sizeof record, "end=%llu\n", Now());
    Append(path, record);
    return 0;
}
