#include "image/CalibrationFilter.h"

#include <boost/format.hpp>
#include <stdexcept>

#include "base/IconResult.h"
#include "base/VaveZAZError.h"
#include "icon/Camera.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

namespace {

int32_t PlaneWidth(const icon::IconBuffer& buffer, const std::string& component,
                   const std::string& subComponent) {
    const icon::Component* found = buffer.getDataFormat()->getNamedComponent(component);
    const icon::SubComponent* sub =
        found == nullptr ? nullptr : found->getNamedSubComponent(subComponent);
    return sub == nullptr ? -1 : sub->getWidth();
}

}  // namespace

CalibrationFilter::CalibrationFilter(const icon::DataFormat& format, const ImageSource& source,
                                     int32_t scans, const std::string& calibrationData)
    : calibration_(""), componentName_(source.componentName), scans_(scans) {
    CheckIconResult(calibration_.initFromData(calibrationData, format, scans),
                    "Init calibration filter from flash user data");
    CheckIconResult(calibration_.prepareResult(outputBuffer_),
                    "Prepare output buffer for calibration filter");
    const std::string range = (boost::format("%s R") % source.subComponentName).str();
    const std::string x = (boost::format("%s X") % source.subComponentName).str();
    CheckIconResult(outputBuffer_.getReadPointer(componentName_, range, rangeValues_),
                    "Get Range read pointer from calibration output buffer");
    CheckIconResult(outputBuffer_.getReadPointer(componentName_, x, xValues_),
                    "Get X read pointer from calibration output buffer");
    // Calibration made for another sensor would give points that belong to
    // no column of the image; such data counts as the camera's user data
    // being wrong.
    width_ = source.FindSubComponent(format).getWidth();
    if (PlaneWidth(outputBuffer_, componentName_, range) != width_ ||
        PlaneWidth(outputBuffer_, componentName_, x) != width_ ||
        outputBuffer_.getHeight() != scans) {
        throw VaveZAZError("Match calibration to the image width",
                           icon::Camera::E_CAMERA_USER_DATA_ERROR);
    }
}

void CalibrationFilter::Extract(const icon::IconBuffer& buffer) {
    CheckIconResult(calibration_.apply(buffer, outputBuffer_), "Apply calibration filter");
}

void CalibrationFilter::FillGrayscale(ImageBuffer&) {
    throw std::runtime_error("Grayscale image not supported for calibrated image buffer");
}

void CalibrationFilter::FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) {
    CheckPointImage(image, coordinate, width_, scans_, rows);
    CopyPoints(image, coordinate, rows, rangeValues_, xValues_);
}
