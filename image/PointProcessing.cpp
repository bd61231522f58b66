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

// How a tilted laser plane is undone: Z times the cosine, Y on by the new Z
// times the tangent, each rounded to float once.
struct LaserPlane {
    float cosine = 1.0f;
    float tangent = 0.0f;

    void Undo(uint8_t* point) const {
        const float z = FloatAt(point + kZ) * cosine;
        StoreFloat(point + kZ, z);
        const double y = static_cast<double>(FloatAt(point + kY)) +
                         static_cast<double>(z) * static_cast<double>(tangent);
        StoreFloat(point + kY, static_cast<float>(y));
    }
};

// One pass: each point is compensated in place (when asked), then kept or
// not by its new Z. A kept point never overlaps the place it moves to: the
// front runs behind the walk by whole points. `fixed` is the point size when
// it is known at compile time (the two 3D formats), else 0 and `anyStride`
// holds it.
template <size_t fixed, bool compensate>
int32_t Filter(uint8_t* points, size_t count, size_t anyStride, const LaserPlane& plane,
               double minHeight, double maxHeight) {
    const size_t stride = fixed != 0 ? fixed : anyStride;
    uint8_t* next = points;
    uint8_t* point = points;
    for (size_t n = 0; n < count; ++n, point += stride) {
        if constexpr (compensate) {
            plane.Undo(point);
        }
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

template <bool compensate>
int32_t FilterAnyStride(ImageBuffer& image, size_t points, const LaserPlane& plane,
                        double minHeight, double maxHeight) {
    const size_t stride = CheckedStride(image, points);
    uint8_t* data = image.GetData();
    switch (stride) {
        case 12:
            return Filter<12, compensate>(data, points, stride, plane, minHeight, maxHeight);
        case 20:
            return Filter<20, compensate>(data, points, stride, plane, minHeight, maxHeight);
        default:
            return Filter<0, compensate>(data, points, stride, plane, minHeight, maxHeight);
    }
}

}  // namespace

int32_t CompensateAndFilterHeights(ImageBuffer& image, size_t points, double angleDegrees,
                                   double minHeight, double maxHeight) {
    const double angle = angleDegrees * kPi / 180.0;
    const LaserPlane plane{static_cast<float>(std::cos(angle)),
                           static_cast<float>(std::tan(angle))};
    return FilterAnyStride<true>(image, points, plane, minHeight, maxHeight);
}

int32_t FilterHeights(ImageBuffer& image, size_t points, double minHeight, double maxHeight) {
    return FilterAnyStride<false>(image, points, LaserPlane(), minHeight, maxHeight);
}
