#include "image/ImageAdapter3D.h"

#include <boost/format.hpp>
#include <cstring>
#include <stdexcept>
#include <string>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "base/VaveZAZError.h"
#include "image/CalibrationFilter.h"
#include "image/CameraState.h"
#include "image/ExtractionHelperScanCount.h"
#include "image/ExtractionHelperScanMarks.h"
#include "image/HandOffMark.h"
#include "image/PointProcessing.h"
#include "image/RectificationFilter.h"

namespace {

constexpr int32_t kXyzBits = 96;
constexpr int32_t kXyzciBits = 160;

bool Enabled(const CameraParameters& parameters, const char* name) {
    return parameters.GetParameter<std::string>(name) == "Enabled";
}

}  // namespace

ImageAdapter3D::ImageAdapter3D(int32_t port, const std::string& imageName,
                               const CameraState& camera, const CameraParameters& parameters,
                               const ImageSource& image)
    : ImageAdapter(port, imageName, camera, parameters, image),
      pointBits_(kXyzBits),
      withContrastIntensity_(false) {
    CreateHelpers(image);
    Start();
}

ImageAdapter3D::ImageAdapter3D(int32_t port, const std::string& imageName,
                               const CameraState& camera, const CameraParameters& parameters,
                               const ImageSource& image, const ImageSource& contrast,
                               const ImageSource& intensity)
    : ImageAdapter(port, imageName, camera, parameters, image),
      pointBits_(kXyzciBits),
      withContrastIntensity_(true),
      contrastSource_(contrast),
      intensitySource_(intensity) {
    CreateHelpers(image);
    Start();
}

ImageAdapter3D::~ImageAdapter3D() {
    FinishAnnouncing();
    // Buffers the thread did not take go back to the camera unprocessed; the
    // camera's hand-off waits for exactly this.
    queue_.clear();
}

void ImageAdapter3D::FinishAnnouncing() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard<DriverMutex> lock(queueMutex_);
        stopRequested_ = true;
    }
    queueNotEmpty_.notify_one();
    thread_.join();
    {
        std::lock_guard<DriverMutex> lock(cloudMutex_);
        stopAnnouncing_ = true;
    }
    cloudChanged_.notify_all();
    announcer_.join();
}

// The image is built before the thread starts: a failure here leaves no
// thread behind that could outlive the adapter.
void ImageAdapter3D::CreateHelpers(const ImageSource& image) {
    const icon::DataFormat& format = *camera_.dataFormat;
    const int32_t scans = camera_.scansPerBuffer;
    width_ = image.FindSubComponent(format).getWidth();
    height_ = 1;
    CreateImages(pointBits_, width_, static_cast<uint32_t>(scans));
    // No cloud yet, so no points: zeros are no point a camera measured.
    width_ = 0;

    mainHelper_ = CreateCalibratedHelper(image);
    if (!mainHelper_) {
        mainHelper_ = CreateExtractionHelper(format, image, scans);
    }
    const auto pulses = static_cast<float>(parameters_.GetParameter<double>("PulsesPerMillimeter"));
    // With marks Y is the encoder's travel since the buffer's first scan;
    // without, the scan index, in millimetres only at one pulse per scan.
    if (format.getComponent(image.componentIndex)->getNamedSubComponent("Mark") != nullptr) {
        yHelper_ = std::make_unique<ExtractionHelperScanMarks>(format, image, scans, pulses, true);
        yMeaning_ = "millimetres of encoder travel";
    } else {
        yHelper_ = std::make_unique<ExtractionHelperScanCount>(format, image, scans, pulses);
        yMeaning_ = "scans over PulsesPerMillimeter (no encoder marks)";
    }
    laserCompensation_ = Enabled(parameters_, "LaserPlaneCompensation");
    laserPlaneAngle_ = parameters_.GetParameter<double>("LaserPlaneAngle");
    minHeight_ = parameters_.GetParameter<double>("MinHeight");
    maxHeight_ = parameters_.GetParameter<double>("MaxHeight");
    if (withContrastIntensity_) {
        contrastHelper_ = CreateExtractionHelper(format, contrastSource_, scans);
        intensityHelper_ = CreateExtractionHelper(format, intensitySource_, scans);
    }
}

