// The real configuration dialog, opened through configureCamera from a host
// that loads the built driver, on a virtual display started by the test and
// driven by synthetic key presses. Checked by what lands in VaveZAZ.ini and
// by the result the host gets. Without Xvfb or xdotool the tests fail and say
// what is missing: they never pass without having shown the dialog.
//
// The toolkit binds to the first display a process opens, for good, so each
// test needs a process of its own: ctest runs them so (one test per run of
// the program, as gtest_discover_tests registers them).

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/dialog/XvfbDisplay.h"
#include "tools/cvl-host/HostLibrary.h"

namespace {

using namespace std::chrono_literals;

const char* const kCamera = "192.168.0.10.1";
const char* const kTitle = "Configure camera: 192.168.0.10.1";

std::mutex logMutex;
std::vector<std::string> logLines;

void OnLog(const char* text) {
    std::lock_guard<std::mutex> lock(logMutex);
    logLines.emplace_back(text);
}

// configureCamera on a host thread of its own, as a host's UI thread would
// call it; the test's thread plays the user meanwhile.
class HostCall {
  public:
    HostCall(HostLibrary& driver, HWND parent, const std::string& camera)
        : thread_([this, &driver, parent, camera] {
              result_ = driver.configureCamera(parent, camera.c_str());
              done_ = true;
          }) {}
    ~HostCall() { thread_.join(); }

    // Waits, bounded, for the call to return.
    bool Wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done_ && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        return done_;
    }
    int Result() const { return result_; }

  private:
    std::atomic<int> result_{-1};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class Dialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("NO_AT_BRIDGE", "1", 1);
        systemDir_ = std::filesystem::temp_directory_path() /
                     ("vavezaz-dialog-" +
                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                      "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(systemDir_);
        std::filesystem::create_directories(systemDir_);
        std::ofstream(systemDir_ / "VaveZAZ.ini")
            << "[General]\nLogLevel=1\n[192.168.0.10]\nConfigurationFile=./absent.prm\n"
               "NumberOfScans=32\nBufferSize=4\n";
        const char* library = std::getenv("VAVEZAZ_LIBRARY");
        driver_ = std::make_unique<HostLibrary>(library != nullptr ? library : "libvavezaz.so");
        ASSERT_EQ(1, driver_->initialize(systemDir_.c_str(), &OnLog));
        int size[2] = {0, 0};
        ASSERT_EQ(1, driver_->openCVLPort(0, 1, kCamera, size));
    }
    void TearDown() override {
        // A failed test may leave its dialog open: close it, so the host
        // thread can end.
        if (call_ && display_ && !call_->Wait(0ms)) {
            RunOnDisplay(display_->Name(), std::string("xdotool search --name '^") + kTitle +
                                               "$' windowfocus key Escape alt+c");
            call_->Wait(30s);
        }
        call_.reset();
        if (driver_) {
            driver_->closeCVLPort(0, 1);
            driver_->finalize();
        }
        std::filesystem::remove_all(systemDir_);
    }

    // Starts the display and checks the tools; the test fails when either is
    // missing.
    // Calls configureCamera for kCamera on a host thread of its own.
    HostCall& StartCall(HWND parent) {
        call_ = std::make_unique<HostCall>(*driver_, parent, kCamera);
        return *call_;
    }

    void StartDisplay() {
        ASSERT_FALSE(FindProgram("xdotool").empty())
            << "xdotool is not installed (Debian package xdotool; tools/install-deps.sh "
               "installs it)";
        display_ = std::make_unique<XvfbDisplay>();
        ASSERT_FALSE(display_->Name().empty()) << display_->Error();
        ::setenv("DISPLAY", display_->Name().c_str(), 1);
    }

