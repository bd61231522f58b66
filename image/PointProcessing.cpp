#include "image/PointProcessing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "image/ExtractionHelper.h"
#include "image/ImageBuffer.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr size_t kY = sizeof(float);
constexpr size_t kZ = 2 * sizeof(float);
// Contrast and intensity, after Z.
constexpr size_t kRest = 3 * sizeof(float);
// Scans of points built at a time: 16 scans of 1536 XYZCI points are 480 KB,
// well within a core's L2 cache.
constexpr int32_t kScansPerPass = 16;

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

    void Undo(float& y, float& z) const {
        z *= cosine;
        y = static_cast<float>(static_cast<double>(y) +
                               static_cast<double>(z) * static_cast<double>(tangent));
    }
};

// One pass: each point is compensated in place (when asked), then kept or
// not by its new Z.

// The two 3D point sizes: each point is read once into registers and
// written whole to where it goes, the front when kept, else back in place.
// No branch: a mask picks the place, as kept runs of any length would make a
// branch hard to predict.
template <size_t stride, bool compensate>
size_t FilterFixed(uint8_t* points, size_t kept, size_t first, size_t count,
                   const LaserPlane& plane, double minHeight, double maxHeight) {
    for (size_t n = first; n < first + count; ++n) {
        uint8_t* point = points + n * stride;
        uint32_t x;
        std::memcpy(&x, point, sizeof x);
        float y = FloatAt(point + kY);
        float z = FloatAt(point + kZ);
        // Contrast and intensity of an XYZCI point, moved as they are.
        std::array<uint8_t, stride - kRest> rest;
        if constexpr (stride > kRest) {
            std::memcpy(rest.data(), point + kRest, rest.size());
        }
        if constexpr (compensate) {
            plane.Undo(y, z);
            StoreFloat(point + kY, y);
            StoreFloat(point + kZ, z);
        }
        const double height = z;
        const size_t keep = static_cast<size_t>((minHeight <= height) & (height <= maxHeight));
        uint8_t* to = points + (n + ((kept - n) & (0 - keep))) * stride;
        std::memcpy(to, &x, sizeof x);
        StoreFloat(to + kY, y);
        StoreFloat(to + kZ, z);
        if constexpr (stride > kRest) {
            std::memcpy(to + kRest, rest.data(), rest.size());
        }
        kept += keep;
    }
    return kept;
}

// Any other point size, point by point in place. A kept point never overlaps
// the place it moves to: the front runs behind the walk by whole points.
template <bool compensate>
size_t FilterAny(uint8_t* points, size_t kept, size_t first, size_t count, size_t stride,
                 const LaserPlane& plane, double minHeight, double maxHeight) {
    uint8_t* next = points + kept * stride;
    uint8_t* point = points + first * stride;
    for (size_t n = 0; n < count; ++n, point += stride) {
        if constexpr (compensate) {
            float y = FloatAt(point + kY);
            float z = FloatAt(point + kZ);
            plane.Undo(y, z);
            StoreFloat(point + kY, y);
            StoreFloat(point + kZ, z);
        }
        const double z = FloatAt(point + kZ);
        if (minHeight <= z && z <= maxHeight) {
            if (next != point) {
                std::memcpy(next, point, stride);
            }
            next += stride;
        }
    }
    return static_cast<size_t>(next - points) / stride;
}

template <bool compensate>
size_t FilterAnyStride(ImageBuffer& image, size_t kept, size_t first, size_t count,
                       const LaserPlane& plane, double minHeight, double maxHeight) {
    if (kept > first || count > SIZE_MAX - first) {
        throw std::runtime_error("PointProcessing: the kept points overtake the points given");
    }
    const size_t stride = CheckedStride(image, first + count);
    uint8_t* data = image.GetData();
    switch (stride) {
        case 12:
            return FilterFixed<12, compensate>(data, kept, first, count, plane, minHeight,
                                               maxHeight);
        case 20:
            return FilterFixed<20, compensate>(data, kept, first, count, plane, minHeight,
                                               maxHeight);
        default:
            return FilterAny<compensate>(data, kept, first, count, stride, plane, minHeight,
                                         maxHeight);
    }
}

LaserPlane PlaneAt(double angleDegrees) {
    const double angle = angleDegrees * kPi / 180.0;
    return {static_cast<float>(std::cos(angle)), static_cast<float>(std::tan(angle))};
}

}  // namespace

int32_t CompensateAndFilterHeights(ImageBuffer& image, size_t points, double angleDegrees,
                                   double minHeight, double maxHeight) {
    return static_cast<int32_t>(
        FilterPointRun(image, 0, 0, points, {minHeight, maxHeight, true, angleDegrees}));
}

int32_t FilterHeights(ImageBuffer& image, size_t points, double minHeight, double maxHeight) {
    return static_cast<int32_t>(
        FilterPointRun(image, 0, 0, points, {minHeight, maxHeight, false, 0.0}));
}

size_t FilterPointRun(ImageBuffer& image, size_t kept, size_t first, size_t count,
                      const HeightWindow& window) {
    if (window.compensate) {
        return FilterAnyStride<true>(image, kept, first, count, PlaneAt(window.angleDegrees),
                                     window.minHeight, window.maxHeight);
    }
    return FilterAnyStride<false>(image, kept, first, count, LaserPlane(), window.minHeight,
                                  window.maxHeight);
}

size_t BuildPoints(ImageBuffer& image, const PointHelpers& helpers, const HeightWindow& window) {
    const auto scans = static_cast<int32_t>(image.GetHeight());
    const auto width = static_cast<size_t>(image.GetWidth());
    size_t kept = 0;
    for (int32_t first = 0; first < scans; first += kScansPerPass) {
        const ScanRows rows{first, std::min(kScansPerPass, scans - first)};
        for (int32_t coordinate = 1; coordinate <= 4; ++coordinate) {
            if (ExtractionHelper* helper = helpers[static_cast<size_t>(coordinate - 1)]) {
                helper->FillPointRows(image, coordinate, rows);
            }
        }
        kept = FilterPointRun(image, kept, static_cast<size_t>(first) * width,
                              static_cast<size_t>(rows.count) * width, window);
    }
    return kept;
}
