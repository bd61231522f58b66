#include "image/RectificationFilter.h"

#include <stdexcept>

#include "driver/IconResult.h"
#include "driver/VaveZAZError.h"
#include "icon/IconBuffer.h"
#include "image/ImageBuffer.h"

namespace {

// Method 0: where several points fall into one cell, the highest wins.
constexpr int kTopPointWins = 0;
// The grid spans the calibrated X range of the camera, not of each scan, so
// cell k lies at the same X in every scan; cells no point reached are NaN.
constexpr bool kFixedRange = true;
constexpr bool kEmptyAsNaN = true;

// The calibration stage's output holds every component the camera API could
// calibrate; the filter resamples the first component it is given, so it is
// given only the one that holds the image's points.
icon::DataFormat ImageComponentFormat(const CalibrationFilter& calibration) {
    icon::DataFormat format;
    const icon::Component* component =
        calibration.Output().getDataFormat()->getNamedComponent(calibration.ComponentName());
    if (component != nullptr) {
        format.addComponent(*component);
    }
    return format;
}

}  // namespace

RectificationFilter::RectificationFilter(std::unique_ptr<CalibrationFilter> calibration,
                                         int32_t width)
    : calibrationStage_(std::move(calibration)),
      rectification_(static_cast<unsigned>(width), kTopPointWins, kFixedRange, kEmptyAsNaN) {
    CheckIconResult(rectification_.setInput(ImageComponentFormat(*calibrationStage_),
                                            calibrationStage_->Output().getHeight()),
                    "Set input for calibration filter");
    CheckIconResult(rectification_.prepareResult(outputBuffer_),
                    "Prepare output buffer for calibration filter");
    const icon::Component* component = outputBuffer_.getDataFormat()->getComponent(0);
    if (component == nullptr) {
        throw VaveZAZError("Get Range read pointer from rectification output buffer",
                           icon::IconBuffer::E_COMPONENT_NOT_FOUND);
    }
    CheckIconResult(outputBuffer_.getReadPointer(component->getName(), "Range", rangeValues_),
                    "Get Range read pointer from rectification output buffer");
    CheckIconResult(outputBuffer_.getReadPointer(component->getName(), "X", xValues_),
                    "Get X read pointer from rectification output buffer");
    width_ = ResultWidth(outputBuffer_);
    scans_ = outputBuffer_.getHeight();
}

void RectificationFilter::Extract(const icon::IconBuffer& buffer) {
    calibrationStage_->Extract(buffer);
    CheckIconResult(rectification_.apply(calibrationStage_->Output(), outputBuffer_),
                    "Apply rectification filter");
}

void RectificationFilter::FillGrayscale(ImageBuffer&) {
    throw std::runtime_error("Grayscale image not supported for RectificationFilter");
}

void RectificationFilter::FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) {
    CheckPointImage(image, coordinate, width_, scans_, rows);
    CopyPoints(image, coordinate, rows, rangeValues_, xValues_);
}
