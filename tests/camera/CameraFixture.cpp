#include "tests/camera/CameraFixture.h"

#include <chrono>
#include <fstream>

#include "vavezaz/CvlDriver.h"

std::mutex CameraFixture::mutex_;
std::condition_variable CameraFixture::announced_;
std::vector<int> CameraFixture::images_(20, 0);
std::function<void(int)> CameraFixture::onImage;

void CameraFixture::SetUp() {
    ContextFixture::SetUp();
    simulation_ = icon::sim::SimulationConfig::embeddedDefault();
    for (icon::sim::DeviceConfig& device : simulation_.devices) {
        device.lineRate = 20000.0;
        device.sensor = icon::sim::SensorGeometry::standard(kColumns, kRows, 600.0, 200.0, 0.0005);
    }
    simulation_.notRespondingDelayMs = 20;
    std::lock_guard<std::mutex> lock(mutex_);
    images_.assign(20, 0);
}

void CameraFixture::TearDown() {
    while (context_->refCount > 0) {
        finalize();
    }
    onImage = nullptr;
    icon::sim::resetConfiguration();
    ContextFixture::TearDown();
}

void CameraFixture::Start(const std::string& cameraASettings) {
    icon::sim::configure(simulation_);
    std::ofstream settings(systemDir_ / "VaveZAZ.ini");
    settings << "[General]\nLogLevel=3\n";
    for (const char* camera : {kCameraA, kCameraB}) {
        settings << "[" << camera << "]\nNumberOfScans=" << kScans << "\nBufferSize=4\n";
        if (camera == kCameraA) {
            settings << cameraASettings;
        }
    }
    settings.close();
    ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
}

std::pair<int, int> CameraFixture::OpenPort(int port, const std::string& camera, int suffix) {
    int size[2] = {-1, -1};
    const std::string name = camera + "." + std::to_string(suffix);
    EXPECT_EQ(1, openCVLPort(0, port, name.c_str(), size)) << name;
    EXPECT_EQ(1, setCompleteCallback(0, port, &CameraFixture::OnImageComplete));
    return {size[0], size[1]};
}

int CameraFixture::OnImageComplete(int, int portNo) {
    if (onImage) {
        onImage(portNo);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++images_.at(static_cast<size_t>(portNo));
    }
    announced_.notify_all();
    return 0;
}

bool CameraFixture::WaitForImages(int port, int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return announced_.wait_for(lock, std::chrono::seconds(10),
                               [&] { return images_.at(static_cast<size_t>(port)) >= count; });
}

int CameraFixture::ImagesAnnounced(int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    return images_.at(static_cast<size_t>(port));
}

std::vector<unsigned char> CameraFixture::ReadImage(int port, int width, int height) {
    std::vector<unsigned char> image(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        EXPECT_EQ(1, getCVLGrabRow(0, port, image.data() + static_cast<size_t>(row * width), row, 0,
                                   width - 1))
            << "row " << row;
    }
    return image;
}

bool CameraFixture::LoggedContaining(const std::string& text) const {
    for (const std::string& message : capture_.Messages()) {
        if (message.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

int CameraFixture::Property(int port, const char* name) {
    int value = -12345;
    EXPECT_EQ(1, getProperty(0, port, name, &value)) << name;
    return value;
}

std::string CameraFixture::Statistics(int port) {
    capture_.Clear();
    setProperty(0, port, "PrintStats", 1);
    for (const std::string& message : capture_.Messages()) {
        if (message.rfind("Camera statistics\n", 0) == 0) {
            return message;
        }
    }
    return "";
}
