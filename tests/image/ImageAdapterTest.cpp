#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/thread/locks.hpp>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

#include "base/VaveZAZError.h"
#include "image/AdapterRegistry.h"
#include "image/ImageAdapterGrayscale.h"
#include "tests/iconapi/SimTestSupport.h"
#include "tests/image/ImageTestSupport.h"

using namespace imagetest;
using ::testing::HasSubstr;

namespace {

const ImageSource kCogRange{"Profile 1", "Range", 0, 1, true};
const ImageSource kCogIntensity{"Profile 1", "Intensity", 0, 2, true};

// What the host's completion callback received.
std::mutex callsMutex;
std::condition_variable callsChanged;
std::vector<std::pair<int, int>> calls;

int OnComplete(int grabberNo, int portNo) {
    std::lock_guard<std::mutex> lock(callsMutex);
    calls.emplace_back(grabberNo, portNo);
    callsChanged.notify_all();
    return 1;
}

bool WaitForCalls(size_t count) {
    std::unique_lock<std::mutex> lock(callsMutex);
    return callsChanged.wait_for(lock, icontest::kWait, [count] { return calls.size() >= count; });
}

// The camera's hand-off, reduced to lending the delivered buffer to one
// adapter on the frame grabber's thread.
void HandOff(const icon::IconBuffer* buffer, icon::FrameGrabber*, void* user) {
    auto* adapter = static_cast<ImageAdapter*>(user);
    adapter->ProcessBuffer(
        boost::shared_ptr<const icon::IconBuffer>(buffer, [](const icon::IconBuffer*) {}));
}

class AdapterTest : public SimFixture {
  protected:
    void SetUp() override {
        SimFixture::SetUp();
        calls.clear();
    }

    const icon::sim::DeviceConfig device_ = SceneDevice();
    const icon::DataFormat format_ = DeviceFormat(device_, "Measurement");
    CameraState camera_ = Camera(format_, 16);
};

}  // namespace

TEST_F(AdapterTest, GrayscaleRangeImageHasOneRowPerScanAndCallsTheHostBack) {
    context_->logLevel = 3;
    // The host may change "NumberOfScans" while the camera streams; the image
    // follows the scans the grabber delivers.
    camera_.parameters.AddParam(std::make_unique<Param<int>>("Camera", "NumberOfScans", 512));
    ImageAdapterGrayscale adapter(5, "1", camera_, CameraParameters("Cam.1"), kCogRange);
    EXPECT_EQ(kColumns, adapter.GetWidth());
    EXPECT_EQ(16, adapter.GetHeight());
    EXPECT_EQ(8, adapter.GetBitsPerPixel());
    adapter.SetCompleteCallback(&OnComplete);

    auto buffer = Render(device_, format_, 16, 40);
    adapter.ProcessBuffer(buffer);
    EXPECT_EQ(1, buffer.use_count()) << "the adapter keeps no reference";
    for (int32_t scan = 0; scan < 16; ++scan) {
        const uint8_t* row = adapter.GetImageBuffer().GetLine(scan);
        EXPECT_EQ(kBoxRow, row[32]) << scan;
        EXPECT_EQ(kBeltRow, row[5]) << scan;
    }
    EXPECT_EQ((std::vector<std::pair<int, int>>{{0, 5}}), calls);
    EXPECT_EQ(1, adapter.CompletedCount().Get());
    EXPECT_TRUE(capture_.Contains(
        "ImageAdapter::NotifyCorvaneImageComplete: grab succesful. calling CB, port=5\n"));
}

TEST_F(AdapterTest, BuffersFromTheFrameGrabberBecomeImagesOnItsThread) {
    auto device = SceneDevice();
    device.ip = "10.0.0.2";
    device.lineRate = 20000.0;
    icon::sim::configure(icontest::quickConfig({device}));
    // Declared before the rig, so the grabber stops before they go.
    CameraState camera("Cam");
    std::unique_ptr<ImageAdapterGrayscale> adapter;
    icontest::Rig rig;
    ASSERT_EQ(0, rig.open(device.ip, 16, &HandOff, nullptr));
    camera = Camera(icon::DataFormat(rig.format), 16);
    adapter = std::make_unique<ImageAdapterGrayscale>(2, "1", camera, CameraParameters("Cam.1"),
                                                      kCogRange);
    adapter->SetCompleteCallback(&OnComplete);
    dynamic_cast<icon::FGEthernetParameters&>(*rig.grabber->getParameters())
        .setUserData(adapter.get());
    ASSERT_EQ(0, rig.start());
    ASSERT_TRUE(WaitForCalls(3));
    rig.camera->stop();
    rig.grabber->stopGrab();
    for (int32_t scan = 0; scan < 16; ++scan) {
        const uint8_t* row = adapter->GetImageBuffer().GetLine(scan);
        EXPECT_EQ(kBoxRow, row[32]) << scan;
        EXPECT_EQ(kBeltRow, row[5]) << scan;
    }
    EXPECT_EQ(std::make_pair(0, 2), calls.front());
}

