#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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
    // Cell k of a scan takes the contrast and intensity of the calibrated
    // point that won it, not of sensor column k; an empty cell takes NaN.
    void CarryContrastIntensity(ImageBuffer& image, ScanRows rows) override;

  private:
    // The cell of a calibrated point by the camera API's combination method
    // 0; -1 for a point that falls into none.
    int32_t CellOf(float x, float height) const;
    // winners_[k] = the column of the first point of `scan` whose height is
    // that of cell k and which lies in it, or -1.
    void FindWinners(int32_t scan);

    std::unique_ptr<CalibrationFilter> calibrationStage_;
    icon::RectificationFilter rectification_;
    const float* rangeValues_ = nullptr;
    const float* xValues_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
    // The grid: the calibrated X range in `width_` cells.
    double xMin_ = 0.0;
    double xMax_ = 0.0;
    double cell_ = 0.0;
    // One scan's worth, kept so that no image allocates per buffer.
    std::vector<int32_t> winners_;
    std::vector<float> carried_;
};
