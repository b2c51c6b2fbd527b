#include "fixture.h"

namespace {

const char kErrorText[] =
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD"
    "\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";

struct ScriptCase {
    const char *name;
    std::string script;
    Lines started;
    friend void PrintTo(const ScriptCase &c, std::ostream *os) { *os << c.name; }
};

class ScriptLines : public EngineTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptLines, StartsExactlyTheCommandLines)
{
    EXPECT_EQ(RunPlain(GetParam().script), GetParam().started);
    EXPECT_TRUE(standin::MessageBoxes().empty());
    EXPECT_EQ(standin::OpenFileHandles(), 0u);
}

const std::string kLong1023(1023, 'a');

INSTANTIATE_TEST_SUITE_P(
    Kinds, ScriptLines,
    ::testing::Values(
        ScriptCase{"Empty", "", {}},
        ScriptCase{"LineFeedsOnly", "\n\n\r\n\n", {}},
        ScriptCase{"OneLineNoLineFeed", "a.exe -x", {"a.exe -x"}},
        ScriptCase{"CrLfAndLf", "a.exe 1\r\nb.exe 2\nc.exe 3\r\n", {"a.exe 1", "b.exe 2", "c.exe 3"}},
        ScriptCase{"LoneCrIsNoLineEnd", "a.exe\rb.exe\rc.exe", {"a.exe\rb.exe\rc.exe"}},
        ScriptCase{"TrailingBlankAndCrKept", "a.exe  \r\r\n\tb.exe\n", {"a.exe  \r", "\tb.exe"}},
        ScriptCase{"Comments", "#a.exe\n# b.exe\n#\nc.exe #d\n", {"c.exe #d"}},
        ScriptCase{"BlankBeforeCommentMark", " #x\n", {" #x"}},
        ScriptCase{"BlankBeforeEnd", " :END\nb.exe\n", {" :END", "b.exe"}},
        ScriptCase{"EndStopsReading", "a.exe\n:END\nb.exe\n", {"a.exe"}},
        ScriptCase{"EndAsLastLine", "a.exe\n:END", {"a.exe"}},
        ScriptCase{"EndVariantsIgnored", ":end\n:END \n:END\r\r\n:ENDX\n: END\na.exe\n", {"a.exe"}},
        ScriptCase{"ColonAloneIgnored", ":\na.exe\n", {"a.exe"}},
        ScriptCase{"UnknownDirectiveIgnored", ":RUN b.exe\n:wait\na.exe\n", {"a.exe"}},
        ScriptCase{"ZeroBytesDropped", std::string("a.e\0xe\n\0\nb", 10), {"a.exe", "b"}},
        ScriptCase{"HighBytesKept", "\x83\x5C\x95\x5C.exe \xE9\n", {"\x83\x5C\x95\x5C.exe \xE9"}},
        ScriptCase{"Utf8BomMakesCommandLine", "\xEF\xBB\xBF#x\n:END\nb.exe\n", {"\xEF\xBB\xBF#x"}},
        ScriptCase{"CtrlZEndsScript", "a.exe\nb.exe\x1A\nc.exe\n", {"a.exe", "b.exe"}},
        ScriptCase{"Line1023Kept", kLong1023 + "\nb\n", {kLong1023, "b"}},
        ScriptCase{"Line1024NeverCut", kLong1023 + "b\nc.exe\n", {"c.exe"}},
        ScriptCase{"Line5000NeverCut", std::string(5000, 'x') + "\nc.exe", {"c.exe"}},
        ScriptCase{"LongCommentAndDirectiveIgnored",
                   "#" + std::string(2000, 'x') + "\n:" + std::string(2000, 'E') + "\nc.exe\n",
                   {"c.exe"}},
        ScriptCase{"ZeroBytesDoNotCountTowardsLength",
                   kLong1023.substr(0, 500) + std::string(600, '\0') + kLong1023.substr(500) + "\n",
                   {kLong1023}}),
    [](const ::testing::TestParamInfo<ScriptCase> &info) { return info.param.name; });

TEST_F(EngineTest, UnreadableScriptShowsTheErrorBoxOnly)
{
    RunScriptFile("missing.ini");
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    const standin::MessageBoxShown &box = standin::MessageBoxes()[0];
    EXPECT_TRUE(box.ownerNull);
    EXPECT_EQ(box.text, kErrorText);
    EXPECT_EQ(box.text.size(), 36u);
    EXPECT_EQ(box.caption, "Hopla");
    EXPECT_EQ(box.type, MB_ICONERROR);
    EXPECT_TRUE(standin::ProcessStarts().empty());
}

