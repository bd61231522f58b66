// The 3D adapter on rendered buffers: its processing thread, the clouds it
// builds, how it stops, and what it does with buffers and errors. The camera
// sees the belt on row 100 and a box top on row 60 (columns 24 to 40).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "base/VaveZAZError.h"
#include "image/ImageAdapter3D.h"
#include "image/ImageList.h"
#include "tests/image/ImageTestSupport.h"

using namespace imagetest;
using ::testing::HasSubstr;

namespace {

constexpr int kScans = 8;
constexpr auto kWait = std::chrono::seconds(10);

// What the host's completion callback saw.
std::mutex hostMutex;
std::condition_variable hostChanged;
int callbacks = 0;
std::thread::id callbackThread;
// Runs inside the callback, on the processing thread.
std::function<void()> inCallback;

int OnComplete(int, int) {
    if (inCallback) {
        inCallback();
    }
    std::lock_guard<std::mutex> lock(hostMutex);
    ++callbacks;
    callbackThread = std::this_thread::get_id();
    hostChanged.notify_all();
    return 0;
}

bool WaitForCallbacks(int count) {
    std::unique_lock<std::mutex> lock(hostMutex);
    return hostChanged.wait_for(lock, kWait, [count] { return callbacks >= count; });
}

int Callbacks() {
    std::lock_guard<std::mutex> lock(hostMutex);
    return callbacks;
}

// Runs `work` on a thread of its own; false when it has not finished in
// time, which for a destructor means it hangs. The process cannot go on
// from there, so it ends with the test's failure on record.
bool FinishesInTime(std::function<void()> work) {
    std::packaged_task<void()> task(std::move(work));
    std::future<void> done = task.get_future();
    std::thread(std::move(task)).detach();
    if (done.wait_for(kWait) == std::future_status::ready) {
        return true;
    }
    ADD_FAILURE() << "did not finish within " << kWait.count() << " s";
    std::fflush(stdout);
    std::_Exit(1);
}

class Adapter3DTest : public SimFixture {
  protected:
    void SetUp() override {
        SimFixture::SetUp();
        camera_.readUserData = [this](std::string& data) {
            ++userDataReads_;
            data = userData_;
        };
        std::lock_guard<std::mutex> lock(hostMutex);
        callbacks = 0;
        inCallback = nullptr;
    }

    void TearDown() override {
        inCallback = nullptr;
        SimFixture::TearDown();
    }

    // The adapter that the image configuration builds from `settings` (lines
    // of the "Cam.1" section).
    std::unique_ptr<ImageAdapter3D> Build(const std::string& settings) {
        std::ofstream(systemDir_ / "VaveZAZ.ini") << "[Cam.1]\n" << settings;
        ImageList list(camera_);
        list.BuildImageList();
        std::unique_ptr<ImageAdapter> built = list.CreateImageAdapter(1, "1");
        auto* adapter = dynamic_cast<ImageAdapter3D*>(built.get());
        EXPECT_NE(nullptr, adapter);
        built.release();
        std::unique_ptr<ImageAdapter3D> owned(adapter);
        owned->SetCompleteCallback(&OnComplete);
        return owned;
    }

    // A rendered buffer lent as the camera lends it; its release is counted.
    boost::shared_ptr<const icon::IconBuffer> Lend(int64_t firstScan = 0) {
        auto rendered = Render(device_, format_, kScans, firstScan);
        return boost::shared_ptr<const icon::IconBuffer>(
            rendered.get(), [this, rendered](const icon::IconBuffer*) { ++releases_; });
    }

    std::vector<float> Row(ImageAdapter3D& adapter) {
        ImageRow row = adapter.GetRow(0);
        const auto* floats = reinterpret_cast<const float*>(row.data);
        return std::vector<float>(floats, floats + row.bytes / sizeof(float));
    }

