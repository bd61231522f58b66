// configureCamera through the entry points, with the windows replaced by a
// scripted user: the working copies the dialog is given, what is saved, the
// restart rule, and the dialog's place among the host's threads.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "config/CameraParameters.h"
#include "config/Param.h"
#include "config/dialog/DialogService.h"
#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

// Plays the user: the sheet's answer comes from a script that may edit the
// working copies; questions are answered as set; everything shown is kept.
class ScriptedUser : public DialogService {
  public:
    using Sheet = std::function<bool(CameraParameters& cameraSet, CameraParameters& imageSet)>;

    // OK keeps the values before the sheet closes; when that fails, the
    // user reads why over the sheet and then cancels.
    bool RunSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                  CameraParameters& imageSet, const SheetSaver& save) override {
        sheets.push_back(caption);
        parents.push_back(parent);
        shownCamera = std::make_unique<CameraParameters>(cameraSet);
        shownImage = std::make_unique<CameraParameters>(imageSet);
        if (!sheet || !sheet(cameraSet, imageSet)) {
            return false;
        }
        const std::string failure = save();
        if (!failure.empty()) {
            sheetNotices.push_back(failure);
        }
        return failure.empty();
    }
    bool Confirm(HWND, const std::string& text, const std::string& caption) override {
        questions.push_back(caption + "|" + text);
        return confirm;
    }
    void Notify(HWND, const std::string& text, const std::string& caption) override {
        notices.push_back(caption + "|" + text);
    }

    // Ends the sheet as Cancel would: the wait below returns.
    void EndOpenDialogs() override {
        std::lock_guard<std::mutex> lock(endMutex_);
        ended_ = true;
        endChanged_.notify_all();
    }
    // A user who keeps the sheet open until it is ended, at most 10 s.
    void WaitUntilEnded() {
        std::unique_lock<std::mutex> lock(endMutex_);
        endChanged_.wait_for(lock, std::chrono::seconds(10), [this] { return ended_; });
    }

    Sheet sheet;
    bool confirm = true;
    std::vector<std::string> sheets;
    std::vector<HWND> parents;
    std::vector<std::string> questions;
    std::vector<std::string> notices;
    std::vector<std::string> sheetNotices;
    std::unique_ptr<CameraParameters> shownCamera;
    std::unique_ptr<CameraParameters> shownImage;

  private:
    std::mutex endMutex_;
    std::condition_variable endChanged_;
    bool ended_ = false;
};

template <typename T>
T& ParamOf(CameraParameters& set, const std::string& name) {
    return dynamic_cast<Param<T>&>(set.GetParam(name)).value;
}

class Configure : public CameraFixture {
  protected:
    void SetUp() override {
        CameraFixture::SetUp();
        previous_ = InstallDialogService(&user_);
    }
    void TearDown() override {
        InstallDialogService(previous_);
        CameraFixture::TearDown();
    }
    std::string Settings() const {
        std::ifstream file(systemDir_ / "VaveZAZ.ini");
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    static std::string Name(const char* camera, int image = 1) {
        return std::string(camera) + "." + std::to_string(image);
    }

    ScriptedUser user_;
    DialogService* previous_ = nullptr;
};

const char* const kRunning =
    "Configuring camera properties while inspection is running may cause undesired effects. "
    "Continue anyway ?";

}  // namespace

TEST_F(Configure, CancelSavesNothingAndAnswersOne) {
    Start();
    OpenPort(1, kCameraA);
    const std::string before = Settings();
    user_.sheet = [](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "BufferSize") = 99;
        return false;
    };
    HWND parent = reinterpret_cast<HWND>(0x2a00007);
    EXPECT_EQ(1, configureCamera(parent, Name(kCameraA).c_str()));
    ASSERT_EQ(1u, user_.sheets.size());
    EXPECT_EQ("Configure camera: 192.168.0.10.1", user_.sheets[0]);
    EXPECT_EQ(parent, user_.parents[0]) << "the host's handle reaches the windows unchanged";
    EXPECT_EQ(before, Settings());
    EXPECT_TRUE(Logged("Camera::Configure: entering\n"));
    EXPECT_TRUE(Logged("Camera::Configure: leaving\n"));
    EXPECT_TRUE(Logged("configureCamera: leaving cameraName=192.168.0.10.1\n"));
}

