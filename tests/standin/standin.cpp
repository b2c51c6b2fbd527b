#include "standin.h"

#include <cstring>
#include <map>

namespace standin {
namespace {

struct OpenFile {
    std::string path;
    size_t position = 0;
    bool open = true;
};

struct World {
    std::map<std::string, File> files;
    std::function<bool(const std::string &)> launchSucceeds;
    unsigned codePage = 932;
    std::string moduleFileName;

    std::vector<FileOpen> fileOpens;
    std::vector<ProcessStart> processStarts;
    std::vector<MessageBoxShown> messageBoxes;
    std::vector<Wait> waits;
    std::vector<HANDLE> closed;
    std::map<uintptr_t, OpenFile> openFiles;
    uintptr_t lastFile = 0;
    uintptr_t nextHandle = 0x100;
};

World &TheWorld()
{
    static World world;
    return world;
}

HANDLE NewHandle()
{
    return reinterpret_cast<HANDLE>(TheWorld().nextHandle += 4);
}

}  // namespace

void Reset()
{
    TheWorld() = World();
}

void AddFile(const std::string &path, const File &file)
{
    TheWorld().files[path] = file;
}

void AddFile(const std::string &path, const std::string &bytes)
{
    File file;
    file.bytes = bytes;
    AddFile(path, file);
}

void SetLaunchOutcome(std::function<bool(const std::string &)> succeeds)
{
    TheWorld().launchSucceeds = std::move(succeeds);
}

void SetAnsiCodePage(unsigned codePage)
{
    TheWorld().codePage = codePage;
}

void SetModuleFileName(const std::string &path)
{
    TheWorld().moduleFileName = path;
}

const std::vector<FileOpen> &FileOpens() { return TheWorld().fileOpens; }
const std::vector<ProcessStart> &ProcessStarts() { return TheWorld().processStarts; }
const std::vector<MessageBoxShown> &MessageBoxes() { return TheWorld().messageBoxes; }
const std::vector<Wait> &Waits() { return TheWorld().waits; }
std::vector<HANDLE> ClosedHandles() { return TheWorld().closed; }

std::vector<std::string> StartedCommandLines()
{
    std::vector<std::string> lines;
    for (const ProcessStart &start : TheWorld().processStarts)
        lines.push_back(start.commandLine);
    return lines;
}

size_t BytesConsumed()
{
    World &world = TheWorld();
    auto it = world.openFiles.find(world.lastFile);
    return it == world.openFiles.end() ? 0 : it->second.position;
}

size_t OpenFileHandles()
{
    size_t count = 0;
    for (const auto &entry : TheWorld().openFiles)
        count += entry.second.open ? 1 : 0;
    return count;
}

}  // namespace standin

using namespace standin;

extern "C" BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                               DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                               LPSTARTUPINFOA startupInfo,
                               LPPROCESS_INFORMATION processInformation)
{
    World &world = TheWorld();
    ProcessStart start{};
    start.applicationNameNull = applicationName == nullptr;
    start.commandLine = commandLine ? commandLine : "";
    start.commandLineWritable = commandLine != nullptr;
    start.processAttributesNull = processAttributes == nullptr;
    start.threadAttributesNull = threadAttributes == nullptr;
    start.inheritHandles = inheritHandles;
    start.creationFlags = creationFlags;
    start.environmentNull = environment == nullptr;
    start.currentDirectoryNull = currentDirectory == nullptr;
    start.startupInfo = *startupInfo;
    start.succeeded = !world.launchSucceeds || world.launchSucceeds(start.commandLine);
    if (start.succeeded) {
        processInformation->hProcess = start.process = NewHandle();
        processInformation->hThread = NewHandle();
        processInformation->dwProcessId = 1000 + (DWORD)world.processStarts.size();
        processInformation->dwThreadId = 2000 + (DWORD)world.processStarts.size();
    }
    world.processStarts.push_back(start);
    return start.succeeded;
}

extern "C" DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds)
{
    TheWorld().waits.push_back({process, milliseconds, TheWorld().processStarts.size()});
    return 0;
}

extern "C" int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    TheWorld().messageBoxes.push_back({owner == nullptr, text, caption, type});
    return 1;
}

extern "C" HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                              LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                              DWORD flagsAndAttributes, HANDLE templateFile)
{
    World &world = TheWorld();
    world.fileOpens.push_back({fileName, desiredAccess, shareMode, creationDisposition,
                               flagsAndAttributes, securityAttributes == nullptr,
                               templateFile == nullptr});
    auto it = world.files.find(fileName);
    if (it == world.files.end() || it->second.locked)
        return INVALID_HANDLE_VALUE;
    HANDLE handle = NewHandle();
    world.lastFile = reinterpret_cast<uintptr_t>(handle);
    OpenFile open;
    open.path = fileName;
    world.openFiles[world.lastFile] = open;
    return handle;
}

extern "C" BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                         LPOVERLAPPED)
{
    World &world = TheWorld();
    *bytesRead = 0;
    auto it = world.openFiles.find(reinterpret_cast<uintptr_t>(file));
    if (it == world.openFiles.end() || !it->second.open)
        return FALSE;
    OpenFile &open = it->second;
    const File &contents = world.files[open.path];
    if (open.position >= contents.readErrorAt)
        return FALSE;
    size_t available = contents.bytes.size() - std::min(open.position, contents.bytes.size());
    size_t count = std::min<size_t>(bytesToRead, available);
    if (contents.readErrorAt != std::string::npos)
        count = std::min(count, contents.readErrorAt - open.position);
    std::memcpy(buffer, contents.bytes.data() + open.position, count);
    open.position += count;
    *bytesRead = (DWORD)count;
    return TRUE;
}

extern "C" BOOL CloseHandle(HANDLE object)
{
    World &world = TheWorld();
    world.closed.push_back(object);
    auto it = world.openFiles.find(reinterpret_cast<uintptr_t>(object));
    if (it != world.openFiles.end()) {
        if (!it->second.open)
            return FALSE;
        it->second.open = false;
    }
    return TRUE;
}

extern "C" BOOL IsDBCSLeadByte(BYTE testChar)
{
    if (TheWorld().codePage != 932)
        return FALSE;
    return (testChar >= 0x81 && testChar <= 0x9F) || (testChar >= 0xE0 && testChar <= 0xFC);
}

extern "C" DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size)
{
    // As on Windows since Vista: a name that does not fit is cut, still
    // terminated, and the full size is returned.
    const std::string &name = TheWorld().moduleFileName;
    if (size == 0)
        return 0;
    if (name.size() < size) {
        std::memcpy(fileName, name.c_str(), name.size() + 1);
        return (DWORD)name.size();
    }
    std::memcpy(fileName, name.data(), size - 1);
    fileName[size - 1] = '\0';
    return size;
}
