#include "tools/cvl-host/PointCloudFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace {

float FloatAt(const PointCloud& cloud, size_t point, size_t coordinate) {
    float value;
    std::memcpy(&value,
                cloud.bytes.data() + (point * cloud.floatsPerPoint + coordinate) * sizeof(float),
                sizeof value);
    return value;
}

}  // namespace

CloudBounds Bounds(const PointCloud& cloud) {
    CloudBounds bounds;
    for (size_t point = 0; point < cloud.points; ++point) {
        for (size_t axis = 0; axis < 3; ++axis) {
            const float value = FloatAt(cloud, point, axis);
            bounds.min[axis] = point == 0 ? value : std::min(bounds.min[axis], value);
            bounds.max[axis] = point == 0 ? value : std::max(bounds.max[axis], value);
        }
    }
    return bounds;
}

std::string Describe(const PointCloud& cloud, const CloudBounds& bounds) {
    char text[256];
    std::snprintf(text, sizeof text, "%zu points, x %.3f .. %.3f, y %.3f .. %.3f, z %.3f .. %.3f",
                  cloud.points, bounds.min[0], bounds.max[0], bounds.min[1], bounds.max[1],
                  bounds.min[2], bounds.max[2]);
    return text;
}

void WritePly(const std::filesystem::path& path, const PointCloud& cloud,
              const std::string& comment) {
    std::ofstream file(path, std::ios::binary);
    file << "ply\nformat binary_little_endian 1.0\ncomment " << comment << "\nelement vertex "
         << cloud.points << "\nproperty float x\nproperty float y\nproperty float z\n";
    if (cloud.floatsPerPoint == 5) {
        file << "property float contrast\nproperty float intensity\n";
    }
    file << "end_header\n";
    // The driver's floats are little-endian already, as the file's are.
    file.write(reinterpret_cast<const char*>(cloud.bytes.data()),
               static_cast<std::streamsize>(cloud.points * cloud.floatsPerPoint * sizeof(float)));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}