TEST_F(Configure, TheDialogShowsTheLogSettingsInForceAndLogIntoFileReadOnly) {
    Start();
    OpenPort(1, kCameraA);
    context_->logIntoFile = true;
    context_->debugViewOutput = 2;
    configureCamera(nullptr, Name(kCameraA).c_str());
    ASSERT_TRUE(user_.shownCamera);
    EXPECT_EQ(3, ParamOf<int>(*user_.shownCamera, "LogLevel")) << "from the settings file";
    EXPECT_TRUE(ParamOf<bool>(*user_.shownCamera, "LogIntoFile"));
    EXPECT_EQ(2, ParamOf<int>(*user_.shownCamera, "DebugViewOutput"));
    const Param_& logIntoFile = user_.shownCamera->GetParam("LogIntoFile");
    EXPECT_FALSE(logIntoFile.enabled) << "an edit could never be kept, so it is not offered";
    EXPECT_NE(std::string::npos, logIntoFile.description.find("LogIntoFile"));
    EXPECT_EQ(kScans, ParamOf<int>(*user_.shownCamera, "NumberOfScans"));
    ASSERT_TRUE(user_.shownImage);
    EXPECT_EQ("192.168.0.10.1", user_.shownImage->Name()) << "the port's image set, copied";
    EXPECT_EQ("Grayscale", user_.shownImage->GetParameter<std::string>("ImageFormat"));
}

TEST_F(Configure, OkSavesBothSetsAndLeavesTheLiveSettingsAlone) {
    Start();
    OpenPort(1, kCameraA);
    user_.sheet = [](CameraParameters& cameraSet, CameraParameters& imageSet) {
        ParamOf<int>(cameraSet, "BufferSize") = 7;
        ParamOf<int>(cameraSet, "LogLevel") = 2;
        ParamOf<bool>(cameraSet, "LogIntoFile") = true;
        imageSet.GetParam("ImageFormat").FromString("Grayscale", false);
        return true;
    };
    EXPECT_EQ(0, configureCamera(nullptr, Name(kCameraA).c_str()));
    const std::string settings = Settings();
    EXPECT_NE(std::string::npos, settings.find("[General]\nLogLevel=2\nDebugViewOutput=0\n"));
    EXPECT_EQ(std::string::npos, settings.find("LogIntoFile"));
    EXPECT_NE(std::string::npos,
              settings.find("[192.168.0.10]\nNumberOfScans=32\nBufferSize=7\nConfigurationFile=\n"
                            "ConfigurationType=Measurement\n"))
        << settings;
    EXPECT_NE(std::string::npos, settings.find("[192.168.0.10.1]\nImage="));
    EXPECT_NE(std::string::npos, settings.find("ImageFormat=Grayscale\n"));
    EXPECT_EQ(std::string::npos, settings.find("LaserPlaneAngle"))
        << "settings switched off by the grayscale format are not written";
    EXPECT_EQ(4, Property(1, "BufferSize")) << "the open camera keeps what it was set up with";
    EXPECT_EQ(0, Property(1, "LogIntoFile"));
}

TEST_F(Configure, AnImageNameWithoutAnAdapterGivesAnEmptyImageSetAndWritesOnlyTheCamera) {
    Start();
    OpenPort(1, kCameraA);
    user_.sheet = [](CameraParameters&, CameraParameters&) { return true; };
    EXPECT_EQ(0, configureCamera(nullptr, Name(kCameraA, 3).c_str()));
    ASSERT_TRUE(user_.shownImage);
    EXPECT_TRUE(user_.shownImage->Params().empty());
    EXPECT_EQ("Configure camera: 192.168.0.10.3", user_.shownImage->Name());
    EXPECT_EQ(std::string::npos, Settings().find("[192.168.0.10.3]"));
    EXPECT_EQ(std::string::npos, Settings().find("[Configure camera"));
}

TEST_F(Configure, ACameraNeverOpenedIsConfiguredFromTheSettingsFile) {
    Start();
    const char** names = getCVLCameraConfigNames();
    ASSERT_NE(nullptr, names);
    ASSERT_NE(nullptr, names[0]);
    const std::string camera = names[0];
    const std::string section = camera.substr(0, camera.rfind('.'));
    {
        std::ofstream settings(systemDir_ / "VaveZAZ.ini", std::ios::app);
        settings << "[" << section << "]\nNumberOfScans=77\n";
    }
    user_.sheet = [](CameraParameters&, CameraParameters&) { return true; };
    EXPECT_EQ(0, configureCamera(nullptr, camera.c_str()));
    ASSERT_TRUE(user_.shownCamera);
    EXPECT_EQ(77, ParamOf<int>(*user_.shownCamera, "NumberOfScans"));
    EXPECT_EQ(20, ParamOf<int>(*user_.shownCamera, "BufferSize")) << "defaults fill the rest";
    EXPECT_TRUE(user_.shownImage->Params().empty());
    EXPECT_NE(std::string::npos, Settings().find("NumberOfScans=77\n"))
        << "OK keeps what the file held";
    EXPECT_NE(std::string::npos, Settings().find("BufferSize=20\n"));
}

