// What the tests see of the Windows stand-in: a scripted world (files,
// launch outcomes, the program path) and a record of every call.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace standin {

struct FileOpen {
    std::string path;
    DWORD access, share, disposition, attributes;
    bool securityNull, templateNull;
};

struct ProcessStart {
    bool applicationNameNull;
    std::string commandLine;
    bool commandLineWritable;  // the engine's own buffer, not a literal
    bool processAttributesNull, threadAttributesNull;
    BOOL inheritHandles;
    DWORD creationFlags;
    bool environmentNull, currentDirectoryNull;
    STARTUPINFOA startupInfo;  // as passed
    bool succeeded;
    HANDLE process;  // handed out when it succeeded
};

struct MessageBoxShown {
    bool ownerNull;
    std::string text, caption;
    UINT type;
};

struct Wait {
    HANDLE process;
    DWORD milliseconds;
    size_t afterStarts;  // how many starts came before it
};

struct File {
    std::string bytes;
    size_t readErrorAt = std::string::npos;  // ReadFile fails once this much is read
    bool locked = false;                     // CreateFileA refuses it
};

// Starts the world afresh: no files, every launch succeeds, code page 932.
void Reset();

void AddFile(const std::string &path, const File &file);
void AddFile(const std::string &path, const std::string &bytes);
void SetLaunchOutcome(std::function<bool(const std::string &commandLine)> succeeds);
void SetAnsiCodePage(unsigned codePage);  // 932 or 1252
void SetModuleFileName(const std::string &path);

const std::vector<FileOpen> &FileOpens();
const std::vector<ProcessStart> &ProcessStarts();
const std::vector<MessageBoxShown> &MessageBoxes();
const std::vector<Wait> &Waits();
std::vector<std::string> StartedCommandLines();
// Bytes ReadFile handed out of the file opened last.
size_t BytesConsumed();
// Handles still open: files not closed, processes and threads not closed.
size_t OpenFileHandles();
std::vector<HANDLE> ClosedHandles();

}  // namespace standin
