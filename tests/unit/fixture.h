#pragma once

#include "engine.h"
#include "standin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Every test starts with a fresh Windows stand-in and a fresh process state.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        standin::Reset();
        g_launchState = LaunchState{SW_SHOWDEFAULT, {}, FALSE, {}};
    }

    // Runs bytes as the plain launcher's script; returns what was started.
    static std::vector<std::string> RunPlain(const std::string &bytes)
    {
        standin::AddFile("script.ini", bytes);
        RunScriptFile("script.ini");
        return standin::StartedCommandLines();
    }

    static std::vector<std::string> RunRelay(const std::string &bytes, const char *argument)
    {
        standin::AddFile("script.ini", bytes);
        RunScriptFile("script.ini", argument);
        return standin::StartedCommandLines();
    }

    static std::vector<WORD> ShowModes()
    {
        std::vector<WORD> modes;
        for (const standin::ProcessStart &start : standin::ProcessStarts())
            modes.push_back(start.startupInfo.wShowWindow);
        return modes;
    }
};

using Lines = std::vector<std::string>;
