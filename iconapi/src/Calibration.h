#pragma once

#include <array>
#include <memory>
#include <string>

#include "icon/Simulation.h"

namespace icon::detail {

// A sensor calibration: how sensor positions map back to the laser plane.
struct Calibration {
    int columns = 0;
    int rows = 0;
    // Laser plane (x, z, 1) to sensor (column, row, 1), and its inverse.
    std::array<double, 9> toSensor{};
    std::array<double, 9> toPlane{};
    double xMin = 0.0;
    double xMax = 0.0;
};

// Null for a text that is not a complete, intact calibration.
std::shared_ptr<const Calibration> parseCalibration(const std::string& text);

// What the device's flash holds as user data.
std::string flashUserData(const sim::DeviceConfig& device);

std::array<double, 9> invert(const std::array<double, 9>& m);

// Row positions in the 16-bit "Range" subcomponent are kept in 1/16 rows.
constexpr double kRangeSubpixels = 16.0;

}  // namespace icon::detail