// Null when calibration is off, or when the camera cannot give a calibration
// that fits: the adapter then makes uncalibrated points.
std::unique_ptr<ExtractionHelper> ImageAdapter3D::CreateCalibratedHelper(const ImageSource& image) {
    calibration_ = "off, points are sensor positions";
    if (!Enabled(parameters_, "CalibrationFilter")) {
        return nullptr;
    }
    if (!camera_.readUserData) {
        throw std::runtime_error("ImageAdapter3D: the camera gives no access to its user data");
    }
    try {
        std::string calibrationData;
        camera_.readUserData(calibrationData);
        auto calibration = std::make_unique<CalibrationFilter>(
            *camera_.dataFormat, image, camera_.scansPerBuffer, calibrationData);
        if (Enabled(parameters_, "RectificationFilter")) {
            auto rectified = std::make_unique<RectificationFilter>(std::move(calibration),
                                                                   FrontImage().GetWidth());
            calibration_ = "millimetres, rectified";
            return rectified;
        }
        calibration_ = "millimetres";
        return calibration;
    } catch (const VaveZAZError& e) {
        WriteLog(DriverContext::Instance(), 1, "ERROR: Failed to create calibration filter: %s",
                 e.what());
        calibration_ = std::string("FAILED, points are uncalibrated sensor positions: ") + e.what();
        return nullptr;
    }
}

std::string ImageAdapter3D::ImageFacts() const {
    return "Y:\t\t" + yMeaning_ + "\nCalibration:\t" + calibration_ + "\n";
}

void ImageAdapter3D::Start() {
    announcer_ = std::thread([this] { Announce(); });
    thread_ = std::thread([this] { Process(); });
}

void ImageAdapter3D::ProcessBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) {
    {
        std::lock_guard<DriverMutex> lock(queueMutex_);
        queue_.push_back(std::move(buffer));
    }
    queueNotEmpty_.notify_one();
}

// Marked as a hand-off, as the announcing thread is: a host procedure called
// for its log lines may call back into the driver.
void ImageAdapter3D::Process() {
    HandOffMark mark(camera_);
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 2, "ImageAdapter3D processing thread started, port=%d", port_);
    while (boost::shared_ptr<const icon::IconBuffer> buffer = NextBuffer()) {
        WriteLog(context, 3, "ImageAdapter3D starting to process buffer, port=%d", port_);
        try {
            ProcessOneBuffer(std::move(buffer));
        } catch (const std::exception& e) {
            WriteLog(context, 1, "ImageAdapter3D: ERROR while processing image on port=%d: %s",
                     port_, e.what());
        } catch (...) {
            WriteLog(context, 1, "ImageAdapter3D: ERROR while processing image on port=%d: %s",
                     port_, "unknown exception");
        }
    }
    WriteLog(context, 2, "ImageAdapter3D processing thread exited, port=%d", port_);
}

// The stop flag and the queue are tested under the mutex that the destructor
// and ProcessBuffer hold while they change them, and the wait rechecks both,
// so neither a stop nor a buffer signalled before the wait begins is missed.
boost::shared_ptr<const icon::IconBuffer> ImageAdapter3D::NextBuffer() {
    std::unique_lock<DriverMutex> lock(queueMutex_);
    if (queue_.empty() && !stopRequested_) {
        // Logged without the queue lock: a host debug procedure may call back
        // into the driver.
        lock.unlock();
        WriteLog(DriverContext::Instance(), 3, "ImageAdapter3D waiting for buffer, port=%d", port_);
        lock.lock();
        queueNotEmpty_.wait(lock, [this] { return !queue_.empty() || stopRequested_; });
    }
    if (stopRequested_) {
        return nullptr;
    }
    boost::shared_ptr<const icon::IconBuffer> buffer = std::move(queue_.front());
    queue_.pop_front();
    return buffer;
}

