#include "image/PointProcessing.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "image/ImageBuffer.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr size_t kY = sizeof(float);
constexpr size_t kZ = 2 * sizeof(float);

float FloatAt(const uint8_t* at) {
    float value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void StoreFloat(uint8_t* at, float value) {
    std::memcpy(at, &value, sizeof value);
}

// Throws unless `points` points of the image's size fit in its block and
// hold a Z.
size_t CheckedStride(const ImageBuffer& image, size_t points) {
    const auto stride = static_cast<size_t>(image.GetBytesPerPixel());
    if (stride < kZ + sizeof(float) || points > static_cast<size_t>(image.GetByteSize()) / stride) {
        throw std::runtime_error("PointProcessing: the image does not hold the points given");
    }
    return stride;
}

// `fixed` is the point size when it is known at compile time (the two 3D
// formats), else 0 and `anyStride` holds it.
template <size_t fixed>
void Compensate(uint8_t* point, size_t points, size_t anyStride, float cosine, float tangent) {
    const size_t stride = fixed != 0 ? fixed : anyStride;
    for (size_t n = 0; n < points; ++n, point += stride) {
        const float z = FloatAt(point + kZ) * cosine;
        StoreFloat(point + kZ, z);
        const double y = static_cast<double>(FloatAt(point + kY)) +
                         static_cast<double>(z) * static_cast<double>(tangent);
        StoreFloat(point + kY, static_cast<float>(y));
    }
}

// A kept point never overlaps the place it moves to: the front runs behind
// the walk by whole points.
template <size_t fixed>
int32_t Filter(uint8_t* points, size_t count, size_t anyStride, double minHeight,
               double maxHeight) {
    const size_t stride = fixed != 0 ? fixed : anyStride;
    uint8_t* next = points;
    const uint8_t* point = points;
    for (size_t n = 0; n < count; ++n, point += stride) {
        const double z = FloatAt(point + kZ);
        if (minHeight <= z && z <= maxHeight) {
            if (next != point) {
                std::memcpy(next, point, stride);
            }
            next += stride;
        }
    }
    return static_cast<int32_t>(static_cast<size_t>(next - points) / stride);
}

}  // namespace

void CompensateLaserPlane(ImageBuffer& image, size_t points, double angleDegrees) {
    const size_t stride = CheckedStride(image, points);
    const double angle = angleDegrees * kPi / 180.0;
    const auto cosine = static_cast<float>(std::cos(angle));
    const auto tangent = static_cast<float>(std::tan(angle));
    uint8_t* data = image.GetData();
    switch (stride) {
        case 12:
            return Compensate<12>(data, points, stride, cosine, tangent);
        case 20:
            return Compensate<20>(data, points, stride, cosine, tangent);
        default:
            return Compensate<0>(data, points, stride, cosine, tangent);
    }
}

int32_t FilterHeights(ImageBuffer& image, size_t points, double minHeight, double maxHeight) {
    const size_t stride = CheckedStride(image, points);
    uint8_t* data = image.GetData();
    switch (stride) {
        case 12:
            return Filter<12>(data, points, stride, minHeight, maxHeight);
        case 20:
            return Filter<20>(data, points, stride, minHeight, maxHeight);
        default:
            return Filter<0>(data, points, stride, minHeight, maxHeight);
    }
}