TEST_F(Configure, WhileAGrabIsPendingTheUserIsAskedFirst) {
    Start();
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
    user_.confirm = false;
    EXPECT_EQ(1, configureCamera(nullptr, Name(kCameraA).c_str()));
    ASSERT_EQ(1u, user_.questions.size());
    EXPECT_EQ(std::string("Configure camera: 192.168.0.10.1|") + kRunning, user_.questions[0]);
    EXPECT_TRUE(user_.sheets.empty()) << "Cancel shows no dialog";
    user_.confirm = true;
    EXPECT_EQ(1, configureCamera(nullptr, Name(kCameraA).c_str()));
    EXPECT_EQ(1u, user_.sheets.size());
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 0));
}

TEST_F(Configure, AChangedBufferSizeRestartsACameraOnTwoPortsButNotOnOne) {
    Start();
    OpenPort(1, kCameraA);
    user_.sheet = [](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "BufferSize") = 5;
        cameraSet.GetParam("ConfigurationFile").FromString("other.prm", false);
        return true;
    };
    EXPECT_EQ(0, configureCamera(nullptr, Name(kCameraA).c_str()));
    EXPECT_TRUE(user_.notices.empty());
    EXPECT_EQ(4, Property(1, "BufferSize")) << "a camera on one port stays open";

    OpenPort(2, kCameraA, 2);
    capture_.Clear();
    EXPECT_EQ(0, configureCamera(nullptr, Name(kCameraA).c_str()));
    ASSERT_EQ(1u, user_.notices.size());
    EXPECT_EQ(
        "Configure camera: 192.168.0.10.1|Camera configuration changed. Please reset all "
        "cameras.",
        user_.notices[0]);
    EXPECT_TRUE(
        Logged("WARNING: Camera configuration file changed. All cameras must be restarted.\n"));
    int width = 0;
    EXPECT_EQ(0, getProperty(0, 2, "Width", &width)) << "both ports lost their images";
    EXPECT_TRUE(LoggedContaining("No image adapters at port 2"));
}

TEST_F(Configure, UnchangedRestartSettingsKeepACameraOnTwoPortsOpen) {
    Start();
    OpenPort(1, kCameraA);
    OpenPort(2, kCameraA, 2);
    user_.sheet = [](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "LogLevel") = 2;
        return true;
    };
    EXPECT_EQ(0, configureCamera(nullptr, Name(kCameraA).c_str()));
    EXPECT_TRUE(user_.notices.empty());
    EXPECT_GT(Property(2, "Width"), 0);
}

TEST_F(Configure, AcquisitionGoesOnWhileTheDialogIsOpenAndASecondDialogIsRefused) {
    Start();
    const auto [width, height] = OpenPort(1, kCameraA);
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool mayClose = false;
    user_.sheet = [&](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "BufferSize") = 9;
        std::unique_lock<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
        changed.wait(lock, [&] { return mayClose; });
        return true;
    };
    int result = -1;
    std::thread host([&] { result = configureCamera(nullptr, Name(kCameraA).c_str()); });
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return open; }));
    }
    OpenPort(2, kCameraB);
    EXPECT_EQ(1, configureCamera(nullptr, Name(kCameraB).c_str()))
        << "one configuration dialog at a time, whichever the camera";
    EXPECT_TRUE(LoggedContaining("another configuration dialog is open"));
    for (int image = 1; image <= 2; ++image) {
        ASSERT_EQ(1, doCVLGrab(0, 1));
        ASSERT_TRUE(WaitForImages(1, image));
        EXPECT_EQ(static_cast<size_t>(width * height), ReadImage(1, width, height).size());
    }
    EXPECT_EQ(4, Property(1, "BufferSize")) << "the dialog edits a copy";
    {
        std::lock_guard<std::mutex> lock(mutex);
        mayClose = true;
    }
    changed.notify_all();
    host.join();
    EXPECT_EQ(0, result);
    EXPECT_NE(std::string::npos, Settings().find("BufferSize=9"));
}

TEST_F(Configure, WithoutASystemDirectoryNothingIsShownAndTheCallFails) {
    Start();
    OpenPort(1, kCameraA);
    context_->SetSystemPath("");
    EXPECT_EQ(1, configureCamera(nullptr, Name(kCameraA).c_str()));
    EXPECT_TRUE(user_.sheets.empty());
    EXPECT_TRUE(LoggedContaining("no system directory"));
    context_->SetSystemPath(systemDir_.string());
}

