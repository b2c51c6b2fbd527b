// Starts a launcher with an exact command line, the way Explorer or a
// shortcut would, and watches it: every window it opens, the error box
// (read, then dismissed with OK), its exit code.
//
// driver.exe REQUEST REPORT. REQUEST holds lines "key=value"; byte strings
// are hex: cmdline, cwd (optional), hold_open (optional: a file held open
// while the launcher runs, for writing, or for reading and writing with
// hold_share=0 to lock everybody else out), try_open (optional: a file the
// driver itself tries to open for reading), timeout_ms.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::string FromHex(const std::string &hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += (char)strtoul(hex.substr(i, 2).c_str(), nullptr, 16);
    return bytes;
}

std::string ToHex(const std::string &bytes)
{
    std::string hex;
    char pair[3];
    for (unsigned char byte : bytes) {
        snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

struct Seen {
    HWND window;
    std::string className, caption, text, buttons;
};

struct Watch {
    DWORD processId;
    std::vector<Seen> seen;
};

BOOL CALLBACK CollectButton(HWND child, LPARAM param)
{
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Button") == 0 && IsWindowVisible(child)) {
        std::string &buttons = *(std::string *)param;
        if (!buttons.empty())
            buttons += ",";
        buttons += std::to_string(GetDlgCtrlID(child));
    }
    return TRUE;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    Watch &watch = *(Watch *)param;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != watch.processId || !IsWindowVisible(window))
        return TRUE;
    for (const Seen &seen : watch.seen)
        if (seen.window == window)
            return TRUE;
    Seen seen{window, "", "", "", ""};
    char buffer[4096] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    seen.className = buffer;
    GetWindowTextA(window, buffer, sizeof buffer);
    seen.caption = buffer;
    buffer[0] = '\0';
    GetDlgItemTextA(window, 0xFFFF, buffer, sizeof buffer);
    seen.text = buffer;
    EnumChildWindows(window, CollectButton, (LPARAM)&seen.buttons);
    watch.seen.push_back(seen);
    if (seen.className == "#32770")
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    std::string commandLine, currentDirectory, holdOpen, tryOpen;
    DWORD timeout = 20000, holdShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    FILE *request = fopen(argv[1], "rb");
    if (!request)
        return 2;
    char line[16384];
    while (fgets(line, sizeof line, request)) {
        std::string entry(line);
        while (!entry.empty() && (entry.back() == '\n' || entry.back() == '\r'))
            entry.pop_back();
        size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = entry.substr(0, equals), value = entry.substr(equals + 1);
        if (key == "cmdline")
            commandLine = FromHex(value);
        else if (key == "cwd")
            currentDirectory = FromHex(value);
        else if (key == "hold_open")
            holdOpen = FromHex(value);
        else if (key == "hold_share")
            holdShare = strtoul(value.c_str(), nullptr, 10);
        else if (key == "try_open")
            tryOpen = FromHex(value);
        else if (key == "timeout_ms")
            timeout = strtoul(value.c_str(), nullptr, 10);
    }
    fclose(request);

    HANDLE held = INVALID_HANDLE_VALUE;
    if (!holdOpen.empty())
        held = CreateFileA(holdOpen.c_str(), holdShare ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE,
                           holdShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    FILE *report = fopen(argv[2], "wb");
    if (!report)
        return 2;
    if (!holdOpen.empty())
        fprintf(report, "held_open=%d\n", held != INVALID_HANDLE_VALUE ? 1 : 0);
    if (!tryOpen.empty()) {
        HANDLE tried = CreateFileA(tryOpen.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        fprintf(report, "openable=%d\n", tried != INVALID_HANDLE_VALUE ? 1 : 0);
        if (tried != INVALID_HANDLE_VALUE)
            CloseHandle(tried);
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                        &process)) {
        fprintf(report, "create_error=%lu\n", GetLastError());
        fclose(report);
        return 0;
    }

    Watch watch{process.dwProcessId, {}};
    ULONGLONG started = GetTickCount64();
    bool timedOut = false;
    // Private memory of the launcher: once its start-up is long over (a
    // second in), and the largest from then on.
    SIZE_T settledMemory = 0, peakMemory = 0;
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (GetTickCount64() - started >= 1000 &&
            GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
            if (settledMemory == 0)
                settledMemory = memory.PagefileUsage;
            if (memory.PagefileUsage > peakMemory)
                peakMemory = memory.PagefileUsage;
        }
        EnumWindows(CollectWindow, (LPARAM)&watch);
        if (GetTickCount64() - started > timeout) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            timedOut = true;
            break;
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    fprintf(report, "exit=%lu\ntimeout=%d\nelapsed_ms=%llu\nwindows=%u\n", exitCode,
            timedOut ? 1 : 0, GetTickCount64() - started, (unsigned)watch.seen.size());
    fprintf(report, "memory_settled=%llu\nmemory_peak=%llu\n", (unsigned long long)settledMemory,
            (unsigned long long)peakMemory);
    for (size_t i = 0; i < watch.seen.size(); ++i) {
        const Seen &seen = watch.seen[i];
        fprintf(report, "window%u.class=%s\nwindow%u.caption=%s\nwindow%u.text=%s\nwindow%u.buttons=%s\n",
                (unsigned)i, ToHex(seen.className).c_str(), (unsigned)i,
                ToHex(seen.caption).c_str(), (unsigned)i, ToHex(seen.text).c_str(), (unsigned)i,
                seen.buttons.c_str());
    }
    fclose(report);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    return 0;
}
