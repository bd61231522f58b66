#pragma once

#include <mutex>
#include <vector>

// One image as the viewer keeps it: the rows of a grayscale image, or the
// packed floats of a point cloud.
struct ViewerImage {
    bool cloud = false;
    int width = 0;   // grayscale: columns; cloud: points
    int height = 0;  // grayscale: rows; cloud: 1
    int floatsPerPoint = 3;
    std::vector<unsigned char> bytes;
};

// Hands the newest image from the driver's thread to the drawing thread
// without either waiting for the other: the driver's side fills a spare
// image and swaps it in; the drawing side swaps out the newest when it is
// ready to draw. An image replaced before it was taken was skipped.
// Thread-safe.
class FrameSlot {
  public:
    // The driver's side: the image to fill, kept between calls so its
    // buffer is reused. Only the one thread that calls Publish may use it.
    ViewerImage& Spare() { return spare_; }
    // Makes the spare the newest image.
    void Publish();

    // The drawing side: swaps the newest image into `image`; false when none
    // came since the last take.
    bool Take(ViewerImage& image);

    long Published() const;
    long Skipped() const;

  private:
    ViewerImage spare_;
    mutable std::mutex mutex_;
    // Guarded by mutex_.
    ViewerImage newest_;
    bool fresh_ = false;
    long published_ = 0;
    long skipped_ = 0;
};