    icon::sim::DeviceConfig device_ = SceneDevice();
    const icon::DataFormat format_ = DeviceFormat(device_, "Measurement");
    CameraState camera_ = Camera(format_, kScans);
    std::string userData_ = icon::sim::calibrationText(device_.sensor);
    std::atomic<int> userDataReads_{0};
    std::atomic<int> releases_{0};
};

}  // namespace

TEST_F(Adapter3DTest, CloudOfTheBoxTopIsBuiltAndAnnouncedOnTheAdaptersOwnThreads) {
    context_->logLevel = 3;
    // Uncalibrated, Z is the sensor row: the window keeps the box top (row 60).
    auto adapter =
        Build("ImageFormat=3D (XYZ)\nMinHeight=50\nMaxHeight=70\nPulsesPerMillimeter=2\n");
    EXPECT_EQ(96, adapter->GetBitsPerPixel());
    int releasedAtCallback = -1;
    inCallback = [&] { releasedAtCallback = releases_; };
    adapter->ProcessBuffer(Lend());
    ASSERT_TRUE(WaitForCallbacks(1));
    EXPECT_NE(std::this_thread::get_id(), callbackThread);
    EXPECT_EQ(1, releasedAtCallback) << "the buffer goes back before the host is called";

    const std::vector<float> cloud = Row(*adapter);
    const int32_t boxColumns = 17;  // 24 to 40
    ASSERT_EQ(boxColumns * kScans, adapter->GetWidth());
    ASSERT_EQ(static_cast<size_t>(3 * adapter->GetWidth()), cloud.size());
    for (size_t n = 0; n < cloud.size() / 3; ++n) {
        const size_t scan = n / boxColumns;
        EXPECT_EQ(static_cast<float>(24 + n % boxColumns), cloud[3 * n]) << n;
        // Five encoder pulses per scan, two per millimetre.
        EXPECT_EQ(2.5f * static_cast<float>(scan), cloud[3 * n + 1]) << n;
        EXPECT_EQ(60.0f, cloud[3 * n + 2]) << n;
    }
    EXPECT_TRUE(capture_.Contains("ImageAdapter3D processing thread started, port=1\n"));
    EXPECT_TRUE(capture_.Contains("ImageAdapter3D starting to process buffer, port=1\n"));
    adapter.reset();
    EXPECT_EQ(1, releases_.load());
    EXPECT_TRUE(capture_.Contains("ImageAdapter3D processing thread exited, port=1\n"));
}

TEST_F(Adapter3DTest, RowZeroHoldsEveryKeptPointAndOtherRowsNone) {
    auto adapter = Build("ImageFormat=3D (XYZCI)\nMinHeight=50\nMaxHeight=110\n");
    adapter->ProcessBuffer(Lend());
    ASSERT_TRUE(WaitForCallbacks(1));
    ASSERT_EQ(kColumns * kScans, adapter->GetWidth()) << "belt and box: every point";
    EXPECT_EQ(static_cast<size_t>(20 * kColumns * kScans), adapter->GetRow(0).bytes)
        << "more than one sensor row of points";
    const ImageRow second = adapter->GetRow(1);
    EXPECT_EQ(nullptr, second.data);
    EXPECT_EQ(nullptr, adapter->GetRow(-1).data);
    EXPECT_EQ(
        "ImageAdapter3D::GetRow: ERROR: a point cloud has only row 0, asked for row 1, port=1\n",
        second.problem)
        << "said to the reader, who logs it once the image is let go";
}

TEST_F(Adapter3DTest, ImageIsNotRewrittenWhileTheHostCopiesARow) {
    auto adapter = Build("ImageFormat=3D (XYZ)\n");
    adapter->ProcessBuffer(Lend());
    ASSERT_TRUE(WaitForCallbacks(1));
    {
        ImageRow row = adapter->GetRow(0);
        adapter->ProcessBuffer(Lend(kScans));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(1, Callbacks()) << "the next cloud waits for the copy";
    }
    EXPECT_TRUE(WaitForCallbacks(2));
}