TEST_F(Configure, WithoutAWindowServiceTheCallFailsWithItsReason) {
    Start();
    OpenPort(1, kCameraA);
    InstallDialogService(nullptr);
    EXPECT_EQ(1, configureCamera(nullptr, Name(kCameraA).c_str()));
    const std::string reason = "the configuration dialog is not available";
    EXPECT_TRUE(
        Logged("configureCamera: --EXCEPTION caught cameraName=192.168.0.10.1: " + reason + "\n"));
}

// File modes and the Unix user the host runs as.
#ifndef _WIN32
TEST_F(Configure, ASettingsFileThatCannotBeWrittenIsReportedAndKeptWhole) {
    Start();
    OpenPort(1, kCameraA);
    const std::string before = Settings();
    user_.sheet = [](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "BufferSize") = 11;
        return true;
    };
    // The superuser writes anything: the host runs as an ordinary user here.
    ::chmod((systemDir_ / "VaveZAZ.ini").c_str(), 0444);
    ::chmod(systemDir_.c_str(), 0555);
    const uid_t user = ::geteuid();
    ASSERT_EQ(0, user == 0 ? ::seteuid(65534) : 0);
    const int result = configureCamera(nullptr, Name(kCameraA).c_str());
    ASSERT_EQ(0, user == 0 ? ::seteuid(0) : 0);
    ::chmod(systemDir_.c_str(), 0755);
    EXPECT_EQ(1, result) << "the dialog's result says nothing was saved";
    EXPECT_EQ(before, Settings());
    EXPECT_TRUE(user_.notices.empty()) << "told over the open sheet, not after it";
    ASSERT_EQ(1u, user_.sheetNotices.size());
    EXPECT_NE(std::string::npos, user_.sheetNotices[0].find("could not be saved"));
    EXPECT_TRUE(
        LoggedContaining("Camera::Configure: ERROR: the settings of camera 192.168.0.10 "
                         "could not be saved"));
}

TEST_F(Configure, AReadOnlySettingsFileIsNotRewrittenWhoeverTheHostRunsAs) {
    Start();
    OpenPort(1, kCameraA);
    const std::string before = Settings();
    user_.sheet = [](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "BufferSize") = 12;
        return true;
    };
    ::chmod((systemDir_ / "VaveZAZ.ini").c_str(), 0444);
    const int result = configureCamera(nullptr, Name(kCameraA).c_str());
    ::chmod((systemDir_ / "VaveZAZ.ini").c_str(), 0644);
    EXPECT_EQ(1, result);
    EXPECT_EQ(before, Settings());
    EXPECT_EQ(1u, user_.sheetNotices.size());
    EXPECT_TRUE(LoggedContaining("the file is read-only"));
}
#endif

TEST_F(Configure, FromInsideACompletionCallbackTheDialogIsRefused) {
    Start();
    OpenPort(1, kCameraA);
    std::atomic<int> result{-1};
    onImage = [&](int) { result = configureCamera(nullptr, Name(kCameraA).c_str()); };
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    EXPECT_EQ(1, result.load());
    EXPECT_TRUE(user_.sheets.empty());
    EXPECT_TRUE(LoggedContaining("cannot be opened from inside a completion callback"));
}

// configureCamera used to hold the camera list while the dialog was open, so
// finalize waited for the user, and every call on other threads failed
// meanwhile.
TEST_F(Configure, FinalizeEndsAnOpenDialogAsCancelWithoutWaitingForTheUser) {
    Start();
    OpenPort(1, kCameraA);
    OpenPort(3, kCameraB);
    const std::string before = Settings();
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    user_.sheet = [&](CameraParameters& cameraSet, CameraParameters&) {
        ParamOf<int>(cameraSet, "BufferSize") = 99;
        {
            std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        changed.notify_all();
        user_.WaitUntilEnded();
        return true;  // an OK that comes after the end
    };
    std::atomic<int> result{-1};
    std::thread dialog([&] { result = configureCamera(nullptr, Name(kCameraA).c_str()); });
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return open; }));
    }
    EXPECT_EQ(1, doCVLGrab(0, 3)) << "camera B grabs while A's dialog is open";
    EXPECT_TRUE(WaitForImages(3, 1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, finalize());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    dialog.join();
    EXPECT_EQ(1, result.load()) << "answered as Cancel";
    EXPECT_EQ(before, Settings()) << "nothing saved";
    EXPECT_TRUE(LoggedContaining("ended as Cancel by finalize"));
}
