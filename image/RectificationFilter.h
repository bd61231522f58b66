#pragma once

#include <cstdint>
#include <memory>

#include "icon/RectificationFilter.h"
#include "image/CalibrationFilter.h"
#include "image/ExtractionHelper.h"

// Calibrates, then resamples the calibrated points of every scan onto a
// regular grid of X positions, one cell per image column. Bound to the thread
// that runs its adapter's work.
class RectificationFilter : public ExtractionHelper {
  public:
    // Takes over the calibration stage; `width` cells per scan. Every step
    // that the camera API refuses throws VaveZAZError.
    RectificationFilter(std::unique_ptr<CalibrationFilter> calibration, int32_t width);

    // Calibrates ("Apply calibration filter"), then rectifies ("Apply
    // rectification filter").
    void Extract(const icon::IconBuffer& buffer) override;
    // Throws: rectified heights make no grayscale image.
    void FillGrayscale(ImageBuffer& image) override;
    // The rectified height goes to `coordinate` bit for bit; Z also brings
    // the cell's X.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

  private:
    std::unique_ptr<CalibrationFilter> calibrationStage_;
    icon::RectificationFilter rectification_;
    const float* rangeValues_ = nullptr;
    const float* xValues_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
};
