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
// waits in the camera's hand-off until each is released; the adapter's
// processing thread builds each cloud into the image the host does not read
// and releases the buffer at once; its announcing thread makes the newest
// cloud the one the host reads and calls the host back, so a slow host holds
// up neither the camera nor its other ports. Host threads read rows and
// sizes, and destroy the adapter. Neither thread takes a camera lock; an
// entry point called from the host's callback must not close this camera or
// finalize the driver (both are refused: the threads carry a HandOffMark).
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
    // camera unprocessed. Must not run on either of the adapter's threads.
    ~ImageAdapter3D() override;
    // Stops both threads as the destructor does, keeping the queue; buffers
    // queued after it wait for the destructor. Idempotent.
    void FinishAnnouncing() override;

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

  private:
    void CreateHelpers(const ImageSource& image);
    std::unique_ptr<ExtractionHelper> CreateCalibratedHelper(const ImageSource& image);
    void Start();
    // The two threads' bodies.
    void Process();
    void Announce();
    // Waits for the next buffer; null once a stop is requested.
    boost::shared_ptr<const icon::IconBuffer> NextBuffer();
    void ProcessOneBuffer(boost::shared_ptr<const icon::IconBuffer> buffer);
    void BeginBuilding();
    void CloudBuilt(int32_t points);
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

    // Guards the state of the back image below; never held while a cloud is
    // built or the host is called.
    DriverMutex cloudMutex_;
    // Signalled when a cloud is built, when an announcement has changed the
    // images, and when the announcing thread is to stop.
    std::condition_variable_any cloudChanged_;
    int32_t backWidth_ = 0;
    // The processing thread writes the back image.
    bool building_ = false;
    // The back image holds a cloud not yet announced.
    bool cloudReady_ = false;
    // The announcing thread has taken the cloud and not yet made it readable.
    bool announcing_ = false;
    bool stopAnnouncing_ = false;

    // Started last, when everything they use exists; joined by the
    // destructor, the processing thread first.
    std::thread announcer_;
    std::thread thread_;
};