// Each step runs over the whole buffer before the next begins. A step that
// throws ends the buffer: no host callback, and the host keeps reading the
// last good cloud, which lies in the other image.
// The buffer goes back to the camera as soon as the cloud is built: the
// camera's other ports need not wait for this port's host.
void ImageAdapter3D::ProcessOneBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) {
    yHelper_->Extract(*buffer);
    mainHelper_->Extract(*buffer);
    if (withContrastIntensity_) {
        contrastHelper_->Extract(*buffer);
        intensityHelper_->Extract(*buffer);
    }
    CountOvertrigs(*yHelper_);
    BeginBuilding();
    const int32_t points = BuildPoints();
    buffer.reset();
    CloudBuilt(points);
}

// The back image is written only while no announcement is taking it: the
// images change places between the two.
void ImageAdapter3D::BeginBuilding() {
    std::unique_lock<DriverMutex> lock(cloudMutex_);
    cloudChanged_.wait(lock, [this] { return !announcing_; });
    building_ = true;
    cloudReady_ = false;
}

void ImageAdapter3D::CloudBuilt(int32_t points) {
    {
        std::lock_guard<DriverMutex> lock(cloudMutex_);
        backWidth_ = points;
        building_ = false;
        cloudReady_ = true;
    }
    cloudChanged_.notify_all();
}

// While the host's callback runs here, clouds go on being built into the back
// image; the newest is announced when the callback returns. A cloud still
// waiting when the adapter goes is announced first.
void ImageAdapter3D::Announce() {
    HandOffMark mark(camera_);
    for (;;) {
        {
            std::unique_lock<DriverMutex> lock(cloudMutex_);
            cloudChanged_.wait(lock,
                               [this] { return (cloudReady_ && !building_) || stopAnnouncing_; });
            if (!cloudReady_ || building_) {
                return;
            }
            cloudReady_ = false;
            announcing_ = true;
        }
        NotifyCorvaneImageComplete();
    }
}

int32_t ImageAdapter3D::BuildPoints() {
    const PointHelpers helpers{yHelper_.get(), mainHelper_.get(),
                               withContrastIntensity_ ? contrastHelper_.get() : nullptr,
                               withContrastIntensity_ ? intensityHelper_.get() : nullptr};
    const HeightWindow window{minHeight_, maxHeight_, laserCompensation_, laserPlaneAngle_};
    return static_cast<int32_t>(::BuildPoints(BackImage(), helpers, window));
}

// Readers of the front image hold the lock shared: once the images have
// changed places under the exclusive hold, no reader is left in the image the
// next cloud is written into.
void ImageAdapter3D::ShowBackImage() {
    {
        std::lock_guard<DriverMutex> lock(cloudMutex_);
        boost::unique_lock<DriverSharedMutex> changing(imageLock_);
        ImageAdapter::ShowBackImage();
        width_ = backWidth_;
        announcing_ = false;
    }
    cloudChanged_.notify_all();
}

ImageRow ImageAdapter3D::GetRow(int32_t row) {
    ImageRow view;
    view.hold = boost::shared_lock<DriverSharedMutex>(imageLock_);
    if (row != 0) {
        view.problem = (boost::format("ImageAdapter3D::GetRow: ERROR: a point cloud has only row "
                                      "0, asked for row %d, port=%d\n") %
                        row % port_)
                           .str();
        return view;
    }
    ImageBuffer& image = GetImageBuffer();
    view.data = image.GetData();
    view.bytes = static_cast<size_t>(width_.load()) * static_cast<size_t>(image.GetBytesPerPixel());
    return view;
}
