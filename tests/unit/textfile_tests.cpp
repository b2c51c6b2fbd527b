#include "fixture.h"

namespace {

// Every byte _read delivers, one call at a time, until it reports the end.
std::string ReadAll(const std::string &bytes, int *lastResult = nullptr)
{
    standin::AddFile("f", bytes);
    int descriptor = _open("f", 0);
    EXPECT_GE(descriptor, 0);
    std::string delivered;
    char byte = 0;
    int result;
    while ((result = _read(descriptor, &byte, 1)) == 1)
        delivered += byte;
    if (lastResult)
        *lastResult = result;
    EXPECT_EQ(_close(descriptor), 0);
    return delivered;
}

struct TextCase {
    const char *name;
    std::string file;
    std::string delivered;
    friend void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }
};

class TextMode : public EngineTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextMode, DeliversBytes)
{
    int last = 99;
    EXPECT_EQ(ReadAll(GetParam().file, &last), GetParam().delivered);
    EXPECT_EQ(last, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TextMode,
    ::testing::Values(
        TextCase{"Plain", "ab\ncd", "ab\ncd"},
        TextCase{"CrLfBecomesLf", "a\r\nb\r\n", "a\nb\n"},
        TextCase{"LoneCrKept", "a\rb", "a\rb"},
        TextCase{"CrCrLf", "a\r\r\nb", "a\r\nb"},
        TextCase{"CrAtEnd", "a\r", "a\r"},
        TextCase{"CrBeforeCtrlZ", "a\r\x1A" "b", "a\r"},
        TextCase{"CtrlZEnds", "ab\x1A\r\ncd", "ab"},
        TextCase{"CtrlZFirst", "\x1A" "abc", ""},
        TextCase{"ZeroAndHighBytes", std::string("a\0\x80\xFF\x81\x5C", 6),
                 std::string("a\0\x80\xFF\x81\x5C", 6)},
        TextCase{"LfCrKept", "\n\r", "\n\r"},
        TextCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<TextCase> &info) { return info.param.name; });

TEST_F(EngineTest, ReadsAfterTheEndKeepReturningZero)
{
    standin::AddFile("f", "a\x1A" "b");
    int descriptor = _open("f", 0);
    char byte;
    EXPECT_EQ(_read(descriptor, &byte, 1), 1);
    EXPECT_EQ(_read(descriptor, &byte, 1), 0);
    EXPECT_EQ(_read(descriptor, &byte, 1), 0);
    // Nothing behind Ctrl-Z is ever read from the file.
    EXPECT_EQ(standin::BytesConsumed(), 2u);
    _close(descriptor);
}

TEST_F(EngineTest, ReadOfSeveralBytesFollowsTheSameRules)
{
    standin::AddFile("f", "a\r\nb\rc\x1A" "d");
    int descriptor = _open("f", 0);
    char bytes[16] = {};
    EXPECT_EQ(_read(descriptor, bytes, sizeof bytes), 5);
    EXPECT_STREQ(bytes, "a\nb\rc");
    _close(descriptor);
}

TEST_F(EngineTest, ReadErrorIsReported)
{
    standin::File file;
    file.bytes = "abc";
    file.readErrorAt = 1;
    standin::AddFile("f", file);
    int descriptor = _open("f", 0);
    char byte;
    EXPECT_EQ(_read(descriptor, &byte, 1), 1);
    EXPECT_EQ(_read(descriptor, &byte, 1), -1);
    _close(descriptor);
}

TEST_F(EngineTest, OpenFailsForMissingFilesAndOtherModes)
{
    standin::AddFile("f", "x");
    EXPECT_EQ(_open("missing", 0), -1);
    EXPECT_EQ(_open("f", 1), -1);  // write access is not provided
    char byte;
    EXPECT_EQ(_read(-1, &byte, 1), -1);
    EXPECT_EQ(_read(7, &byte, 1), -1);
    EXPECT_EQ(_close(3), -1);
}

TEST_F(EngineTest, ClosedDescriptorIsReleased)
{
    standin::AddFile("f", "x");
    int first = _open("f", 0);
    EXPECT_EQ(_close(first), 0);
    char byte;
    EXPECT_EQ(_read(first, &byte, 1), -1);
    EXPECT_EQ(_close(first), -1);
    EXPECT_EQ(standin::OpenFileHandles(), 0u);
}

struct TailCase {
    const char *name;
    std::string commandLine;
    std::string tail;
    unsigned codePage;
    friend void PrintTo(const TailCase &c, std::ostream *os) { *os << c.name; }
};

class CommandTail : public EngineTest, public ::testing::WithParamInterface<TailCase> {};

TEST_P(CommandTail, Of)
{
    standin::SetAnsiCodePage(GetParam().codePage);
    std::string commandLine = GetParam().commandLine;
    char *tail = GetCommandTail(&commandLine[0]);
    EXPECT_EQ(std::string(tail), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CommandTail,
    ::testing::Values(
        TailCase{"QuotedProgramQuotedFile", "\"C:\\x y\\hoplax.exe\" \"C:\\My Files\\a.txt\"",
                 "\"C:\\My Files\\a.txt\"", 932},
        TailCase{"BlanksAfterName", "hoplax.exe   word", "word", 932},
        TailCase{"NameAlone", "hoplax.exe", "", 932},
        TailCase{"QuotedNameAlone", "\"hoplax.exe\"", "", 932},
        TailCase{"TrailingBlanksOnly", "hoplax.exe \t ", "", 932},
        TailCase{"InnerAndTrailingBlanksKept", "a.exe x  y  ", "x  y  ", 932},
        TailCase{"TextRightBehindClosingQuote", "\"C:\\x\\hoplax.exe\"abc def", "abc def", 932},
        TailCase{"UnquotedNameWithQuote", "C:\\x\"y\\hoplax.exe a", "a", 932},
        TailCase{"ControlBytesPassedOver", "a.exe\x01\x1F\x20\tz", "z", 932},
        TailCase{"ControlByteEndsUnquotedName", "a.exe\x05z", "z", 932},
        TailCase{"UnclosedQuote", "\"C:\\x y\\a.exe b", "", 932},
        TailCase{"BackslashesMeanNothing", "a.exe \\\"x\\\" \\\\", "\\\"x\\\" \\\\", 932},
        TailCase{"QuoteAfterLeadByteKept", "\"C:\\\x83\"x\" tail", "tail", 932},
        TailCase{"QuoteAfterHighByteEndsInCp1252", "\"C:\\\x83\"x\" tail", "x\" tail", 1252},
        TailCase{"LeadByteAtEndStops", "\"C:\\\x83", "", 932},
        TailCase{"HighBytesInUnquotedName", "C:\\\x95\x5C.exe \x95\x5C", "\x95\x5C", 932},
        TailCase{"Empty", "", "", 932}),
    [](const ::testing::TestParamInfo<TailCase> &info) { return info.param.name; });

}  // namespace
