#pragma once

#include <cstdint>

#include "icon/ExtractionFilter.h"
#include "image/ExtractionHelper.h"

// Gives every point of a scan the encoder count of the scan's mark record,
// divided by `divisor`; relative to the buffer's first scan when `relative`.
class ExtractionHelperScanMarks : public ExtractionHelper {
  public:
    // A divisor of exactly 0 counts as 1.
    ExtractionHelperScanMarks(const icon::DataFormat& format, const ImageSource& source,
                              int32_t scans, float divisor, bool relative);

    void Extract(const icon::IconBuffer& buffer) override;
    // Throws: scan positions make no grayscale image.
    void FillGrayscale(ImageBuffer& image) override;
    // Writes only `coordinate`.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

    // Overtriggers the camera counted over the scans of the last buffer.
    int32_t OvertrigCount() const;

  private:
    icon::ExtractionFilter filter_;
    const uint32_t* marks_ = nullptr;
    int32_t scanCount_;
    int32_t wordsPerScan_ = 0;
    float divisor_;
    bool relative_;
};
