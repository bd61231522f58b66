#include "Calibration.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace icon::detail {
namespace {

const char kHeader[] = "ICONSIM CALIBRATION 1";

uint32_t checksum(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

void toPlane(const std::array<double, 9>& inv, double column, double row, double& x, double& z) {
    const double w = inv[6] * column + inv[7] * row + inv[8];
    x = (inv[0] * column + inv[1] * row + inv[2]) / w;
    z = (inv[3] * column + inv[4] * row + inv[5]) / w;
}

// The nearest float at or below `value`, or with `up` at or above it; a
// value beyond the floats stays as it is.
double floatBound(double value, bool up) {
    if (!(std::abs(value) < std::numeric_limits<float>::max())) {
        return value;
    }
    const auto nearest = static_cast<float>(value);
    if (up ? nearest >= value : nearest <= value) {
        return nearest;
    }
    return std::nextafter(nearest, up ? INFINITY : -INFINITY);
}

// The X range the sensor sees over all its rows. The calibrated points carry
// X as floats, and a corner's X rounds to the float nearest to it, which may
// lie past the exact range: the range is widened to the floats around it, so
// that a surface reaching the corner still falls into the grid's last cell.
void xRange(Calibration& c) {
    c.xMin = INFINITY;
    c.xMax = -INFINITY;
    for (double column : {0.0, c.columns - 1.0}) {
        for (double row : {0.0, c.rows - 1.0}) {
            double x = 0.0;
            double z = 0.0;
            toPlane(c.toPlane, column, row, x, z);
            c.xMin = std::min(c.xMin, x);
            c.xMax = std::max(c.xMax, x);
        }
    }
    c.xMin = floatBound(c.xMin, false);
    c.xMax = floatBound(c.xMax, true);
}

std::string body(const sim::SensorGeometry& sensor) {
    std::ostringstream out;
    out.precision(17);
    out << kHeader << "\nsensor " << sensor.columns << ' ' << sensor.rows << "\nhomography";
    for (double h : sensor.homography) {
        out << ' ' << h;
    }
    out << '\n';
    return out.str();
}

bool parseBody(std::istringstream& in, Calibration& c) {
    std::string line;
    std::string word;
    if (!std::getline(in, line) || line != kHeader) {
        return false;
    }
    if (!(in >> word >> c.columns >> c.rows) || word != "sensor" || c.columns <= 0 || c.rows <= 1) {
        return false;
    }
    if (!(in >> word) || word != "homography") {
        return false;
    }
    for (double& h : c.toSensor) {
        if (!(in >> h) || !std::isfinite(h)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::array<double, 9> invert(const std::array<double, 9>& m) {
    const double a = m[4] * m[8] - m[5] * m[7];
    const double b = m[5] * m[6] - m[3] * m[8];
    const double c = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * a + m[1] * b + m[2] * c;
    const double k = 1.0 / det;
    return {a * k, (m[2] * m[7] - m[1] * m[8]) * k, (m[1] * m[5] - m[2] * m[4]) * k,
            b * k, (m[0] * m[8] - m[2] * m[6]) * k, (m[2] * m[3] - m[0] * m[5]) * k,
            c * k, (m[1] * m[6] - m[0] * m[7]) * k, (m[0] * m[4] - m[1] * m[3]) * k};
}

std::shared_ptr<const Calibration> parseCalibration(const std::string& text) {
    const size_t mark = text.rfind("checksum ");
    if (mark == std::string::npos) {
        return nullptr;
    }
    unsigned int expected = 0;
    char tail = 0;
    if (std::sscanf(text.c_str() + mark, "checksum %8x%c", &expected, &tail) != 2 || tail != '\n' ||
        checksum(text.substr(0, mark)) != expected) {
        return nullptr;
    }
    auto c = std::make_shared<Calibration>();
    std::istringstream in(text.substr(0, mark));
    if (!parseBody(in, *c)) {
        return nullptr;
    }
    c->toPlane = invert(c->toSensor);
    if (!std::isfinite(c->toPlane[0]) || !std::isfinite(c->toPlane[8])) {
        return nullptr;
    }
    xRange(*c);
    // Sensor corners that map to infinity leave no X range to rectify onto.
    if (!std::isfinite(c->xMin) || !std::isfinite(c->xMax)) {
        return nullptr;
    }
    return c;
}

std::string flashUserData(const sim::DeviceConfig& device) {
    switch (device.calibration) {
        case sim::DeviceConfig::CALIBRATION_NONE:
            return std::string();
        case sim::DeviceConfig::CALIBRATION_CORRUPT: {
            // A flipped bit in the stored homography, with a zero byte after
            // it, as a damaged flash page would give.
            std::string text = sim::calibrationText(device.sensor);
            const size_t at = text.find("homography") + 11;
            text[at] = static_cast<char>(text[at] ^ 0x01);
            text.insert(at + 1, 1, '\0');
            return text;
        }
        case sim::DeviceConfig::CALIBRATION_VALID:
            break;
    }
    return sim::calibrationText(device.sensor);
}

}  // namespace icon::detail

namespace icon::sim {

std::string calibrationText(const SensorGeometry& sensor) {
    const std::string text = detail::body(sensor);
    char sum[32];
    std::snprintf(sum, sizeof sum, "checksum %08x\n", detail::checksum(text));
    return text + sum;
}

}  // namespace icon::sim
