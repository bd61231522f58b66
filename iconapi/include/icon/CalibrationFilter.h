#pragma once

#include <memory>
#include <string>

#include "icon/Filter.h"

namespace icon {

namespace detail {
struct Calibration;
}

// Turns sensor positions (column, row) into millimetres in the laser plane,
// by the calibration the camera keeps in its flash. Every "COG" component
// and every "RANGE" component with a "Range" subcomponent of the input gives
// one "FLOAT" component of the same name with the subcomponents "Range X" and
// "Range R" (X across the belt and height, in millimetres; NaN where the
// laser was not seen).
class CalibrationFilter : public Filter {
  public:
    explicit CalibrationFilter(const std::string& name);
    ~CalibrationFilter() override;

    // Reads the calibration text (flash user data) and sets the input.
    // E_CAMERA_USER_DATA_ERROR (17) for missing or corrupt data or data made
    // for another sensor width; IconBuffer codes for an input without
    // anything to calibrate.
    int initFromData(const std::string& data, const DataFormat& format, int scans);

    // Needs a calibration from `initFromData` first.
    int setInput(const DataFormat& format, int scans) override;
    int prepareResult(IconBuffer& result) override;
    int apply(const IconBuffer& input, IconBuffer& output) override;

    const std::string& getName() const { return name_; }

  private:
    struct Source;

    std::string name_;
    std::shared_ptr<const detail::Calibration> calibration_;
    std::unique_ptr<Source> source_;
};

}  // namespace icon
