#pragma once

#include <memory>

#include "image/ExtractionHelper.h"
#include "image/ImageAdapter.h"

// An 8-bit image with one row per scan of the delivered buffer, built on the
// thread that delivers the buffer.
class ImageAdapterGrayscale : public ImageAdapter {
  public:
    ImageAdapterGrayscale(int32_t port, const std::string& imageName, const CameraState& camera,
                          const CameraParameters& parameters, const ImageSource& source);
    ~ImageAdapterGrayscale() override;

    int32_t GetBitsPerPixel() const override { return 8; }
    void ProcessBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) override;
    // The image is allocated once, with the adapter, so a row needs no hold.
    ImageRow RowWithoutHold(int32_t row) const override;

  private:
    std::unique_ptr<ExtractionHelper> helper_;
};
