#include "image/PointProcessing.h"

// The wide point loop is for 64-bit x86: processors with AVX-512 all are.
#if defined(__x86_64__)
#include <immintrin.h>
#define VAVEZAZ_WIDE_POINTS 1
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "image/ExtractionHelper.h"
#include "image/ImageBuffer.h"
#include "image/VectorPaths.h"

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

#ifdef VAVEZAZ_WIDE_POINTS
// Sixteen points at a time, XYZ (48 floats in three vectors) or XYZCI (80
// floats in five): the same steps as FilterFixed lane by lane, in float and
// double as there, no FMA. Y and Z are gathered from the vectors,
// compensated, put back and stored in place; then the kept points are
// compressed to the front, which never passes the end of the group. Returns
// the first point of the part group left to the plain loop.
#define VAVEZAZ_AVX512_POINTS __attribute__((target("avx512f,bmi2")))

struct Lanes {
    __m512i index;  // where lane j of a vector finds its point's Y or Z
    __mmask16 y;    // the lanes of a vector that hold a Y
    __mmask16 z;
};

// Float j of vector v belongs to point (16 v + j) / floats.
VAVEZAZ_AVX512_POINTS Lanes LanesOf(int v, int floats) {
    int32_t index[16];
    __mmask16 y = 0;
    __mmask16 z = 0;
    for (int j = 0; j < 16; ++j) {
        const int at = 16 * v + j;
        index[j] = at / floats;
        y = static_cast<__mmask16>(y | (at % floats == 1 ? 1u << j : 0u));
        z = static_cast<__mmask16>(z | (at % floats == 2 ? 1u << j : 0u));
    }
    return {_mm512_loadu_si512(index), y, z};
}

// Where float `floats` i + k of a group lies, for point i of 16: in the pair
// of vectors p = that float / 32 (the last "pair" of an odd count is one
// vector), at its place in the pair, the float modulo 32.
struct GatherPlan {
    __m512i index;
    __mmask16 pair[3];
};

VAVEZAZ_AVX512_POINTS GatherPlan PlanOf(int floats, int k) {
    int32_t index[16];
    GatherPlan plan{};
    for (int i = 0; i < 16; ++i) {
        const int at = floats * i + k;
        index[i] = at & 31;
        plan.pair[at / 32] = static_cast<__mmask16>(plan.pair[at / 32] | 1u << i);
    }
    plan.index = _mm512_loadu_si512(index);
    return plan;
}

template <int floats>
VAVEZAZ_AVX512_POINTS __m512 Gather(const __m512 from[floats], const GatherPlan& plan) {
    __m512 gathered = _mm512_permutex2var_ps(from[0], plan.index, from[1]);
    for (ptrdiff_t p = 1; 2 * p < floats; ++p) {
        const __m512 part = 2 * p + 1 < floats
                                ? _mm512_permutex2var_ps(from[2 * p], plan.index, from[2 * p + 1])
                                : _mm512_maskz_permutexvar_ps(0xFFFF, plan.index, from[2 * p]);
        gathered = _mm512_mask_mov_ps(gathered, plan.pair[p], part);
    }
    return gathered;
}

// Halves of 16 floats as 8 doubles, and back. The zero-masking forms with
// every lane set: g++ 12 takes the undefined source of the plain forms for an
// uninitialised value.
VAVEZAZ_AVX512_POINTS __m512d Widen(__m512 v, int half) {
    const __m256d part = half == 0 ? _mm512_maskz_extractf64x4_pd(0xF, _mm512_castps_pd(v), 0)
                                   : _mm512_maskz_extractf64x4_pd(0xF, _mm512_castps_pd(v), 1);
    return _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(part));
}

VAVEZAZ_AVX512_POINTS __m512 Join(__m512d low, __m512d high) {
    const __m512d joined = _mm512_maskz_insertf64x4(
        0xFF,
        _mm512_maskz_insertf64x4(0xFF, _mm512_setzero_pd(),
                                 _mm256_castps_pd(_mm512_maskz_cvtpd_ps(0xFF, low)), 0),
        _mm256_castps_pd(_mm512_maskz_cvtpd_ps(0xFF, high)), 1);
    return _mm512_castpd_ps(joined);
}

// Y on by Z times the tangent in double, rounded to float, for 16 lanes.
VAVEZAZ_AVX512_POINTS __m512 MovedY(__m512 y, __m512 z, __m512d tangent) {
    const __m512d low = _mm512_add_pd(Widen(y, 0), _mm512_mul_pd(Widen(z, 0), tangent));
    const __m512d high = _mm512_add_pd(Widen(y, 1), _mm512_mul_pd(Widen(z, 1), tangent));
    return Join(low, high);
}

VAVEZAZ_AVX512_POINTS __mmask16 InWindow(__m512 z, double minHeight, double maxHeight) {
    const __m512d lowest = _mm512_set1_pd(minHeight);
    const __m512d highest = _mm512_set1_pd(maxHeight);
    __mmask16 keep = 0;
    for (int half = 0; half < 2; ++half) {
        const __m512d height = Widen(z, half);
        const __mmask8 in = _mm512_cmp_pd_mask(height, lowest, _CMP_GE_OQ) &
                            _mm512_cmp_pd_mask(height, highest, _CMP_LE_OQ);
        keep = static_cast<__mmask16>(keep | (in << (8 * half)));
    }
    return keep;
}