// The top bits of the Sum word belong to the range: read with the weight,
// they made the belt and a box of the same shade differ.
TEST_F(AdapterTest, CogIntensityFollowsTheReflectanceWhateverTheHeight) {
    const icon::sim::DeviceConfig device = TwoShadeDevice();
    ImageAdapterGrayscale adapter(1, "2", camera_, CameraParameters("Cam.2"), kCogIntensity);
    adapter.ProcessBuffer(Render(device, format_, 16));
    for (int32_t scan = 0; scan < 16; ++scan) {
        const uint8_t* row = adapter.GetImageBuffer().GetLine(scan);
        for (int column = 0; column < kColumns; ++column) {
            const double reflectance = TwoShadeReflectance(column);
            if (reflectance > 0.0) {
                // The top 8 of the weight's 13 bits.
                ASSERT_EQ(LineWeight(reflectance, device.sensor.rows) >> 5, row[column])
                    << "scan " << scan << ", column " << column;
            }
        }
    }
}

TEST_F(AdapterTest, ImageWithoutCallbackIsLoggedAndNotCounted) {
    ImageAdapterGrayscale adapter(5, "1", camera_, CameraParameters("Cam.1"), kCogRange);
    adapter.ProcessBuffer(Render(device_, format_, 16));
    EXPECT_EQ(0, adapter.CompletedCount().Get());
    EXPECT_EQ((std::vector<std::string>{"ERROR: callback is not assigned, port=5\n"}),
              capture_.Messages());
    EXPECT_EQ(kBeltRow, adapter.GetImageBuffer().GetLine(15)[0]) << "the image waits";
}

TEST_F(AdapterTest, FailedExtractionReleasesTheBufferWithoutCallingTheHost) {
    ImageAdapterGrayscale adapter(5, "1", camera_, CameraParameters("Cam.1"), kCogRange);
    adapter.SetCompleteCallback(&OnComplete);
    FailFilter("ExtractionFilter::apply", 5004, icon::sim::Fault::ONCE);
    auto buffer = Render(device_, format_, 16);
    EXPECT_THROW(adapter.ProcessBuffer(buffer), VaveZAZError);
    EXPECT_EQ(1, buffer.use_count());
    EXPECT_TRUE(calls.empty());
    EXPECT_THROW(adapter.ProcessBuffer(Render(device_, format_, 8)), std::runtime_error)
        << "a buffer of other scans is refused";
    EXPECT_TRUE(calls.empty());
}

TEST_F(AdapterTest, SourceMissingFromTheDataFormatFailsConstruction) {
    try {
        ImageAdapterGrayscale adapter(5, "1", camera_, CameraParameters("Cam.1"),
                                      {"Profile 1", "Range", 0, 3, true});
        FAIL() << "there is no fourth subcomponent";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Image 'Profile 1 - Range' not found in data format", e.what());
    }
    EXPECT_THROW(ImageAdapterGrayscale(5, "1", camera_, CameraParameters("Cam.1"),
                                       {"Profile 2", "Range", 1, 1, true}),
                 std::runtime_error);
}

TEST_F(AdapterTest, RegistryFindsAdaptersByPortAndTheLowestPortByImageName) {
    AdapterRegistry registry;
    auto add = [&](int32_t port, const char* imageName) {
        registry.Insert(port, std::make_unique<ImageAdapterGrayscale>(
                                  port, imageName, camera_, CameraParameters("Cam"), kCogRange));
    };
    add(7, "1");
    add(3, "1");
    add(5, "A");
    EXPECT_EQ(3, registry.FindByImageId("1")->GetPort());
    EXPECT_EQ(5, registry.FindByImageId("A")->GetPort());
    EXPECT_EQ(7, registry.FindByPort(7)->GetPort());
    try {
        registry.FindByImageId("a");
        FAIL() << "image names are compared exactly";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("No image adapters with imageId=a", e.what());
    }
    try {
        registry.FindByPort(4);
        FAIL() << "no adapter on port 4";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("No image adapters at port 4", e.what());
    }
    std::future<std::unique_ptr<ImageAdapter>> taking;
    {
        // A found adapter cannot be taken out of the map while it is held.
        AdapterRegistry::Hold held = registry.FindByPort(5);
        taking = std::async(std::launch::async, [&] { return registry.Take(5); });
        EXPECT_EQ(std::future_status::timeout, taking.wait_for(std::chrono::milliseconds(100)));
        EXPECT_EQ(5, held->GetPort());
    }
    EXPECT_EQ(5, taking.get()->GetPort()) << "the hold ends with its scope";
    EXPECT_FALSE(registry.Contains(5));
    EXPECT_EQ(2u, registry.TakeAll().size());
    EXPECT_EQ(0u, registry.Count());
}

// A grayscale image cannot be made of mark records. The adapter used the 3D
// rule, which reads marks as scan marks: it opened and then failed every grab.
// The marks of a centre-of-gravity component are refused the same way: their
// records hold two words per scan, not one value per column.
TEST_F(AdapterTest, GrayscaleOnMarkRecordsFailsAtOpenNotAtEveryGrab) {
    const icon::DataFormat imageFormat = DeviceFormat(device_, "Image");
    CameraState imageCamera = Camera(imageFormat, 16);
    const std::pair<CameraState*, ImageSource> marks[] = {
        {&imageCamera, {"Frame 1", "Mark", 0, 0, false}},
        {&camera_, {"Profile 1", "Mark", 0, 0, true}}};
    for (const auto& [camera, source] : marks) {
        try {
            ImageAdapterGrayscale adapter(5, "1", *camera, CameraParameters("Cam.1"), source);
            ADD_FAILURE() << source.DisplayName() << " is no grayscale image";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("ExtractionHelperDirect: Unsupported SubComponent type MARK", e.what());
        }
    }
}
