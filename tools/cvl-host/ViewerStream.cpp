#include "tools/cvl-host/ViewerStream.h"

#include <cstdlib>
#include <tuple>

#include "platform/ProfileFile.h"
#include "tools/cvl-host/CameraChoice.h"
#include "tools/cvl-host/DriverStatistics.h"
#include "tools/cvl-host/PointCloudGrab.h"

namespace {

double ReadNumber(const std::string& file, const std::string& section, const char* key,
                  double fallback) {
    const std::string text = platform::GetPrivateProfileString(section, key, "", file);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' ? value : fallback;
}

}  // namespace

ViewerStream::ViewerStream(HostSession& session, const std::string& camera, int port,
                           const std::string& settingsFile)
    : session_(session), camera_(camera), port_(port), settingsFile_(settingsFile) {}

ViewerStream::~ViewerStream() {
    Close();
}

void ViewerStream::Open() {
    HostLibrary& driver = session_.Driver();
    std::tie(width_, height_) = OpenPort(session_, camera_, port_);
    open_ = true;
    driver.getProperty(0, port_, "PixelSize", &pixelBits_);
    // The driver read the settings file as the port opened.
    window_.minHeight = ReadNumber(settingsFile_, camera_, "MinHeight", 1.0);
    window_.maxHeight = ReadNumber(settingsFile_, camera_, "MaxHeight", 1000.0);
    session_.SetImageListener([this](int port) { OnImage(port); });
    driver.setProperty(0, port_, "ResetStats", 1);
    // The images and the time count from the first opening on, across the
    // reopenings after the configuration dialog.
    if (!started_) {
        imagesBefore_ = session_.ImagesAnnounced(port_);
        start_ = std::chrono::steady_clock::now();
        started_ = true;
    }
    driver.setProperty(0, port_, "continuous", 1);
}

void ViewerStream::Close() {
    if (!open_) {
        return;
    }
    HostLibrary& driver = session_.Driver();
    // The driver may still announce an image while the port closes, whose
    // points are gone by the time they are read: not an image lost.
    closing_ = true;
    driver.setProperty(0, port_, "continuous", 0);
    // Waits for a callback still running, after which none comes.
    driver.closeCVLPort(0, port_);
    session_.SetImageListener(nullptr);
    closing_ = false;
    open_ = false;
}

bool ViewerStream::Cloud() const {
    return IsPointCloud(pixelBits_);
}

StreamSample ViewerStream::Sample() {
    StreamSample sample;
    if (!open_) {
        return sample;
    }
    sample.driver = ReadStatistics(session_, port_);
    sample.images = session_.ImagesAnnounced(port_) - imagesBefore_;
    sample.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    return sample;
}

long ViewerStream::Unread() const {
    return unread_.load();
}

long ViewerStream::Units() const {
    return units_.load();
}

int ViewerStream::Configure(HWND parent) {
    session_.Driver().setProperty(0, port_, "continuous", 0);
    const int result = session_.Driver().configureCamera(parent, camera_.c_str());
    Close();
    Open();
    return result;
}

void ViewerStream::OnImage(int port) {
    if (port != port_) {
        return;
    }
    ViewerImage& image = slot_.Spare();
    if (Cloud() ? ReadCloud(image) : ReadGrayscale(image)) {
        units_ += image.cloud ? image.width : image.height;
        slot_.Publish();
    } else if (!closing_) {
        ++unread_;
    }
}

bool ViewerStream::ReadCloud(ViewerImage& image) {
    HostLibrary& driver = session_.Driver();
    int points = 0;
    if (driver.getProperty(0, port_, "Width", &points) != 1 || points < 0) {
        return false;
    }
    image.cloud = true;
    image.width = points;
    image.height = 1;
    image.floatsPerPoint = pixelBits_ / 32;
    image.bytes.resize(static_cast<size_t>(points) * static_cast<size_t>(image.floatsPerPoint) *
                       sizeof(float));
    return points == 0 || driver.getCVLGrabRow(0, port_, image.bytes.data(), 0, 0, points - 1) == 1;
}

bool ViewerStream::ReadGrayscale(ViewerImage& image) {
    HostLibrary& driver = session_.Driver();
    image.cloud = false;
    image.width = width_;
    image.height = height_;
    const size_t rowBytes = static_cast<size_t>(width_);
    image.bytes.resize(rowBytes * static_cast<size_t>(height_));
    for (int row = 0; row < height_; ++row) {
        if (driver.getCVLGrabRow(0, port_, image.bytes.data() + rowBytes * static_cast<size_t>(row),
                                 row, 0, width_ - 1) != 1) {
            return false;
        }
    }
    return true;
}
