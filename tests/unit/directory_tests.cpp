#include "directory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DirectoryCase {
    const char *name;
    std::string path;
    std::string directory;
    int found;
    friend void PrintTo(const DirectoryCase &c, std::ostream *os) { *os << c.name; }
};

class DirectoryPart : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(DirectoryPart, Of)
{
    char out[512];
    memset(out, 'Z', sizeof out);
    EXPECT_EQ(GetDirectoryPart(out, sizeof out, GetParam().path.c_str()), GetParam().found);
    EXPECT_EQ(std::string(out), GetParam().directory);
}

const std::string k500(500, 'd');

INSTANTIATE_TEST_SUITE_P(
    Paths, DirectoryPart,
    ::testing::Values(
        DirectoryCase{"Normal", "C:\\Tools\\hoplarl.exe", "C:\\Tools", 1},
        DirectoryCase{"DriveRoot", "T:\\hoplarl.exe", "T:", 1},
        DirectoryCase{"NoBackslash", "hoplarl.exe", "", 0},
        DirectoryCase{"Empty", "", "", 0},
        // 0x95 0x5C is one double-byte character; the search does not know.
        DirectoryCase{"TrailByteInFileName", "C:\\Tools\\\x95\x5C.exe", "C:\\Tools\\\x95", 1},
        DirectoryCase{"TrailByteInDirectory", "C:\\\x95\x5C\\hoplarl.exe", "C:\\\x95\x5C", 1},
        DirectoryCase{"Path511", "C:\\" + std::string(499, 'd') + "\\hoplarl.ex",
                      "C:\\" + std::string(499, 'd'), 1},
        // Byte 511 gives way to the terminator; the cut is still at a backslash.
        DirectoryCase{"Path512", "C:\\" + std::string(499, 'd') + "\\hoplarl.exe",
                      "C:\\" + std::string(499, 'd'), 1},
        DirectoryCase{"BackslashBeyondTheBuffer", "C:" + std::string(600, 'd') + "\\x.exe", "", 0}),
    [](const ::testing::TestParamInfo<DirectoryCase> &info) { return info.param.name; });

TEST(DirectoryPartBuffer, ShortPathLeavesTheRestZero)
{
    char out[64];
    memset(out, 'Z', sizeof out);
    const char path[] = "C:\\a\\b.exe";
    GetDirectoryPart(out, sizeof out, path);
    EXPECT_STREQ(out, "C:\\a");
    for (size_t i = strlen(path); i < sizeof out; ++i)
        ASSERT_EQ(out[i], '\0') << i;
}

}  // namespace
