// Arbitrary script bytes (and, for the relay, an arbitrary argument) through
// the text-mode input, the runner and the substitution, checked against a
// plain model of what the script asks for.
//
// Input: one mode byte; bit 0 set: relay, and the argument runs to the first
// zero byte. The rest is the script. Command lines starting with "F" fail to
// start.
#include "engine.h"
#include "standin.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const size_t kMaxLine = LINE_BUFFER_SIZE - 1;

struct Start {
    std::string commandLine;
    WORD show;
    bool operator==(const Start &other) const
    {
        return commandLine == other.commandLine && show == other.show;
    }
};

struct Outcome {
    std::vector<Start> starts;
    std::vector<int> waits;  // index of the start waited on; -1: none (a null handle)
    size_t consumed = 0;     // bytes of the file read
};

bool Fails(const std::string &commandLine)
{
    return !commandLine.empty() && commandLine[0] == 'F';
}

void Check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "property violated: %s\n", what);
        abort();
    }
}

// What the script must do, worked out on whole strings.
Outcome Model(const std::string &file, const std::string *argument)
{
    // Text mode: the file ends at Ctrl-Z (which is read), CR LF is one LF.
    size_t end = file.find('\x1A');
    Outcome outcome;
    outcome.consumed = end == std::string::npos ? file.size() : end + 1;
    std::string text = file.substr(0, end);

    int show = SW_SHOWDEFAULT, last = -1;
    bool pending = false;
    size_t position = 0;
    while (position <= text.size()) {
        size_t lineFeed = text.find('\n', position);
        size_t stop = lineFeed == std::string::npos ? text.size() : lineFeed;
        std::string raw = text.substr(position, stop - position);
        if (!raw.empty() && raw.back() == '\r' && lineFeed != std::string::npos)
            raw.pop_back();
        position = stop + 1;

        std::string line;
        for (char byte : raw)
            if (byte != '\0')
                line += byte;
        bool tooLong = line.size() > kMaxLine;
        if (argument && !line.empty()) {
            size_t token = line.find("%1");
            if (token != std::string::npos)
                line = line.substr(0, token) + *argument + line.substr(token + 2);
            tooLong = tooLong || line.size() > kMaxLine;
        }

        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == ':') {
            if (tooLong)
                continue;
            if (line == ":END") {
                if (lineFeed != std::string::npos)
                    outcome.consumed = lineFeed + 1;
                break;
            }
            if (line == ":WAIT" && pending) {
                outcome.waits.push_back(last);
                pending = false;
            } else if (line == ":MINIMIZE") {
                show = SW_SHOWMINIMIZED;
            } else if (line == ":MAXIMIZE") {
                show = SW_SHOWMAXIMIZED;
            }
            continue;
        }
        last = -1;
        if (!tooLong) {
            outcome.starts.push_back({line, (WORD)show});
            if (!Fails(line))
                last = (int)outcome.starts.size() - 1;
        }
        show = SW_SHOWDEFAULT;
        pending = true;
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
    bool relay = data[0] & 1;
    std::string argument, script = input;
    if (relay) {
        size_t zero = input.find('\0');
        argument = input.substr(0, zero);
        script = zero == std::string::npos ? "" : input.substr(zero + 1);
    }

    standin::Reset();
    standin::SetLaunchOutcome([](const std::string &line) { return !Fails(line); });
    g_launchState = LaunchState{};
    standin::AddFile("fuzz.ini", script);
    if (relay)
        RunScriptFile("fuzz.ini", argument.c_str());
    else
        RunScriptFile("fuzz.ini");

    Outcome expected = Model(script, relay ? &argument : nullptr);
    std::vector<Start> starts;
    for (const standin::ProcessStart &start : standin::ProcessStarts()) {
        Check(start.commandLine.size() <= kMaxLine, "a command line of at most 1023 bytes");
        starts.push_back({start.commandLine, start.startupInfo.wShowWindow});
    }
    Check(starts == expected.starts, "each start is one line of the script, with its show mode");

    std::vector<int> waits;
    for (const standin::Wait &wait : standin::Waits()) {
        int which = -1;
        for (size_t i = 0; i < standin::ProcessStarts().size(); ++i)
            if (wait.process != nullptr && standin::ProcessStarts()[i].process == wait.process)
                which = (int)i;
        waits.push_back(which);
    }
    Check(waits == expected.waits, ":WAIT waits on the most recent start only");
    Check(standin::BytesConsumed() == expected.consumed, "nothing behind :END or Ctrl-Z is read");
    Check(standin::OpenFileHandles() == 0, "the script is closed");
    Check(standin::FileOpens().size() == 1, "the script is opened once");
    Check(standin::MessageBoxes().empty(), "a readable script shows no box");
    return 0;
}
