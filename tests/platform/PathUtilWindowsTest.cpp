// The path services on Windows are the system's own (shlwapi); these are the
// rules the driver's stored paths rely on there.

#include <gtest/gtest.h>

#include "platform/PathUtil.h"

using platform::JoinFileName;
using platform::PathAppend;
using platform::PathIsRelative;
using platform::PathRelativePathTo;

TEST(PathUtilWindows, RelativeMeansNeitherDriveNorRoot) {
    EXPECT_FALSE(PathIsRelative("C:\\host\\x.prm"));
    EXPECT_FALSE(PathIsRelative("\\host\\x.prm"));
    EXPECT_TRUE(PathIsRelative("x.prm"));
    EXPECT_TRUE(PathIsRelative(".\\x.prm"));
}

TEST(PathUtilWindows, AppendJoinsWithABackslashAndFoldsDots) {
    std::string path = "C:\\host\\system";
    ASSERT_TRUE(PathAppend(path, ".\\cam.prm"));
    EXPECT_EQ("C:\\host\\system\\cam.prm", path);

    path = "C:\\host\\system";
    ASSERT_TRUE(PathAppend(path, "..\\shared\\cam.prm"));
    EXPECT_EQ("C:\\host\\shared\\cam.prm", path);
}

// A relative directory stays relative: climbing out of it must not land at
// the drive's root.
TEST(PathUtilWindows, AppendToARelativeDirectoryKeepsItRelative) {
    std::string path = "sys";
    ASSERT_TRUE(PathAppend(path, "..\\other\\cam.prm"));
    EXPECT_EQ("other\\cam.prm", path);

    path = "sys";
    ASSERT_TRUE(PathAppend(path, "..\\..\\up\\cam.prm"));
    EXPECT_EQ("..\\up\\cam.prm", path);

    path = ".\\sys\\sub";
    ASSERT_TRUE(PathAppend(path, ".\\cam.prm"));
    EXPECT_EQ("sys\\sub\\cam.prm", path);

    path = "sys";
    EXPECT_FALSE(PathAppend(path, std::string(platform::kMaxPath, 'a')));
    EXPECT_EQ("sys", path);
}

TEST(PathUtilWindows, AppendRefusesResultsLongerThanThePathLimit) {
    std::string path = "C:\\base";
    EXPECT_FALSE(PathAppend(path, std::string(platform::kMaxPath, 'a')));
    EXPECT_EQ("C:\\base", path);
}

TEST(PathUtilWindows, RelativePathToFilesInsideAndFar) {
    std::string relative;
    ASSERT_TRUE(PathRelativePathTo(relative, "C:\\host\\system", "C:\\host\\system\\cam.prm"));
    EXPECT_EQ(".\\cam.prm", relative);
    ASSERT_TRUE(PathRelativePathTo(relative, "C:\\host\\system", "C:\\host\\other\\cam.prm"));
    EXPECT_EQ("..\\other\\cam.prm", relative);
    ASSERT_TRUE(PathRelativePathTo(relative, "C:\\host\\system", "C:\\far\\away\\cam.prm"));
    EXPECT_EQ(0u, relative.rfind(platform::kTwoLevelsUp, 0)) << relative;
}

TEST(PathUtilWindows, FileNamesJoinWithABackslash) {
    EXPECT_EQ("C:\\host\\VaveZAZ.ini", JoinFileName("C:\\host", "VaveZAZ.ini"));
}
