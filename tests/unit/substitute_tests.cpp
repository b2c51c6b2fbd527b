#include "fixture.h"

namespace {

struct ReplaceCase {
    const char *name;
    std::string line, replacement, result;
    friend void PrintTo(const ReplaceCase &c, std::ostream *os) { *os << c.name; }
};

class Replace : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(Replace, FirstToken)
{
    char out[LINE_BUFFER_SIZE] = {};
    const ReplaceCase &c = GetParam();
    EXPECT_EQ(ReplaceFirstToken(c.line.c_str(), "%1", c.replacement.c_str(), out, sizeof out), out);
    EXPECT_EQ(std::string(out), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Replace,
    ::testing::Values(
        ReplaceCase{"QuotedPath", "notepad.exe %1", "\"C:\\My Files\\a.txt\"",
                    "notepad.exe \"C:\\My Files\\a.txt\""},
        ReplaceCase{"OnlyTheFirst", "copy %1 %1.bak", "x", "copy x %1.bak"},
        ReplaceCase{"LoneOneOrPercentIsNoToken", "C:\\App1\\tool.exe %1", "y", "C:\\App1\\tool.exe y"},
        ReplaceCase{"PercentBeforeToken", "%%1", "y", "%y"},
        ReplaceCase{"EmptyReplacement", "viewer.exe %1", "", "viewer.exe "},
        ReplaceCase{"ReplacementNotSearched", "a%1b", "p%1q", "ap%1qb"},
        ReplaceCase{"NoToken", ":WAIT", "x", ":WAIT"},
        ReplaceCase{"OtherDigits", "%2 %0 % 1", "x", "%2 %0 % 1"},
        ReplaceCase{"TokenOnlyEmpty", "%1", "", ""},
        ReplaceCase{"ResultOf1023Fits", std::string(1021, 'a') + "%1", "bc",
                    std::string(1021, 'a') + "bc"}),
    [](const ::testing::TestParamInfo<ReplaceCase> &info) { return info.param.name; });

TEST(ReplaceBounded, ResultThatDoesNotFitIsReportedAndNeverOverruns)
{
    char out[16];
    memset(out, 'Z', sizeof out);
    std::string longReplacement(100, 'r');
    EXPECT_EQ(ReplaceFirstToken("ab%1cd", "%1", longReplacement.c_str(), out, 8), nullptr);
    EXPECT_STREQ(out, "abrrrrr");  // as much as fits, still terminated
    EXPECT_EQ(out[8], 'Z');
    EXPECT_EQ(ReplaceFirstToken("abcdefgh", "%1", "", out, 8), nullptr);
    EXPECT_STREQ(out, "abcdefg");
    EXPECT_EQ(ReplaceFirstToken("abcdefg", "%1", "", out, 8), out);
}

const std::string kArgument100(100, 'x');

struct RelayCase {
    const char *name;
    std::string script;
    const char *argument;
    Lines started;
    friend void PrintTo(const RelayCase &c, std::ostream *os) { *os << c.name; }
};

class Relay : public EngineTest, public ::testing::WithParamInterface<RelayCase> {};

TEST_P(Relay, SubstitutesBeforeClassifying)
{
    EXPECT_EQ(RunRelay(GetParam().script, GetParam().argument), GetParam().started);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Relay,
    ::testing::Values(
        RelayCase{"EveryLineOwnFirstToken", "a %1 %1\nb %1\nc\n", "x", {"a x %1", "b x", "c"}},
        RelayCase{"EmptyArgumentRemovesToken", "viewer.exe %1\n%1\n", "", {"viewer.exe "}},
        RelayCase{"ArgumentBecomesEnd", "a\n%1\nb\n", ":END", {"a"}},
        RelayCase{"ArgumentBecomesComment", "%1 a.exe\nb\n", "#x", {"b"}},
        RelayCase{"CommentStaysComment", "#%1\n# %1\n", "a.exe", {}},
        RelayCase{"DirectivesUnchanged", ":MINIMIZE\na %1\n:END\nb %1\n", "\"C:\\x y\"",
                  {"a \"C:\\x y\""}},
        RelayCase{"LastLineWithoutLineFeed", "a %1", "x", {"a x"}},
        RelayCase{"SubstitutedLineOf1023", std::string(1019, 'a') + " %1\n", "bcd",
                  {std::string(1019, 'a') + " bcd"}},
        RelayCase{"SubstitutedLineTooLongNeverCut", std::string(1000, 'a') + " %1\nb\n",
                  kArgument100.c_str(), {"b"}}),
    [](const ::testing::TestParamInfo<RelayCase> &info) { return info.param.name; });

TEST_F(EngineTest, ArgumentBecomesWait)
{
    RunRelay("a\n%1\nb\n", ":WAIT");
    ASSERT_EQ(standin::Waits().size(), 1u);
    EXPECT_EQ(standin::Waits()[0].afterStarts, 1u);
}

TEST_F(EngineTest, TooLongAfterSubstitutionCountsAsFailedStart)
{
    std::string big(2000, 'x');
    RunRelay(":MINIMIZE\na\n%1\n:WAIT\nb\n", big.c_str());
    EXPECT_EQ(ShowModes(), (std::vector<WORD>{2, 10}));
    ASSERT_EQ(standin::Waits().size(), 1u);
    EXPECT_EQ(standin::Waits()[0].process, nullptr);
}

TEST_F(EngineTest, TooLongAfterSubstitutionClassifiedByItsFirstByte)
{
    std::string comment = "#" + std::string(2000, 'x');
    RunRelay("a\n%1\n:WAIT\n", comment.c_str());
    ASSERT_EQ(standin::Waits().size(), 1u);
    // The line was a comment: the wait is for a's process.
    EXPECT_EQ(standin::Waits()[0].process, standin::ProcessStarts()[0].process);
}

TEST_F(EngineTest, PlainLauncherNeverSubstitutes)
{
    EXPECT_EQ(RunPlain("a %1\n%1\n"), (Lines{"a %1", "%1"}));
}

}  // namespace