    // The dialog's window, looked for until it shows, 30 s at most.
    std::string WaitForWindow() {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            CommandResult found =
                RunOnDisplay(display_->Name(),
                             std::string("xdotool search --onlyvisible --name '^") + kTitle + "$'");
            std::istringstream windows(found.output);
            std::string window;
            if (found.status == 0 && windows >> window) {
                return window;
            }
            std::this_thread::sleep_for(100ms);
        }
        return "";
    }
    bool WindowShown() {
        return RunOnDisplay(display_->Name(),
                            std::string("xdotool search --onlyvisible --name '^") + kTitle + "$'")
                   .status == 0;
    }
    // A second window of the dialog's caption over `sheet`: its notice.
    std::string WaitForNotice(const std::string& sheet) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            std::istringstream windows(
                RunOnDisplay(display_->Name(),
                             std::string("xdotool search --onlyvisible --name '^") + kTitle + "$'")
                    .output);
            for (std::string window; windows >> window;) {
                if (window != sheet) {
                    return window;
                }
            }
            std::this_thread::sleep_for(100ms);
        }
        return "";
    }
    // The colour of one pixel of a window, as "#RRGGBB".
    std::string Pixel(const std::string& window, int x, int y) {
        const std::string output =
            RunOnDisplay(display_->Name(), "import -window " + window + " -crop 1x1+" +
                                               std::to_string(x) + "+" + std::to_string(y) +
                                               " txt:-")
                .output;
        // After the header line: "0,0: (255,255,255)  #FFFFFF  white".
        const size_t hash = output.find('#', output.find('\n'));
        return hash == std::string::npos ? output : output.substr(hash, 7);
    }
    // Gives the window the keyboard and presses the keys in order.
    void Press(const std::string& window, const std::string& keys) {
        ASSERT_EQ(0, RunOnDisplay(display_->Name(), "xdotool windowfocus --sync " + window +
                                                        " key --delay 30 " + keys)
                         .status);
    }
    // Moves the focus to "BufferSize", the sixth row after the first.
    void FocusBufferSize(const std::string& window) {
        Press(window, "Home Down Down Down Down Down Down");
    }

    std::string Settings() const {
        std::ifstream file(systemDir_ / "VaveZAZ.ini");
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    static bool Logged(const std::string& text) {
        std::lock_guard<std::mutex> lock(logMutex);
        for (const std::string& line : logLines) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::filesystem::path systemDir_;
    std::unique_ptr<HostLibrary> driver_;
    std::unique_ptr<XvfbDisplay> display_;
    std::unique_ptr<HostCall> call_;
};

}  // namespace

TEST_F(Dialog, CancelSavesNothingAndAnswersOne) {
    StartDisplay();
    const std::string before = Settings();
    // A handle that names no window: the dialog is shown without a parent.
    HostCall& call = StartCall(reinterpret_cast<HWND>(0x7ffff3));
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    FocusBufferSize(window);
    Press(window, "9 Return alt+c");
    ASSERT_TRUE(call.Wait(30s)) << "Cancel did not close the dialog";
    EXPECT_EQ(1, call.Result());
    EXPECT_EQ(before, Settings());
    EXPECT_TRUE(Logged("parent window 0x7ffff3 does not exist"));
}

TEST_F(Dialog, AnEditConfirmedWithOkIsSavedAndAnswersZero) {
    StartDisplay();
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    FocusBufferSize(window);
    Press(window, "3 5 Return alt+o");
    ASSERT_TRUE(call.Wait(30s)) << "OK did not close the dialog";
    EXPECT_EQ(0, call.Result());
    const std::string settings = Settings();
    EXPECT_NE(std::string::npos, settings.find("BufferSize=35\n")) << settings;
    EXPECT_NE(std::string::npos, settings.find("[192.168.0.10.1]\n")) << "the image set too";
    EXPECT_EQ(locale, std::setlocale(LC_ALL, nullptr)) << "the host's C locale is kept";
}

TEST_F(Dialog, AnInvalidEditKeepsOkDisabledUntilItIsMended) {
    StartDisplay();
    const std::string before = Settings();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    FocusBufferSize(window);
    Press(window, "0 Return alt+o Return");
    EXPECT_FALSE(call.Wait(1500ms)) << "OK closed the dialog on an invalid value";
    EXPECT_TRUE(WindowShown());
    EXPECT_EQ(before, Settings());
    Press(window, "Escape 2 1 Return alt+o");
    ASSERT_TRUE(call.Wait(30s)) << "OK did not close the dialog once the value was valid";
    EXPECT_EQ(0, call.Result());
    EXPECT_NE(std::string::npos, Settings().find("BufferSize=21\n")) << Settings();
}

TEST_F(Dialog, WithoutAUsableDisplayTheCallFailsAndTheHostGoesOn) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(1, driver_->configureCamera(nullptr, kCamera));
    EXPECT_TRUE(
        Logged("configureCamera: --EXCEPTION caught cameraName=192.168.0.10.1: no display "
               "to show the configuration dialog on: DISPLAY is not set"));
    // A display number no server serves.
    ::setenv("DISPLAY", ":65001", 1);
    EXPECT_EQ(1, driver_->configureCamera(nullptr, kCamera));
    EXPECT_TRUE(
        Logged("configureCamera: --EXCEPTION caught cameraName=192.168.0.10.1: cannot "
               "open the display ':65001'"));
    // Once a display is there, the next call shows the dialog.
    StartDisplay();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show after the display came";
    Press(window, "alt+c");
    ASSERT_TRUE(call.Wait(30s));
    EXPECT_EQ(1, call.Result());
}

