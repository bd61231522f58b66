#include <gtest/gtest.h>

#include <thread>

#include "base/IconResult.h"
#include "base/VaveZAZError.h"
#include "driver/ApiErrorHandler.h"
#include "icon/Api.h"
#include "tests/support/ContextFixture.h"

TEST(VaveZAZError, RendersLabelCodeAndName) {
    EXPECT_STREQ("Camera start -- VaveZAZ API error code: 3(icon::Camera::E_CAMERA_NOT_RESPONDING)",
                 VaveZAZError("Camera start", 3).what());
    EXPECT_STREQ("Discover devices", VaveZAZError("Discover devices", 0).what());
    EXPECT_STREQ("Step -- VaveZAZ API error code: 6107(icon::FrameGrabber::E_FG_PLEORA)",
                 VaveZAZError("Step", 6107).what());
    EXPECT_STREQ("Step -- VaveZAZ API error code: 21()", VaveZAZError("Step", 21).what());
    EXPECT_STREQ("Step -- VaveZAZ API error code: -1()", VaveZAZError("Step", -1).what());
}

TEST(VaveZAZError, NamesEveryGroupOfResultCodesByValue) {
    EXPECT_STREQ("icon::Camera::E_ALL_OK", VaveZAZError::CodeName(0));
    EXPECT_STREQ("icon::Camera::E_NETWORK", VaveZAZError::CodeName(20));
    EXPECT_STREQ("icon::IconBuffer::E_FILE_ERROR", VaveZAZError::CodeName(5001));
    EXPECT_STREQ("icon::IconBuffer::E_SPACE_UNAVAILABLE", VaveZAZError::CodeName(5006));
    EXPECT_STREQ("icon::FrameGrabber::E_FG_CONNECTED", VaveZAZError::CodeName(6001));
    EXPECT_STREQ("icon::FrameGrabber::E_FG_WRONG_CALLBACK_TYPE", VaveZAZError::CodeName(6005));
    EXPECT_STREQ("icon::FrameGrabber::E_FG_BUFFER_SIZE", VaveZAZError::CodeName(6100));
    EXPECT_STREQ("icon::FrameGrabber::E_FG_NOT_IMPLEMENTED", VaveZAZError::CodeName(6108));
    for (int unknown : {21, 5000, 5007, 6000, 6006, 6099, 6109}) {
        EXPECT_STREQ("", VaveZAZError::CodeName(unknown)) << unknown;
    }
}

TEST(VaveZAZError, IsAStandardRuntimeErrorCarryingItsCode) {
    try {
        CheckIconResult(5, "Load parameters");
        FAIL() << "a non-zero result must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(
            "Load parameters -- VaveZAZ API error code: 5(icon::Camera::E_INVALID_PRM_FILE)",
            e.what());
        EXPECT_EQ(5, dynamic_cast<const VaveZAZError&>(e).Code());
    }
}

using IconResultChecks = ContextFixture;

TEST_F(IconResultChecks, SuccessNeitherThrowsNorLogs) {
    context_->logLevel = 4;
    EXPECT_NO_THROW(CheckIconResult(0, "Init camera"));
    EXPECT_NO_THROW(IgnoreIconResult(0, "Close camera"));
    EXPECT_TRUE(capture_.Calls().empty());
}

TEST_F(IconResultChecks, IgnoredFailureIsLoggedAtLevelOneAndTheCallerGoesOn) {
    EXPECT_NO_THROW(IgnoreIconResult(15, "Close camera"));
    EXPECT_EQ(std::vector<std::string>{"Close camera -- VaveZAZ API error code: "
                                       "15(icon::Camera::E_ERROR). Ingoring this.\n"},
              capture_.Messages());
}

TEST_F(IconResultChecks, ApiMessagesReachTheLogAtLevelOneFromAnyThread) {
    context_->logLevel = 1;
    icon::setErrorHandler(ErrorHandlerInstance());
    std::thread apiThread([] { icon::reportMessage(3, "grabber lost sync %d%s"); });
    apiThread.join();
    icon::removeErrorHandler();
    icon::reportMessage(1, "after removal");
    EXPECT_EQ(std::vector<std::string>{"VaveZAZ API Message(lvl=3): grabber lost sync %d%s\n"},
              capture_.Messages());
}