// Each point's keep bit `floats` times, one per float of the group, eight
// points at a time.
template <int floats>
VAVEZAZ_AVX512_POINTS unsigned __int128 FloatsKept(__mmask16 keep) {
    uint64_t everyPoint = 0;
    for (int i = 0; i < 8; ++i) {
        everyPoint |= uint64_t{1} << (floats * i);
    }
    const uint64_t allFloats = (uint64_t{1} << floats) - 1;
    const uint64_t low = _pdep_u64(keep & 0xFFu, everyPoint) * allFloats;
    const uint64_t high = _pdep_u64(static_cast<uint32_t>(keep) >> 8, everyPoint) * allFloats;
    return low | static_cast<unsigned __int128>(high) << (8 * floats);
}

template <int floats, bool compensate>
VAVEZAZ_AVX512_POINTS size_t FilterAvx512(uint8_t* points, size_t& kept, size_t n, size_t end,
                                          const LaserPlane& plane, double minHeight,
                                          double maxHeight) {
    constexpr size_t stride = floats * sizeof(float);
    Lanes lanes[floats];
    for (int v = 0; v < floats; ++v) {
        lanes[v] = LanesOf(v, floats);
    }
    const GatherPlan ys = PlanOf(floats, 1);
    const GatherPlan zs = PlanOf(floats, 2);
    const __m512 cosine = _mm512_set1_ps(plane.cosine);
    const __m512d tangent = _mm512_set1_pd(plane.tangent);
    for (; n + 16 <= end; n += 16) {
        float* group = reinterpret_cast<float*>(points + n * stride);
        __m512 v[floats];
        for (ptrdiff_t r = 0; r < floats; ++r) {
            v[r] = _mm512_loadu_ps(group + 16 * r);
        }
        __m512 z = Gather<floats>(v, zs);
        if constexpr (compensate) {
            z = _mm512_mul_ps(z, cosine);
            const __m512 y = MovedY(Gather<floats>(v, ys), z, tangent);
            for (ptrdiff_t r = 0; r < floats; ++r) {
                v[r] = _mm512_mask_permutexvar_ps(v[r], lanes[r].y, lanes[r].index, y);
                v[r] = _mm512_mask_permutexvar_ps(v[r], lanes[r].z, lanes[r].index, z);
                _mm512_storeu_ps(group + 16 * r, v[r]);
            }
        }
        const __mmask16 keep = InWindow(z, minHeight, maxHeight);
        const unsigned __int128 keptFloats = FloatsKept<floats>(keep);
        float* to = reinterpret_cast<float*>(points + kept * stride);
        for (ptrdiff_t r = 0; r < floats; ++r) {
            const auto part = static_cast<__mmask16>(keptFloats >> (16 * r));
            _mm512_mask_compressstoreu_ps(to, part, v[r]);
            to += __builtin_popcount(part);
        }
        kept += static_cast<size_t>(__builtin_popcount(keep));
    }
    _mm256_zeroupper();
    return n;
}

#endif

// XYZ and XYZCI points take the wide loop where the processor has it, for
// whole groups.
template <size_t stride, bool compensate>
size_t FilterGroups(uint8_t* points, size_t kept, size_t first, size_t count,
                    const LaserPlane& plane, double minHeight, double maxHeight, bool wide) {
#ifdef VAVEZAZ_WIDE_POINTS
    if (wide && ThisProcessor().avx512Points) {
        const size_t rest = FilterAvx512<stride / sizeof(float), compensate>(
            points, kept, first, first + count, plane, minHeight, maxHeight);
        count -= rest - first;
        first = rest;
    }
#else
    (void)wide;
#endif
    return FilterFixed<stride, compensate>(points, kept, first, count, plane, minHeight, maxHeight);
}

template <bool compensate>
size_t FilterAnyStride(ImageBuffer& image, size_t kept, size_t first, size_t count,
                       const LaserPlane& plane, double minHeight, double maxHeight, bool wide) {
    if (kept > first || count > SIZE_MAX - first) {
        throw std::runtime_error("PointProcessing: the kept points overtake the points given");
    }
    const size_t stride = CheckedStride(image, first + count);
    uint8_t* data = image.GetData();
    switch (stride) {
        case 12:
            return FilterGroups<12, compensate>(data, kept, first, count, plane, minHeight,
                                                maxHeight, wide);
        case 20:
            return FilterGroups<20, compensate>(data, kept, first, count, plane, minHeight,
                                                maxHeight, wide);
        default:
            return FilterAny<compensate>(data, kept, first, count, stride, plane, minHeight,
                                         maxHeight);
    }
}

LaserPlane PlaneAt(double angleDegrees) {
    const double angle = angleDegrees * kPi / 180.0;
    return {static_cast<float>(std::cos(angle)), static_cast<float>(std::tan(angle))};
}

size_t FilterPointRunOn(bool wide, ImageBuffer& image, size_t kept, size_t first, size_t count,
                        const HeightWindow& window) {
    if (window.compensate) {
        return FilterAnyStride<true>(image, kept, first, count, PlaneAt(window.angleDegrees),
                                     window.minHeight, window.maxHeight, wide);
    }
    return FilterAnyStride<false>(image, kept, first, count, LaserPlane(), window.minHeight,
                                  window.maxHeight, wide);
}

}  // namespace

size_t FilterPointRun(ImageBuffer& image, size_t kept, size_t first, size_t count,
                      const HeightWindow& window) {
    return FilterPointRunOn(true, image, kept, first, count, window);
}

size_t FilterPointRunPortable(ImageBuffer& image, size_t kept, size_t first, size_t count,
                              const HeightWindow& window) {
    return FilterPointRunOn(false, image, kept, first, count, window);
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
        if (helpers[1] != nullptr && (helpers[2] != nullptr || helpers[3] != nullptr)) {
            helpers[1]->CarryContrastIntensity(image, rows);
        }
        kept = FilterPointRun(image, kept, static_cast<size_t>(first) * width,
                              static_cast<size_t>(rows.count) * width, window);
    }
    return kept;
}
