#include <gtest/gtest.h>

#include <filesystem>

#include "base/DriverContext.h"

// The settings file stores parameter files by the paths Windows hosts give:
// drive letters and backslashes.
class ContextPaths : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = context_->GetSystemPath();
        context_->SetSystemPath("C:\\host\\system");
    }
    void TearDown() override { context_->SetSystemPath(saved_); }

    DriverContext* context_ = DriverContext::Instance();
    std::string saved_;
};

TEST_F(ContextPaths, ResolveKeepsAbsolutePathsAndPlacesRelativeOnesInTheSystemDirectory) {
    EXPECT_EQ("D:\\etc\\cam.prm", context_->ResolvePath("D:\\etc\\cam.prm"));
    EXPECT_EQ("C:\\host\\system\\cam.prm", context_->ResolvePath("cam.prm"));
    EXPECT_EQ("C:\\host\\system\\cam.prm", context_->ResolvePath(".\\cam.prm"));
    EXPECT_EQ("C:\\host\\other\\cam.prm", context_->ResolvePath("..\\other\\cam.prm"));
}

TEST_F(ContextPaths, MakeRelativeStoresNearFilesRelativeAndFarFilesAbsolute) {
    EXPECT_EQ(".\\cam.prm", context_->MakeRelativePath("C:\\host\\system\\cam.prm"));
    EXPECT_EQ("..\\other\\cam.prm", context_->MakeRelativePath("C:\\host\\other\\cam.prm"));
    EXPECT_EQ("C:\\far\\away\\cam.prm", context_->MakeRelativePath("C:\\far\\away\\cam.prm"));
    EXPECT_EQ("D:\\host\\system\\cam.prm", context_->MakeRelativePath("D:\\host\\system\\cam.prm"))
        << "another drive";
}

TEST_F(ContextPaths, ResolveUndoesMakeRelative) {
    for (const char* file : {"C:\\host\\system\\a.prm", "C:\\host\\b.prm", "C:\\host\\x\\c.prm",
                             "C:\\z\\d.prm", "D:\\e.prm"}) {
        EXPECT_EQ(file, context_->ResolvePath(context_->MakeRelativePath(file))) << file;
    }
}

TEST_F(ContextPaths, SettingsFileLivesInTheSystemDirectory) {
    EXPECT_EQ("C:\\host\\system\\VaveZAZ.ini", context_->SettingsFilePath());
    EXPECT_EQ("C:\\host\\system\\VaveZAZ.log", context_->LogFilePath());
}

// A relative system directory is relative to the working directory, as is a
// file named beside it.
TEST_F(ContextPaths, ResolveUndoesMakeRelativeForARelativeSystemDirectory) {
    context_->SetSystemPath("sys");
    EXPECT_EQ(".\\f.prm", context_->MakeRelativePath("sys\\f.prm"));
    EXPECT_EQ(".\\sub\\g.prm", context_->MakeRelativePath(".\\sys\\sub\\g.prm"));
    EXPECT_EQ("..\\other\\h.prm", context_->MakeRelativePath("other\\h.prm"));
    for (const char* file : {"sys\\f.prm", "sys\\sub\\g.prm", "other\\h.prm", "C:\\far\\i.prm"}) {
        EXPECT_EQ(file, context_->ResolvePath(context_->MakeRelativePath(file))) << file;
    }
    const std::filesystem::path far = std::filesystem::current_path().parent_path() / "x\\j.prm";
    EXPECT_EQ(far.string(), context_->MakeRelativePath("..\\x\\j.prm")) << "stored absolute";
    EXPECT_EQ(far.string(), context_->ResolvePath(context_->MakeRelativePath("..\\x\\j.prm")));
}