// The buffers that came while the host sat in its callback used to wait in
// the queue, and the camera with them.
TEST_F(Adapter3DTest, WhileTheHostIsSlowBuffersAreBuiltAndGivenBackAndTheNewestIsAnnounced) {
    context_->logLevel = 2;
    auto adapter = Build("ImageFormat=3D (XYZ)\n");
    std::promise<void> entered;
    std::atomic<bool> first{true};
    std::promise<void> letGo;
    std::shared_future<void> released = letGo.get_future().share();
    inCallback = [&entered, &first, released] {
        if (first.exchange(false)) {
            entered.set_value();
            released.wait();
        }
    };
    adapter->ProcessBuffer(Lend());
    entered.get_future().wait();
    adapter->ProcessBuffer(Lend(kScans));
    adapter->ProcessBuffer(Lend(2 * kScans));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (releases_ < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(3, releases_.load()) << "every buffer goes back while the host is still busy";

    std::thread destroyer([&] { adapter.reset(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    letGo.set_value();
    ASSERT_TRUE(FinishesInTime([&] { destroyer.join(); }));
    EXPECT_EQ(2, Callbacks()) << "the first cloud, then the newest; the one between is replaced";
    EXPECT_TRUE(capture_.Contains("ImageAdapter3D processing thread exited, port=1\n"));
}

// The debug procedure runs on the processing thread between its test of the
// queue and its wait: what the host does there must not be lost.
std::function<void()> onWaitingLine;

void WaitingHook(const char* text) {
    LogCapture::Proc()(text);
    if (std::string(text).find("ImageAdapter3D waiting for buffer") != std::string::npos &&
        onWaitingLine) {
        auto hook = std::move(onWaitingLine);
        onWaitingLine = nullptr;
        hook();
    }
}

TEST_F(Adapter3DTest, BufferQueuedJustBeforeTheWaitIsProcessed) {
    context_->logLevel = 3;
    std::promise<ImageAdapter3D*> built;
    std::shared_future<ImageAdapter3D*> adapterOf = built.get_future().share();
    onWaitingLine = [&, adapterOf] { adapterOf.get()->ProcessBuffer(Lend()); };
    context_->debugMsgProc = &WaitingHook;
    auto adapter = Build("ImageFormat=3D (XYZ)\n");
    built.set_value(adapter.get());
    EXPECT_TRUE(WaitForCallbacks(1)) << "the buffer's signal came before the wait";
    ASSERT_TRUE(FinishesInTime([&] { adapter.reset(); }));
    context_->debugMsgProc = LogCapture::Proc();
}

TEST_F(Adapter3DTest, StopRequestedJustBeforeTheWaitEndsTheThread) {
    context_->logLevel = 3;
    std::promise<ImageAdapter3D*> built;
    std::shared_future<ImageAdapter3D*> adapterOf = built.get_future().share();
    std::thread destroyer;
    std::promise<void> destroying;
    std::unique_ptr<ImageAdapter3D> adapter;
    onWaitingLine = [&] {
        adapterOf.wait();
        destroyer = std::thread([&] { adapter.reset(); });
        destroying.set_value();
        // Long enough for the stop to be requested and signalled before the
        // thread goes on to wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    context_->debugMsgProc = &WaitingHook;
    adapter = Build("ImageFormat=3D (XYZ)\n");
    built.set_value(adapter.get());
    ASSERT_TRUE(FinishesInTime([&] {
        destroying.get_future().wait();
        destroyer.join();
    }));
    context_->debugMsgProc = LogCapture::Proc();
    EXPECT_TRUE(capture_.Contains("ImageAdapter3D processing thread exited, port=1\n"));
}

TEST_F(Adapter3DTest, FailedBufferIsLoggedAndSkippedAndTheNextReachesTheHost) {
    context_->logLevel = 2;
    auto adapter = Build("ImageFormat=3D (XYZ)\n");
    FailFilter("ExtractionFilter::apply", 5004, icon::sim::Fault::ONCE);
    adapter->ProcessBuffer(Lend());
    adapter->ProcessBuffer(Lend(kScans));
    ASSERT_TRUE(WaitForCallbacks(1));
    adapter.reset();
    EXPECT_EQ(1, callbacks);
    EXPECT_EQ(2, releases_.load());
    bool logged = false;
    for (const std::string& line : capture_.Messages()) {
        logged |= line.rfind(
                      "ImageAdapter3D: ERROR while processing image on port=1: "
                      "Apply extraction filter",
                      0) == 0;
    }
    EXPECT_TRUE(logged);
}

TEST_F(Adapter3DTest, CalibrationThatCannotBeHadLeavesUncalibratedPointsAndALoggedLine) {
    const std::string foreign =
        icon::sim::calibrationText(icon::sim::SensorGeometry::standard(32, 101, 200, 100, 0));
    for (const std::string& data : {std::string(), std::string("garbage\0\x01", 9), foreign}) {
        capture_.Clear();
        userData_ = data;
        auto adapter = Build(
            "ImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=1\n"
            "MinHeight=50\nMaxHeight=70\n");
        EXPECT_TRUE(capture_.Contains(
            "ERROR: Failed to create calibration filter: Init calibration filter from flash "
            "user data -- VaveZAZ API error code: 17(icon::Camera::E_CAMERA_USER_DATA_ERROR)\n"));
        const int before = Callbacks();
        adapter->ProcessBuffer(Lend());
        ASSERT_TRUE(WaitForCallbacks(before + 1));
        const std::vector<float> cloud = Row(*adapter);
        ASSERT_FALSE(cloud.empty());
        EXPECT_EQ(24.0f, cloud[0]) << "X is the sensor column";
        EXPECT_EQ(60.0f, cloud[2]) << "Z is the sensor row";
        EXPECT_THAT(adapter->ImageFacts(),
                    HasSubstr("\nCalibration:\tFAILED, points are uncalibrated sensor positions: "
                              "Init calibration filter from flash user data -- VaveZAZ API error "
                              "code: 17(icon::Camera::E_CAMERA_USER_DATA_ERROR)\n"));
    }
    capture_.Clear();
    camera_.readUserData = [](std::string&) {
        throw VaveZAZError("Read user data from flash", 15);
    };
    auto adapter = Build("ImageFormat=3D (XYZ)\nCalibrationFilter=1\n");
    EXPECT_TRUE(capture_.Contains(
        "ERROR: Failed to create calibration filter: Read user data from flash -- VaveZAZ API "
        "error code: 15(icon::Camera::E_ERROR)\n"));
}

TEST_F(Adapter3DTest, CalibratedAndRectifiedOnlyWhenEnabledExactly) {
    // Rectification without calibration is off: no user data is even read.
    auto plain = Build("ImageFormat=3D (XYZ)\nCalibrationFilter=0\nRectificationFilter=1\n");
    EXPECT_EQ(0, userDataReads_.load());
    auto rectified =
        Build("ImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=1\nMinHeight=20\n");
    EXPECT_EQ(1, userDataReads_.load());
    rectified->ProcessBuffer(Lend());
    ASSERT_TRUE(WaitForCallbacks(1));
    const std::vector<float> cloud = Row(*rectified);
    ASSERT_FALSE(cloud.empty());
    for (size_t n = 0; n < cloud.size() / 3; ++n) {
        EXPECT_NEAR(40.0f, cloud[3 * n + 2], 0.01f) << "millimetres over the belt";
        EXPECT_NEAR(0.0f, cloud[3 * n], 26.0f) << "within the box's 50 mm";
    }
}

// A box 40 mm high, light on its left half (0.8) and dark on its right
// (0.3), under a camera whose view widens with height: a box-top point lies
// several columns from the cell it wins, so a cell that took contrast and
// intensity from its own sensor column would show the other half's light.
TEST_F(Adapter3DTest, EveryBoxTopPointCarriesTheLightOfItsOwnPlace) {
    device_.sensor = icon::sim::SensorGeometry::standard(kColumns, 101, 200.0, 100.0, 0.002);
    device_.scene.objects.resize(2, device_.scene.objects[0]);
    for (int half = 0; half < 2; ++half) {
        device_.scene.objects[half].x = half == 0 ? -30.0 : 30.0;
        device_.scene.objects[half].width = 60.0;
        device_.scene.objects[half].reflectance = half == 0 ? 0.8 : 0.3;
    }
    userData_ = icon::sim::calibrationText(device_.sensor);
    const std::string xyzci =
        "ImageFormat=3D (XYZCI)\nCalibrationFilter=1\nContrast=2\nIntensity=2\n"
        "MinHeight=39.5\nMaxHeight=40.5\n";
    for (const char* rectified : {"RectificationFilter=1\n", "RectificationFilter=0\n"}) {
        const int before = Callbacks();
        auto adapter = Build(xyzci + rectified);
        adapter->ProcessBuffer(Lend());
        ASSERT_TRUE(WaitForCallbacks(before + 1));
        const std::vector<float> cloud = Row(*adapter);
        int wrong = 0;
        int near = 0;
        for (size_t n = 0; n < cloud.size() / 5; ++n) {
            const float x = cloud[5 * n];
            // A cell on the edge between the halves may be won from either.
            if (std::abs(x) < 2.0f) {
                ++near;
                continue;
            }
            const float light = static_cast<float>(LineWeight(x < 0.0f ? 0.8 : 0.3, 101));
            wrong += cloud[5 * n + 3] != light || cloud[5 * n + 4] != light ? 1 : 0;
        }
        EXPECT_GT(cloud.size() / 5, static_cast<size_t>(30 * kScans)) << rectified;
        EXPECT_LE(near, 2 * kScans) << rectified;
        EXPECT_EQ(0, wrong) << rectified << "of " << cloud.size() / 5 << " box-top points";
    }
}

// Points alone do not tell a host what Y measures or whether they are
// millimetres: the port's statistics say.
TEST_F(Adapter3DTest, ImageFactsSayWhatYMeasuresAndWhetherPointsAreCalibrated) {
    EXPECT_EQ(
        "Y:\t\tmillimetres of encoder travel\nCalibration:\tmillimetres, rectified\n",
        Build("ImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=1\n")->ImageFacts());
    camera_ = Camera(CogFormat(kColumns, false), kScans);
    EXPECT_EQ(
        "Y:\t\tscans over PulsesPerMillimeter (no encoder marks)\n"
        "Calibration:\toff, points are sensor positions\n",
        Build("ImageFormat=3D (XYZ)\n")->ImageFacts());
}

TEST_F(Adapter3DTest, FailedConstructionLeavesNoThreadBehind) {
    context_->logLevel = 2;
    // A contrast source of a type no helper reads fails after the cloud's own
    // helpers were made.
    icon::DataFormat format = format_;
    icon::Component odd("Odd 1", "RANGE");
    odd.addSubComponent(icon::SubComponent("Range", "MARK", kColumns));
    format.addComponent(odd);
    CameraState camera = Camera(format, kScans);
    EXPECT_THROW(ImageAdapter3D(1, "1", camera, Build("ImageFormat=3D (XYZCI)\n")->GetParameters(),
                                {"Profile 1", "Range", 0, 1, true}, {"Odd 1", "Range", 1, 0, false},
                                {"Profile 1", "Mark", 0, 0, true}),
                 std::runtime_error);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    int started = 0;
    for (const std::string& line : capture_.Messages()) {
        started += line.find("processing thread started") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(1, started) << "only the adapter that was built got a thread";
}
