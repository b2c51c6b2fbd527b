#include "fixture.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace {

struct PathCase {
    const char *name;
    std::string tail;
    std::string opened;
    friend void PrintTo(const PathCase &c, std::ostream *os) { *os << c.name; }
};

class PlainEntry : public EngineTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PlainEntry, OpensTheWholeTail)
{
    std::string tail = GetParam().tail;
    EXPECT_EQ(WinMain(nullptr, nullptr, &tail[0], SW_SHOWDEFAULT), 0);
    ASSERT_EQ(standin::FileOpens().size(), 1u);
    EXPECT_EQ(standin::FileOpens()[0].path, GetParam().opened);
    EXPECT_EQ(standin::MessageBoxes().size(), 1u);  // none of them exists
}

INSTANTIATE_TEST_SUITE_P(
    Tails, PlainEntry,
    ::testing::Values(PathCase{"EmptyMeansDefault", "", "hoplax.ini"},
                      PathCase{"UnquotedWithBlanks", "C:\\my dir\\a b.txt", "C:\\my dir\\a b.txt"},
                      PathCase{"QuotesKept", "\"C:\\a.txt\"", "\"C:\\a.txt\""},
                      PathCase{"FurtherWordKept", "a.txt b", "a.txt b"},
                      PathCase{"TrailingBlankKept", "a.txt ", "a.txt "}),
    [](const ::testing::TestParamInfo<PathCase> &info) { return info.param.name; });

TEST_F(EngineTest, PlainEntryRunsTheScriptWithoutSubstitution)
{
    standin::AddFile("hoplax.ini", "a.exe %1\n");
    char tail[] = "";
    EXPECT_EQ(WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(standin::StartedCommandLines(), (Lines{"a.exe %1"}));
    EXPECT_TRUE(standin::MessageBoxes().empty());
}

}  // namespace
