#pragma once

#include <atomic>
#include <boost/shared_ptr.hpp>
#include <boost/thread/locks.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/DriverLock.h"
#include "config/CameraParameters.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"
#include "platform/AtomicCounter.h"
#include "vavezaz/CvlDriver.h"

struct CameraState;
class ExtractionHelper;

namespace icon {
class IconBuffer;
}

// One row of an adapter's image as the host copies it: its first byte and the
// bytes the image holds from there on. An image rewritten on a thread of its
// own comes with a hold that keeps it as it is until the copy is done. A row
// that cannot be given comes with the reason, which the reader logs after it
// has let go of every hold.
struct ImageRow {
    const uint8_t* data = nullptr;  // null when the image has no such row
    size_t bytes = 0;
    boost::shared_lock<DriverSharedMutex> hold;
    std::string problem;
};

// Turns the scan buffers a camera delivers into one host image on one port and
// tells the host when the image is ready.
// Thread-safe as the camera uses it: buffers are processed on the grabber's thread (or the
// adapter's own), rows, sizes and the callback are read by host threads while the registry holds
// the adapter.
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
    // The image the host reads: the one it was last told about.
    virtual ImageBuffer& GetImageBuffer() { return *images_[front_.load()]; }
    // Row `row` of the image for the host's copy, on the host's thread. An
    // unknown row is answered with null data and the reason.
    virtual ImageRow GetRow(int32_t row);
    // Row `row` when the image can be read with no hold and nothing needs
    // logging; else null data, and the caller takes GetRow under the locks.
    // Never waits and never calls the host (see RowReadGate).
    virtual ImageRow RowWithoutHold(int32_t row) const;

    // Makes the image just built the one the host reads, then calls the
    // host's completion callback for this port; logs instead when the host
    // has set none.
    void NotifyCorvaneImageComplete();

    void SetCompleteCallback(CompleteCallback callback) { completeCallback_ = callback; }
    int32_t GetPort() const { return port_; }
    const std::string& GetImageName() const { return imageName_; }
    CameraParameters& GetParameters() { return parameters_; }
    const ImageSource& GetSource() const { return source_; }

    // Statistics: images announced to the host, overtriggers seen.
    platform::AtomicCounter& CompletedCount() { return completedCount_; }
    platform::AtomicCounter& OvertrigCount() { return overtrigCount_; }
    // Lines the statistics add for this port's image, "Name:\tvalue\n" each;
    // fixed when the adapter is built. None for a grayscale image.
    virtual std::string ImageFacts() const { return std::string(); }
    // Lets an adapter that announces on a thread of its own finish the image
    // it is building and the callback it is in, and stop, while it is still
    // in its camera's registry: a callback under way when the port is closed
    // still reads its port. Nothing to wait for where the images are built
    // on the grabber's thread.
    virtual void FinishAnnouncing() {}

  protected:
    ImageAdapter(int32_t port, const std::string& imageName, const CameraState& camera,
                 const CameraParameters& parameters, const ImageSource& source);

    // Makes the two images, zeroed: a port shows nothing before its first.
    void CreateImages(int32_t bitsPerPixel, int32_t width, uint32_t rows);
    // The image the next buffer is written into. The host reads the other one,
    // so nothing it has been told about is written before it is told about a
    // newer image. Only the thread that finishes images uses it.
    ImageBuffer& BackImage() { return *images_[1 - front_.load()]; }
    const ImageBuffer& FrontImage() const { return *images_[front_.load()]; }
    // Turns the back image into the one the host reads, just before the host
    // is told about it.
    virtual void ShowBackImage();

    // Adds the overtriggers that a scan-marks helper counted in the last
    // buffer to the statistics, with a warning; other helpers count none.
    void CountOvertrigs(const ExtractionHelper& yHelper);

    int32_t port_;
    std::string imageName_;
    CameraParameters parameters_;
    ImageSource source_;
    const CameraState& camera_;
    int32_t height_ = 0;
    // Fixed at construction, except for a 3D image: written by its processing
    // thread for every image, read by the host's threads.
    std::atomic<int32_t> width_{0};

  private:
    std::unique_ptr<ImageBuffer> images_[2];
    // Which image the host reads. Written by the thread that finishes images,
    // read by the host's threads.
    std::atomic<int> front_{0};
    // Set by the host's thread, read by the thread that finishes an image.
    std::atomic<CompleteCallback> completeCallback_{nullptr};
    platform::AtomicCounter completedCount_;
    platform::AtomicCounter overtrigCount_;
};
