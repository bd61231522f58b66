#pragma once

#include <boost/shared_ptr.hpp>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "image/ExtractionHelper.h"
#include "image/ImageAdapter.h"

// A point cloud per delivered buffer: floats X, Y, Z ("3D (XYZ)", 96 bits per
// point) or X, Y, Z, contrast, intensity ("3D (XYZCI)", 160 bits), the points
// whose height lies in the height window, one after another in row 0.
//
// Threads: the frame grabber's thread queues buffers (ProcessBuffer) and
// waits in the camera's hand-off until each is released; the adapter's own
// processing thread builds the clouds, calls the host back and releases the
// buffers; host threads read rows and sizes, and destroy the adapter. The
// processing thread takes no camera lock; the host's completion callback runs
// on it, so an entry point called from there must not close this camera or
// finalize the driver (both are refused: the thread carries a HandOffMark).
class ImageAdapter3D : public ImageAdapter {
  public:
    // "3D (XYZ)".
    ImageAdapter3D(int32_t port, const std::string& imageName, const CameraState& camera,
                   const CameraParameters& parameters, const ImageSource& image);
    // "3D (XYZCI)": contrast and intensity come from their own sources.
    ImageAdapter3D(int32_t port, const std::string& imageName, const CameraState& camera,
                   const CameraParameters& parameters, const ImageSource& image,
                   const ImageSource& contrast, const ImageSource& intensity);
    // Stops the processing thread (a buffer it is working on is finished and
    // announced first), then gives every buffer still queued back to the
    // camera unprocessed. Must not run on the processing thread.
    ~ImageAdapter3D() override;

    int32_t GetBitsPerPixel() const override { return pointBits_; }
    // Queues the buffer for the processing thread and returns at once.
    void ProcessBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) override;
    // Row 0 holds the kept points of the last cloud announced; the next one is
    // built in the other image.
    ImageRow GetRow(int32_t row) override;
    // What Y measures ("Y:") and whether the points are calibrated
    // ("Calibration:"; "FAILED" and the reason when the camera could not give
    // a calibration and the points are sensor positions).
    std::string ImageFacts() const override;

    // The processing thread's body.
    void operator()();

  private:
    void CreateHelpers(const ImageSource& image);
    std::unique_ptr<ExtractionHelper> CreateCalibratedHelper(const ImageSource& image);
    void Start();
    // Waits for the next buffer; null once a stop is requested.
    boost::shared_ptr<const icon::IconBuffer> NextBuffer();
    void ProcessOneBuffer(const icon::IconBuffer& buffer);
    // Fills every coordinate of the back image, compensates and filters: the
    // image's new points.
    int32_t BuildPoints();
    void ShowBackImage() override;

    const int32_t pointBits_;
    const bool withContrastIntensity_;
    const ImageSource contrastSource_;
    const ImageSource intensitySource_;
    std::unique_ptr<ExtractionHelper> mainHelper_;
    std::unique_ptr<ExtractionHelper> contrastHelper_;
    std::unique_ptr<ExtractionHelper> intensityHelper_;
    std::unique_ptr<ExtractionHelper> yHelper_;
    // What the statistics say of the points, set when the helpers are made.
    std::string yMeaning_;
    std::string calibration_;
    // The image settings the adapter was built with.
    bool laserCompensation_ = false;
    double laserPlaneAngle_ = 0.0;
    double minHeight_ = 0.0;
    double maxHeight_ = 0.0;

    // Points of the back image. Processing thread only.
    int32_t backWidth_ = 0;
    // Held exclusively while the images change places and the width with
    // them, shared by a host thread while it copies a row.
    DriverSharedMutex imageLock_;

    // Guards `queue_` and `stopRequested_`; never held while a buffer is
    // processed, so queueing never waits for processing.
    DriverMutex queueMutex_;
    // Signalled when a buffer is queued and when a stop is requested.
    std::condition_variable_any queueNotEmpty_;
    // Buffers waiting, oldest first. Written by the frame grabber's thread
    // (back) and the processing thread (front).
    std::deque<boost::shared_ptr<const icon::IconBuffer>> queue_;
    // Set once by the destroying host thread, read by the processing thread.
    bool stopRequested_ = false;
    // Started last, when everything it uses exists; joined by the destructor.
    std::thread thread_;
};
