#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// One point cloud as a 3D port hands it out: packed little-endian floats X, Y,
// Z, and for "3D (XYZCI)" contrast and intensity, point after point.
struct PointCloud {
    size_t points = 0;
    size_t floatsPerPoint = 3;  // 3 or 5
    std::vector<unsigned char> bytes;
};

// The smallest and largest X, Y and Z of a cloud's points; all 0 for an empty
// cloud.
struct CloudBounds {
    std::array<float, 3> min{};
    std::array<float, 3> max{};
};

CloudBounds Bounds(const PointCloud& cloud);

// "N points, x a .. b, y c .. d, z e .. f", millimetres to three places.
std::string Describe(const PointCloud& cloud, const CloudBounds& bounds);

// Writes the cloud as a binary little-endian PLY file: a vertex element with
// float properties x, y, z (and contrast, intensity). Throws on failure.
void WritePly(const std::filesystem::path& path, const PointCloud& cloud,
              const std::string& comment);
