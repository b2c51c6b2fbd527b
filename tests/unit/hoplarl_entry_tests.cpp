#include "fixture.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace {

struct RelayCase {
    const char *name;
    std::string moduleFileName;
    std::string opened;  // empty: nothing may be opened
    friend void PrintTo(const RelayCase &c, std::ostream *os) { *os << c.name; }
};

class RelayEntry : public EngineTest, public ::testing::WithParamInterface<RelayCase> {};

TEST_P(RelayEntry, ScriptBesideTheProgram)
{
    standin::SetModuleFileName(GetParam().moduleFileName);
    char tail[] = "x";
    EXPECT_EQ(WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT), 0);
    if (GetParam().opened.empty()) {
        EXPECT_TRUE(standin::FileOpens().empty());
    } else {
        ASSERT_EQ(standin::FileOpens().size(), 1u);
        EXPECT_EQ(standin::FileOpens()[0].path, GetParam().opened);
    }
    EXPECT_EQ(standin::MessageBoxes().size(), 1u);  // no script exists here
    EXPECT_TRUE(standin::ProcessStarts().empty());
}

const std::string kDir499 = "C:\\" + std::string(496, 'd');

INSTANTIATE_TEST_SUITE_P(
    Paths, RelayEntry,
    ::testing::Values(
        RelayCase{"Normal", "C:\\Tools\\hoplarl.exe", "C:\\Tools\\hoplarl.ini"},
        RelayCase{"Renamed", "C:\\Tools\\other name.exe", "C:\\Tools\\hoplarl.ini"},
        RelayCase{"DriveRoot", "T:\\hoplarl.exe", "T:\\hoplarl.ini"},
        RelayCase{"NoBackslash", "hoplarl.exe", "\\hoplarl.ini"},
        RelayCase{"NoPathAtAll", "", "\\hoplarl.ini"},
        RelayCase{"TrailByteInDirectory", "C:\\\x95\x5C\\hoplarl.exe", "C:\\\x95\x5C\\hoplarl.ini"},
        RelayCase{"DirectoryOf499Fits", kDir499 + "\\h.exe", kDir499 + "\\hoplarl.ini"},
        RelayCase{"DirectoryOf500TooLong", kDir499 + "d\\h.exe", ""},
        RelayCase{"ProgramPathOf511Fits", kDir499 + "\\" + std::string(11, 'h'),
                  kDir499 + "\\hoplarl.ini"},
        // A cut path could name a directory that is not the program's own.
        RelayCase{"ProgramPathCutByTheBuffer", "C:\\a\\" + std::string(600, 'b') + "\\hoplarl.exe",
                  ""}),
    [](const ::testing::TestParamInfo<RelayCase> &info) { return info.param.name; });

TEST_F(EngineTest, RelayEntryHandsItsTailToTheScript)
{
    standin::SetModuleFileName("C:\\Tools\\hoplarl.exe");
    standin::AddFile("C:\\Tools\\hoplarl.ini", "viewer.exe %1 %1\n");
    char tail[] = "\"C:\\My Files\\a.txt\"";
    EXPECT_EQ(WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(standin::StartedCommandLines(), (Lines{"viewer.exe \"C:\\My Files\\a.txt\" %1"}));
    EXPECT_TRUE(standin::MessageBoxes().empty());
}

TEST_F(EngineTest, RelayEntryWithEmptyTailRemovesTheToken)
{
    standin::SetModuleFileName("C:\\Tools\\hoplarl.exe");
    standin::AddFile("C:\\Tools\\hoplarl.ini", "viewer.exe %1 %1");
    char tail[] = "";
    WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT);
    EXPECT_EQ(standin::StartedCommandLines(), (Lines{"viewer.exe  %1"}));
}

}  // namespace
