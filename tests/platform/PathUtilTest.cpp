#include "platform/PathUtil.h"

#include <gtest/gtest.h>

using platform::PathAppend;
using platform::PathIsRelative;
using platform::PathRelativePathTo;

TEST(PathUtil, RelativeMeansNotFromTheRoot) {
    EXPECT_FALSE(PathIsRelative("/etc/x.prm"));
    EXPECT_TRUE(PathIsRelative("x.prm"));
    EXPECT_TRUE(PathIsRelative("./x.prm"));
    EXPECT_TRUE(PathIsRelative(""));
}

TEST(PathUtil, AppendJoinsWithOneSeparatorAndFoldsDots) {
    std::string path = "/host/system/";
    ASSERT_TRUE(PathAppend(path, "./cam.prm"));
    EXPECT_EQ("/host/system/cam.prm", path);

    path = "/host/system";
    ASSERT_TRUE(PathAppend(path, "../shared/cam.prm"));
    EXPECT_EQ("/host/shared/cam.prm", path);

    path = "/";
    ASSERT_TRUE(PathAppend(path, "../../x"));
    EXPECT_EQ("/x", path);
}

TEST(PathUtil, AppendRefusesResultsLongerThanThePathLimit) {
    std::string path = "/base";
    const std::string tooLong(platform::kMaxPath, 'a');
    EXPECT_FALSE(PathAppend(path, tooLong));
    EXPECT_EQ("/base", path);
}

TEST(PathUtil, RelativePathToFilesInsideAboveAndBeside) {
    std::string relative;
    ASSERT_TRUE(PathRelativePathTo(relative, "/host/system", "/host/system/cam.prm"));
    EXPECT_EQ("./cam.prm", relative);
    ASSERT_TRUE(PathRelativePathTo(relative, "/host/system", "/host/system/sub/cam.prm"));
    EXPECT_EQ("./sub/cam.prm", relative);
    ASSERT_TRUE(PathRelativePathTo(relative, "/host/system/", "/host/other/cam.prm"));
    EXPECT_EQ("../other/cam.prm", relative);
    ASSERT_TRUE(PathRelativePathTo(relative, "/host/system", "/far/away/cam.prm"));
    EXPECT_EQ("../../far/away/cam.prm", relative);
}

TEST(PathUtil, RelativePathNeedsTwoAbsolutePaths) {
    std::string relative = "unchanged";
    EXPECT_FALSE(PathRelativePathTo(relative, "system", "/host/cam.prm"));
    EXPECT_FALSE(PathRelativePathTo(relative, "/host/system", "cam.prm"));
    EXPECT_EQ("unchanged", relative);
}
