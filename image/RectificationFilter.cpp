#include "image/RectificationFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "base/IconResult.h"
#include "base/VaveZAZError.h"
#include "icon/IconBuffer.h"
#include "image/ImageBuffer.h"

namespace {

// Contrast and intensity, the fourth and fifth float of a point.
constexpr size_t kContrast = 3 * sizeof(float);

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
    xMin_ = component->getXMin();
    xMax_ = component->getXMax();
    cell_ = (xMax_ - xMin_) / width_;
    winners_.resize(static_cast<size_t>(width_));
    carried_.resize(2 * static_cast<size_t>(width_));
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

// The same steps as the camera API takes: the quotient in double, truncated,
// and a point at the far edge in the last cell.
int32_t RectificationFilter::CellOf(float x, float height) const {
    if (!std::isfinite(x) || !std::isfinite(height) || x < xMin_ || x > xMax_) {
        return -1;
    }
    const double quotient = (x - xMin_) / cell_;
    return static_cast<int32_t>(std::min(std::max(quotient, 0.0), width_ - 1.0));
}

// A cell holds the height of the highest point that fell into it, bit for
// bit, so the winner is found by its height; of several points of that
// height any is the cell's point, and the first is taken.
void RectificationFilter::FindWinners(int32_t scan) {
    const CalibrationFilter::Points points = calibrationStage_->Calibrated();
    const size_t first = static_cast<size_t>(scan) * static_cast<size_t>(width_);
    const float* xs = points.xs + first;
    const float* heights = points.heights + first;
    const float* tops = rangeValues_ + first;
    std::fill(winners_.begin(), winners_.end(), -1);
    for (int32_t column = 0; column < width_; ++column) {
        const int32_t cell = CellOf(xs[column], heights[column]);
        if (cell >= 0 && winners_[static_cast<size_t>(cell)] < 0 && heights[column] == tops[cell]) {
            winners_[static_cast<size_t>(cell)] = column;
        }
    }
}

void RectificationFilter::CarryContrastIntensity(ImageBuffer& image, ScanRows rows) {
    CheckPointImage(image, 4, width_, scans_, rows);
    if (calibrationStage_->Calibrated().width != width_) {
        throw std::runtime_error(
            "RectificationFilter: contrast and intensity need one cell per calibrated point");
    }
    const auto width = static_cast<size_t>(width_);
    const auto stride = static_cast<size_t>(image.GetBytesPerPixel());
    constexpr size_t kPair = 2 * sizeof(float);
    const float none[2] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (int32_t scan = rows.first; scan < rows.first + rows.count; ++scan) {
        FindWinners(scan);
        uint8_t* pairs = image.GetData() + static_cast<size_t>(scan) * width * stride + kContrast;
        for (size_t n = 0; n < width; ++n) {
            std::memcpy(&carried_[2 * n], pairs + n * stride, kPair);
        }
        for (size_t k = 0; k < width; ++k) {
            const int32_t winner = winners_[k];
            const float* pair = winner < 0 ? none : &carried_[2 * static_cast<size_t>(winner)];
            std::memcpy(pairs + k * stride, pair, kPair);
        }
    }
}
