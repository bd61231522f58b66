#pragma once

#include <atomic>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "config/CameraParameters.h"
#include "driver/CvlDriver.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"
#include "platform/AtomicCounter.h"

struct CameraState;

namespace icon {
class IconBuffer;
}

// Turns the scan buffers a camera delivers into one host image on one port and
// tells the host when the image is ready.
class ImageAdapter {
  public:
    virtual ~ImageAdapter();

    ImageAdapter(const ImageAdapter&) = delete;
    ImageAdapter& operator=(const ImageAdapter&) = delete;

    virtual int32_t GetHeight() const { return height_; }
    virtual int32_t GetWidth() const { return width_; }
    virtual int32_t GetBitsPerPixel() const = 0;
    // Builds the image from one delivered buffer and calls the host back. The
    // reference is dropped when processing ends, also when it fails.
    virtual void ProcessBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) = 0;
    virtual ImageBuffer& GetImageBuffer() { return *imageBuffer_; }

    // Calls the host's completion callback for this port; logs instead when
    // the host has set none.
    void NotifyCorvaneImageComplete();

    void SetCompleteCallback(CompleteCallback callback) { completeCallback_ = callback; }
    int32_t GetPort() const { return port_; }
    const std::string& GetImageName() const { return imageName_; }
    CameraParameters& GetParameters() { return parameters_; }
    const ImageSource& GetSource() const { return source_; }

    // Statistics: images announced to the host, overtriggers seen.
    platform::AtomicCounter& CompletedCount() { return completedCount_; }
    platform::AtomicCounter& OvertrigCount() { return overtrigCount_; }

  protected:
    ImageAdapter(int32_t port, const std::string& imageName, const CameraState& camera,
                 const CameraParameters& parameters, const ImageSource& source);

    int32_t port_;
    std::string imageName_;
    CameraParameters parameters_;
    ImageSource source_;
    const CameraState& camera_;
    int32_t height_ = 0;
    int32_t width_ = 0;
    std::unique_ptr<ImageBuffer> imageBuffer_;

  private:
    // Set by the host's thread, read by the thread that finishes an image.
    std::atomic<CompleteCallback> completeCallback_{nullptr};
    platform::AtomicCounter completedCount_;
    platform::AtomicCounter overtrigCount_;
};
