#pragma once

#include <cstdint>
#include <string>

#include "icon/CalibrationFilter.h"
#include "image/ExtractionHelper.h"

// Turns the sensor positions of one range image into millimetres in the laser
// plane, by the calibration the camera keeps in its flash: X across the belt
// and Z the height of every point, NaN where the laser was not seen. The main
// helper of a calibrated 3D adapter, or the first stage of a rectified one.
// Bound to the thread that runs its adapter's work.
class CalibrationFilter : public ExtractionHelper {
  public:
    // `calibrationData` is the camera's flash user data. Every step that the
    // camera API refuses, and calibration that does not fit the source's
    // width, throws VaveZAZError.
    CalibrationFilter(const icon::DataFormat& format, const ImageSource& source, int32_t scans,
                      const std::string& calibrationData);

    void Extract(const icon::IconBuffer& buffer) override;
    // Throws: calibrated heights make no grayscale image.
    void FillGrayscale(ImageBuffer& image) override;
    // The calibrated height goes to `coordinate` bit for bit; Z also brings
    // the calibrated X.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

    // The calibrated points of the last buffer; the rectification stage reads
    // them from here.
    const icon::IconBuffer& Output() const { return outputBuffer_; }
    // The component of the output that holds the source's points.
    const std::string& ComponentName() const { return componentName_; }
    // The calibrated X and height of every point of the last buffer, `width`
    // per scan; what the rectification stage resamples.
    struct Points {
        const float* xs;
        const float* heights;
        int32_t width;
    };
    Points Calibrated() const { return {xValues_, rangeValues_, width_}; }

  private:
    icon::CalibrationFilter calibration_;
    std::string componentName_;
    const float* rangeValues_ = nullptr;
    const float* xValues_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
};
