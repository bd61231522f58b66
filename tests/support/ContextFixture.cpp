#include "tests/support/ContextFixture.h"

#include <fstream>
#include <sstream>

void ContextFixture::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    systemDir_ = std::filesystem::temp_directory_path() /
                 (std::string("vavezaz-") + info->test_suite_name() + "-" + info->name() + "-" +
                  std::to_string(::getpid()));
    std::filesystem::remove_all(systemDir_);
    std::filesystem::create_directories(systemDir_);
    context_->SetSystemPath(systemDir_.string());
    context_->debugMsgProc = LogCapture::Proc();
}

void ContextFixture::TearDown() {
    context_->debugMsgProc = nullptr;
    context_->logLevel = 1;
    context_->debugViewOutput = 0;
    context_->logIntoFile = false;
    context_->pendingLines.clear();
    context_->droppedPendingLines = 0;
    context_->SetSystemPath("");
    std::filesystem::remove_all(systemDir_);
}

std::string ContextFixture::ReadLogFile() const {
    std::ifstream file(systemDir_ / "VaveZAZ.log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
