#include <gtest/gtest.h>

#include <filesystem>

#include "base/DriverContext.h"

class ContextPaths : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = context_->GetSystemPath();
        context_->SetSystemPath("/host/system");
    }
    void TearDown() override { context_->SetSystemPath(saved_); }

    DriverContext* context_ = DriverContext::Instance();
    std::string saved_;
};

TEST_F(ContextPaths, ResolveKeepsAbsolutePathsAndPlacesRelativeOnesInTheSystemDirectory) {
    EXPECT_EQ("/etc/cam.prm", context_->ResolvePath("/etc/cam.prm"));
    EXPECT_EQ("/host/system/cam.prm", context_->ResolvePath("cam.prm"));
    EXPECT_EQ("/host/system/cam.prm", context_->ResolvePath("./cam.prm"));
    EXPECT_EQ("/host/other/cam.prm", context_->ResolvePath("../other/cam.prm"));
}

TEST_F(ContextPaths, MakeRelativeStoresNearFilesRelativeAndFarFilesAbsolute) {
    EXPECT_EQ("./cam.prm", context_->MakeRelativePath("/host/system/cam.prm"));
    EXPECT_EQ("../other/cam.prm", context_->MakeRelativePath("/host/other/cam.prm"));
    EXPECT_EQ("/far/away/cam.prm", context_->MakeRelativePath("/far/away/cam.prm"));
}

TEST_F(ContextPaths, ResolveUndoesMakeRelative) {
    for (const char* file : {"/host/system/a.prm", "/host/b.prm", "/host/x/c.prm", "/z/d.prm"}) {
        EXPECT_EQ(file, context_->ResolvePath(context_->MakeRelativePath(file))) << file;
    }
}

TEST_F(ContextPaths, SettingsFileLivesInTheSystemDirectory) {
    EXPECT_EQ("/host/system/VaveZAZ.ini", context_->SettingsFilePath());
    EXPECT_EQ("/host/system/VaveZAZ.log", context_->LogFilePath());
}

// A relative system directory is relative to the working directory, as is a
// file named beside it. MakeRelativePath refused such paths, and ResolvePath
// then put the directory in front of the file's path a second time.
TEST_F(ContextPaths, ResolveUndoesMakeRelativeForARelativeSystemDirectory) {
    context_->SetSystemPath("sys");
    EXPECT_EQ("./f.prm", context_->MakeRelativePath("sys/f.prm"));
    EXPECT_EQ("./sub/g.prm", context_->MakeRelativePath("./sys/sub/g.prm"));
    EXPECT_EQ("../other/h.prm", context_->MakeRelativePath("other/h.prm"));
    for (const char* file : {"sys/f.prm", "sys/sub/g.prm", "other/h.prm", "/far/away/i.prm"}) {
        EXPECT_EQ(file, context_->ResolvePath(context_->MakeRelativePath(file))) << file;
    }
    const std::filesystem::path far = std::filesystem::current_path().parent_path() / "x/j.prm";
    EXPECT_EQ(far.string(), context_->MakeRelativePath("../x/j.prm")) << "stored absolute";
    EXPECT_EQ(far.string(), context_->ResolvePath(context_->MakeRelativePath("../x/j.prm")));
}