TEST_F(EngineTest, LockedScriptShowsTheErrorBox)
{
    standin::File file;
    file.bytes = "a.exe\n";
    file.locked = true;
    standin::AddFile("script.ini", file);
    RunScriptFile("script.ini");
    EXPECT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_TRUE(standin::ProcessStarts().empty());
}

TEST_F(EngineTest, ScriptIsOpenedReadOnlySharedAndClosed)
{
    RunPlain("a.exe\n");
    ASSERT_EQ(standin::FileOpens().size(), 1u);
    const standin::FileOpen &open = standin::FileOpens()[0];
    EXPECT_EQ(open.path, "script.ini");
    EXPECT_EQ(open.access, GENERIC_READ);
    EXPECT_EQ(open.share, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(open.disposition, OPEN_EXISTING);
    EXPECT_EQ(open.attributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(open.securityNull);
    EXPECT_TRUE(open.templateNull);
    EXPECT_EQ(standin::OpenFileHandles(), 0u);
}

TEST_F(EngineTest, NothingBehindEndIsRead)
{
    RunPlain("a.exe\n:END\nb.exe\n");
    EXPECT_EQ(standin::BytesConsumed(), std::string("a.exe\n:END\n").size());
    EXPECT_EQ(standin::OpenFileHandles(), 0u);
}

TEST_F(EngineTest, ReadErrorEndsTheScriptAndDropsTheUnfinishedLine)
{
    standin::File file;
    file.bytes = "a.exe\nb.exe\nc.exe\n";
    file.readErrorAt = 8;  // inside "b.exe": a cut command must not start
    standin::AddFile("script.ini", file);
    RunScriptFile("script.ini");
    EXPECT_EQ(standin::StartedCommandLines(), (Lines{"a.exe"}));
    EXPECT_EQ(standin::OpenFileHandles(), 0u);
}

TEST_F(EngineTest, CreateProcessGetsTheListedArguments)
{
    RunPlain(":MAXIMIZE\nC:\\Tools\\server.exe -q\n");
    ASSERT_EQ(standin::ProcessStarts().size(), 1u);
    const standin::ProcessStart &start = standin::ProcessStarts()[0];
    EXPECT_TRUE(start.applicationNameNull);
    EXPECT_EQ(start.commandLine, "C:\\Tools\\server.exe -q");
    EXPECT_TRUE(start.commandLineWritable);
    EXPECT_TRUE(start.processAttributesNull);
    EXPECT_TRUE(start.threadAttributesNull);
    EXPECT_EQ(start.inheritHandles, FALSE);
    EXPECT_EQ(start.creationFlags, 0u);
    EXPECT_TRUE(start.environmentNull);
    EXPECT_TRUE(start.currentDirectoryNull);

    STARTUPINFOA expected{};
    expected.cb = sizeof(STARTUPINFOA);
    expected.dwFlags = STARTF_USESHOWWINDOW;
    expected.wShowWindow = SW_SHOWMAXIMIZED;
    EXPECT_EQ(0, memcmp(&start.startupInfo, &expected, sizeof expected));
}

struct ShowCase {
    const char *name;
    std::string script;
    std::vector<WORD> modes;
    friend void PrintTo(const ShowCase &c, std::ostream *os) { *os << c.name; }
};

class ShowModesOf : public EngineTest, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(ShowModesOf, EachStart)
{
    standin::SetLaunchOutcome([](const std::string &line) { return line != "missing"; });
    RunPlain(GetParam().script);
    EXPECT_EQ(ShowModes(), GetParam().modes);
}

INSTANTIATE_TEST_SUITE_P(
    Directives, ShowModesOf,
    ::testing::Values(
        ShowCase{"Default", "a\nb\n", {10, 10}},
        ShowCase{"MinimizeOnlyTheNext", ":MINIMIZE\na\nb\n", {2, 10}},
        ShowCase{"MaximizeOnlyTheNext", ":MAXIMIZE\na\nb\n", {3, 10}},
        ShowCase{"LaterWins", ":MINIMIZE\n:MAXIMIZE\na\n:MAXIMIZE\n:MINIMIZE\nb\n", {3, 2}},
        ShowCase{"KeptAcrossCommentsAndDirectives", ":MINIMIZE\n#x\n\n:OTHER\n:WAIT\na\n", {2}},
        ShowCase{"UsedUpByFailedStart", ":MINIMIZE\nmissing\nb\n", {2, 10}},
        ShowCase{"UsedUpByBlankedDirective", ":MAXIMIZE\n :END\nb\n", {3, 10}},
        ShowCase{"UsedUpByOverlongLine", ":MINIMIZE\n" + std::string(1500, 'x') + "\nb\n", {10}},
        ShowCase{"LowerCaseIgnored", ":minimize\na\n", {10}}),
    [](const ::testing::TestParamInfo<ShowCase> &info) { return info.param.name; });

struct WaitCase {
    const char *name;
    std::string script;
    // For each wait: how many starts came before it, and which start's
    // process it waited on (-1: a null handle).
    std::vector<std::pair<size_t, int>> waits;
    friend void PrintTo(const WaitCase &c, std::ostream *os) { *os << c.name; }
};

class WaitsOf : public EngineTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WaitsOf, Script)
{
    standin::SetLaunchOutcome([](const std::string &line) { return line != "missing"; });
    RunPlain(GetParam().script);
    const auto &starts = standin::ProcessStarts();
    const auto &waits = standin::Waits();
    ASSERT_EQ(waits.size(), GetParam().waits.size());
    for (size_t i = 0; i < waits.size(); ++i) {
        EXPECT_EQ(waits[i].afterStarts, GetParam().waits[i].first) << "wait " << i;
        int which = GetParam().waits[i].second;
        EXPECT_EQ(waits[i].process, which < 0 ? nullptr : starts[which].process) << "wait " << i;
        EXPECT_EQ(waits[i].milliseconds, INFINITE);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Directives, WaitsOf,
    ::testing::Values(
        WaitCase{"BeforeAnyStart", ":WAIT\na\n", {}},
        WaitCase{"AfterOneStart", "a\n:WAIT\nb\n", {{1, 0}}},
        WaitCase{"SecondWaitDoesNothing", "a\n:WAIT\n:WAIT\n", {{1, 0}}},
        WaitCase{"OnlyTheLastOfTwo", "a\nb\n:WAIT\n", {{2, 1}}},
        WaitCase{"EachStartAgain", "a\n:WAIT\nb\n:WAIT\n", {{1, 0}, {2, 1}}},
        WaitCase{"FailedStartWaitsOnNull", "a\nmissing\n:WAIT\n", {{2, -1}}},
        WaitCase{"OverlongLineCountsAsFailedStart", "a\n" + std::string(1024, 'x') + "\n:WAIT\n",
                 {{1, -1}}},
        WaitCase{"CommentsDoNotSetPending", "a\n:WAIT\n#b\n:MINIMIZE\n:WAIT\n", {{1, 0}}},
        WaitCase{"LowerCaseIgnored", "a\n:wait\n:WAIT \n", {}}),
    [](const ::testing::TestParamInfo<WaitCase> &info) { return info.param.name; });

TEST_F(EngineTest, HandlesOfALaunchAreClosedOnceNoLongerNeeded)
{
    RunPlain("a\nb\n:WAIT\n");
    const auto &starts = standin::ProcessStarts();
    ASSERT_EQ(starts.size(), 2u);
    std::vector<HANDLE> closed = standin::ClosedHandles();
    // a's process handle goes when b replaces it; b's is still waited on.
    EXPECT_NE(std::find(closed.begin(), closed.end(), starts[0].process), closed.end());
    EXPECT_EQ(std::find(closed.begin(), closed.end(), starts[1].process), closed.end());
    EXPECT_EQ(g_launchState.processInfo.hProcess, starts[1].process);
    EXPECT_EQ(standin::Waits().at(0).process, starts[1].process);
}

TEST_F(EngineTest, ProcessLineReportsEndOnly)
{
    char end[] = ":END", wait[] = ":WAIT", comment[] = "#:END", command[] = "x", empty[] = "";
    EXPECT_TRUE(ProcessLine(&g_launchState, end));
    for (char *line : {wait, comment, command, empty})
        EXPECT_FALSE(ProcessLine(&g_launchState, line)) << line;
}

TEST_F(EngineTest, WorkedExample)
{
    Lines started = RunPlain(
        "#start the tools\r\n:MINIMIZE\r\nC:\\Tools\\server.exe -q\r\n:WAIT\r\n"
        "notepad.exe C:\\readme.txt\r\n:END\r\ncalc.exe\r\n");
    EXPECT_EQ(started, (Lines{"C:\\Tools\\server.exe -q", "notepad.exe C:\\readme.txt"}));
    EXPECT_EQ(ShowModes(), (std::vector<WORD>{2, 10}));
    ASSERT_EQ(standin::Waits().size(), 1u);
    EXPECT_EQ(standin::Waits()[0].process, standin::ProcessStarts()[0].process);
    EXPECT_EQ(standin::Waits()[0].afterStarts, 1u);
}

}  // namespace
