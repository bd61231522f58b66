#pragma once

#include <cstdint>

#include "image/ExtractionHelper.h"

// Gives every point of a scan the scan's index in the buffer divided by the
// encoder resolution, for cameras without mark records.
class ExtractionHelperScanCount : public ExtractionHelper {
  public:
    // A resolution of exactly 0 counts as 1. The format and the source are
    // not read: the scan index needs no filter.
    ExtractionHelperScanCount(const icon::DataFormat& format, const ImageSource& source,
                              int32_t scans, float pulsesPerUnit);

    void Extract(const icon::IconBuffer& buffer) override;
    // Throws: scan positions make no grayscale image.
    void FillGrayscale(ImageBuffer& image) override;
    // Writes only `coordinate`.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

  private:
    float pulsesPerUnit_;
    int32_t scans_;
};
