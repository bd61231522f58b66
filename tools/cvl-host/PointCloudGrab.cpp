#include "tools/cvl-host/PointCloudGrab.h"

#include <stdexcept>

namespace {

constexpr int kXyzBits = 96;
constexpr int kXyzciBits = 160;
// In continuous mode the next cloud may replace the last one between reading
// its size and its points; the size is read again after the points.
constexpr int kReadAttempts = 5;

int PointCount(HostLibrary& driver, int port) {
    int points = 0;
    if (driver.getProperty(0, port, "Width", &points) != 1 || points < 0) {
        throw std::runtime_error("cannot read the point count (\"Width\") of port " +
                                 std::to_string(port));
    }
    return points;
}

}  // namespace

bool IsPointCloud(int pixelBits) {
    return pixelBits == kXyzBits || pixelBits == kXyzciBits;
}

PointCloud ReadPointCloud(HostLibrary& driver, int port, int pixelBits) {
    PointCloud cloud;
    cloud.floatsPerPoint = static_cast<size_t>(pixelBits / 32);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        const int points = PointCount(driver, port);
        cloud.points = static_cast<size_t>(points);
        cloud.bytes.assign(cloud.points * cloud.floatsPerPoint * sizeof(float), 0);
        if (points == 0) {
            return cloud;
        }
        if (driver.getCVLGrabRow(0, port, cloud.bytes.data(), 0, 0, points - 1) != 1) {
            throw std::runtime_error("cannot read the points of port " + std::to_string(port));
        }
        if (PointCount(driver, port) == points) {
            return cloud;
        }
    }
    throw std::runtime_error("the point cloud of port " + std::to_string(port) +
                             " changed under every read");
}

std::string PointsNote(const DriverStatistics& statistics) {
    if (statistics.yMeaning.empty() || statistics.calibration.empty()) {
        return "; Y and calibration not known (the driver's statistics do not say)";
    }
    return "; Y: " + statistics.yMeaning + "; calibration: " + statistics.calibration;
}

void SavePointCloud(HostLibrary& driver, const std::string& camera, int port, int pixelBits,
                    const std::filesystem::path& path, const std::string& note, std::ostream& out) {
    const PointCloud cloud = ReadPointCloud(driver, port, pixelBits);
    WritePly(path, cloud, "cvl-host: " + camera + ", port " + std::to_string(port));
    out << "wrote " << path.string() << ": " << Describe(cloud, Bounds(cloud)) << note << "\n";
}