TEST_F(Dialog, ALostDisplayFailsTheCallInsteadOfEndingTheHost) {
    StartDisplay();
    HostCall& call = StartCall(nullptr);
    ASSERT_FALSE(WaitForWindow().empty()) << "the dialog did not show";
    display_.reset();
    ASSERT_TRUE(call.Wait(30s)) << "the call did not return after the display went away";
    EXPECT_EQ(1, call.Result());
    EXPECT_TRUE(Logged("the connection to the display"));
    EXPECT_EQ(1, driver_->configureCamera(nullptr, kCamera)) << "later calls fail at once";
    EXPECT_TRUE(Logged("cannot be shown again until the host process is restarted"));
    int value = 0;
    EXPECT_EQ(1, driver_->getProperty(0, 1, "BufferSize", &value)) << "the host goes on";
}

TEST_F(Dialog, ASettingsFileThatCannotBeWrittenIsReportedOverTheOpenSheetAndNoEditIsLost) {
    StartDisplay();
    const std::string before = Settings();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    FocusBufferSize(window);
    Press(window, "3 3 Return");
    // Read-only: not rewritten, whoever the host runs as.
    const std::filesystem::path file = systemDir_ / "VaveZAZ.ini";
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    Press(window, "alt+o");
    const std::string notice = WaitForNotice(window);
    ASSERT_FALSE(notice.empty()) << "the user was not told";
    EXPECT_EQ(before, Settings()) << "the old file is kept whole";
    Press(notice, "Return");
    EXPECT_FALSE(call.Wait(1000ms)) << "the sheet closed and took the edit with it";
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    Press(window, "alt+o");
    ASSERT_TRUE(call.Wait(30s)) << "OK did not close the sheet once the file could be written";
    EXPECT_EQ(0, call.Result());
    EXPECT_NE(std::string::npos, Settings().find("BufferSize=33\n")) << Settings();
    EXPECT_TRUE(Logged("could not be saved"));
}

TEST_F(Dialog, TheSheetGrowsWithItsWindowAndTheGridTakesTheRoom) {
    StartDisplay();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    ASSERT_EQ(
        0,
        RunOnDisplay(display_->Name(), "xdotool windowsize --sync " + window + " 900 800").status);
    std::this_thread::sleep_for(500ms);
    const std::string geometry =
        RunOnDisplay(display_->Name(), "xdotool getwindowgeometry " + window).output;
    EXPECT_NE(std::string::npos, geometry.find("900x800")) << geometry;
    // Far below the last row and right of the original page: the grid's
    // empty background.
    EXPECT_EQ("#FFFFFF", Pixel(window, 600, 600));
    Press(window, "alt+c");
    ASSERT_TRUE(call.Wait(30s));
}

TEST_F(Dialog, DeleteEmptiesTheParameterFile) {
    StartDisplay();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    Press(window, "Home Down Down Down Down Delete alt+o");
    ASSERT_TRUE(call.Wait(30s));
    EXPECT_EQ(0, call.Result());
    EXPECT_NE(std::string::npos, Settings().find("ConfigurationFile=\n")) << Settings();
}

TEST_F(Dialog, ResetGivesTheFocusedValueItsDefault) {
    StartDisplay();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    FocusBufferSize(window);
    // A button pressed from the keyboard holds the keyboard while it shows
    // itself pressed: OK comes after that.
    Press(window, "alt+r");
    std::this_thread::sleep_for(500ms);
    Press(window, "alt+o");
    ASSERT_TRUE(call.Wait(30s));
    EXPECT_EQ(0, call.Result());
    EXPECT_NE(std::string::npos, Settings().find("BufferSize=20\n")) << Settings();
}

TEST_F(Dialog, TheFilterListsMatchingRowsAndEscapeEmptiesIt) {
    StartDisplay();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    // "Buffer" is typed and taken back; "Number" alone is left, so the first
    // item row is NumberOfScans.
    Press(window, "ctrl+f B u f f e r Escape N u m b e r Return Home Down 6 4 Return alt+o");
    ASSERT_TRUE(call.Wait(30s)) << "the edit went to another row and OK stayed disabled";
    EXPECT_EQ(0, call.Result());
    EXPECT_NE(std::string::npos, Settings().find("NumberOfScans=64\n")) << Settings();
}

TEST_F(Dialog, FinalizeEndsTheOpenSheetAsCancel) {
    StartDisplay();
    const std::string before = Settings();
    HostCall& call = StartCall(nullptr);
    const std::string window = WaitForWindow();
    ASSERT_FALSE(window.empty()) << "the dialog did not show";
    FocusBufferSize(window);
    Press(window, "7 Return");
    EXPECT_EQ(1, driver_->finalize());
    ASSERT_TRUE(call.Wait(10s)) << "the sheet stayed open after finalize";
    EXPECT_EQ(1, call.Result());
    EXPECT_FALSE(WindowShown());
    EXPECT_EQ(before, Settings()) << "nothing saved";
    EXPECT_TRUE(Logged("ended as Cancel by finalize"));
    ASSERT_EQ(1, driver_->initialize(systemDir_.c_str(), &OnLog)) << "for the fixture's finalize";
}
