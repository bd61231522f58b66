#include <gtest/gtest.h>

#include "driver/DriverContext.h"

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
