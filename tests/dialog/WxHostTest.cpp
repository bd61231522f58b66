// A host that runs wxWidgets itself calls configureCamera: the driver must
// not start a second toolkit beside the host's nor replace its application;
// the dialog shows on the host's GUI thread, inline when called there, and
// queued to it when called from another thread. Each test is a process of
// its own, as the toolkit binds to the first display a process opens.

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "tests/dialog/XvfbDisplay.h"
#include "tools/cvl-host/HostLibrary.h"

namespace {

const char* const kCamera = "192.168.0.10.1";

class HostApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

void IgnoreLog(const char*) {}

class WxHost : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("NO_AT_BRIDGE", "1", 1);
        display_ = std::make_unique<XvfbDisplay>();
        ASSERT_FALSE(display_->Name().empty()) << display_->Error();
        ASSERT_FALSE(FindProgram("xdotool").empty()) << "xdotool is not installed";
        ::setenv("DISPLAY", display_->Name().c_str(), 1);
        app_ = new HostApp;
        wxApp::SetInstance(app_);
        static char name[] = "wx-host";
        char* arguments[] = {name, nullptr};
        int count = 1;
        ASSERT_TRUE(wxEntryStart(count, arguments));
        started_ = true;
        systemDir_ = std::filesystem::temp_directory_path() /
                     ("vavezaz-wxhost-" + std::to_string(::getpid()));
        std::filesystem::create_directories(systemDir_);
        std::ofstream(systemDir_ / "VaveZAZ.ini")
            << "[192.168.0.10]\nConfigurationFile=./absent.prm\nNumberOfScans=32\n";
        const char* library = std::getenv("VAVEZAZ_LIBRARY");
        driver_ = std::make_unique<HostLibrary>(library != nullptr ? library : "libvavezaz.so");
        ASSERT_EQ(1, driver_->initialize(systemDir_.c_str(), &IgnoreLog));
        int size[2] = {0, 0};
        ASSERT_EQ(1, driver_->openCVLPort(0, 1, kCamera, size));
    }

    void TearDown() override {
        if (player_.joinable()) {
            player_.join();
        }
        if (driver_) {
            driver_->closeCVLPort(0, 1);
            driver_->finalize();
        }
        if (started_) {
            wxEntryCleanup();
        }
        std::filesystem::remove_all(systemDir_);
    }

    // Plays the user on a thread of its own: waits for the dialog's window,
    // then cancels it with Escape.
    void CancelTheDialogWhenItShows() {
        player_ = std::thread([this] {
            const std::string window =
                "timeout 30 xdotool search --sync --onlyvisible --name '^Configure camera: " +
                std::string(kCamera) + "$' | head -1";
            const CommandResult found = RunOnDisplay(display_->Name(), window);
            shown_ = found.status == 0 && !found.output.empty();
            RunOnDisplay(display_->Name(), "xdotool windowfocus --sync " +
                                               found.output.substr(0, found.output.find('\n')) +
                                               " key Escape");
        });
    }

    std::unique_ptr<XvfbDisplay> display_;
    HostApp* app_ = nullptr;
    bool started_ = false;
    std::filesystem::path systemDir_;
    std::unique_ptr<HostLibrary> driver_;
    std::thread player_;
    std::atomic<bool> shown_{false};
};

}  // namespace

TEST_F(WxHost, OnTheGuiThreadTheDialogRunsInlineAndTheHostKeepsItsApplication) {
    CancelTheDialogWhenItShows();
    EXPECT_EQ(1, driver_->configureCamera(nullptr, kCamera));
    player_.join();
    EXPECT_TRUE(shown_);
    EXPECT_EQ(app_, wxTheApp);
}

TEST_F(WxHost, FromAnotherThreadTheDialogIsShownByTheGuiThreadsLoop) {
    CancelTheDialogWhenItShows();
    wxGUIEventLoop loop;
    std::atomic<int> result{-1};
    std::thread caller([&] {
        result = driver_->configureCamera(nullptr, kCamera);
        app_->CallAfter([&loop] { loop.ScheduleExit(); });
    });
    loop.Run();
    caller.join();
    player_.join();
    EXPECT_EQ(1, result);
    EXPECT_TRUE(shown_);
    EXPECT_EQ(app_, wxTheApp);
}
