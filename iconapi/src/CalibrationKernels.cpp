#include "CalibrationKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "Calibration.h"

// The vector paths round as the plain loops do only where those run on SSE2
// too: a 32-bit build without SSE2 computes in x87 registers and keeps to the
// plain loops.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#include <immintrin.h>
#define ICON_X86 1
#endif

namespace icon::detail {
namespace {

const float kNoRow = std::nanf("");

// Rounds each coordinate to float once, as the plain loop does.
void toPlane(const ColumnCoefficients& k, int c, float row, float* xs, float* zs) {
    const double r = row;
    const double w = k.w0[c] + k.w1 * r;
    xs[c] = static_cast<float>((k.a0[c] + k.a1 * r) / w);
    zs[c] = static_cast<float>((k.b0[c] + k.b1 * r) / w);
}

void calibrateCogScalar(const ColumnCoefficients& k, const uint16_t* sum, const uint16_t* xsum,
                        int first, int columns, float* xs, float* zs) {
    for (int c = first; c < columns; ++c) {
        const uint32_t s = sum[c];
        const uint32_t weight = s & 0x1FFFu;
        const uint32_t numerator = ((s >> 13) << 16) + xsum[c];
        const float row = weight == 0 ? kNoRow : static_cast<float>(double(numerator) / weight);
        toPlane(k, c, row, xs, zs);
    }
}

void calibrateRangeScalar(const ColumnCoefficients& k, const uint16_t* range, int first,
                          int columns, float* xs, float* zs) {
    for (int c = first; c < columns; ++c) {
        const uint16_t v = range[c];
        toPlane(k, c, v == 0 ? kNoRow : static_cast<float>(v / kRangeSubpixels), xs, zs);
    }
}

int32_t cellOf(const Grid& g, float x, float z) {
    if (!std::isfinite(x) || !std::isfinite(z) || x < g.xMin || x > g.xMax) {
        return g.cells;
    }
    // A grid without finite ends makes the quotient infinity over infinity:
    // such a point goes to cell 0, never outside the cells. Clamping before
    // truncating gives the same cell as after: the quotient is not negative
    // and cells - 1 is a whole number.
    const double quotient = (x - g.xMin) / g.cell;
    const double first = quotient >= 0.0 ? quotient : 0.0;
    return static_cast<int32_t>(std::min(first, double(g.cells - 1)));
}

void cellsOfScalar(const Grid& g, const float* xs, const float* zs, int first, int count,
                   int32_t* cells) {
    for (int i = first; i < count; ++i) {
        cells[i] = cellOf(g, xs[i], zs[i]);
    }
}

const float kUnset = -std::numeric_limits<float>::infinity();

void takeCellsScalar(float* tops, int32_t first, int32_t cells, float empty, float* out) {
    for (int32_t k = first; k < cells; ++k) {
        out[k] = tops[k] == kUnset ? empty : tops[k];
        tops[k] = kUnset;
    }
}

#ifdef ICON_X86
void takeCellsSse2(float* tops, int32_t cells, float empty, float* out) {
    const __m128 unset = _mm_set1_ps(kUnset);
    int32_t k = 0;
    for (; k + 4 <= cells; k += 4) {
        const __m128 top = _mm_loadu_ps(tops + k);
        const __m128 none = _mm_cmpeq_ps(top, unset);
        _mm_storeu_ps(out + k,
                      _mm_or_ps(_mm_and_ps(none, _mm_set1_ps(empty)), _mm_andnot_ps(none, top)));
        _mm_storeu_ps(tops + k, unset);
    }
    takeCellsScalar(tops, k, cells, empty, out);
}

// Two columns at a time. A row of a range word is the word times 1/16, which
// is exact, as is its rounding to float.
void toPlane2(const ColumnCoefficients& k, int c, __m128d row, float* xs, float* zs) {
    const __m128d w = _mm_add_pd(_mm_loadu_pd(k.w0 + c), _mm_mul_pd(_mm_set1_pd(k.w1), row));
    const __m128d x =
        _mm_div_pd(_mm_add_pd(_mm_loadu_pd(k.a0 + c), _mm_mul_pd(_mm_set1_pd(k.a1), row)), w);
    const __m128d z =
        _mm_div_pd(_mm_add_pd(_mm_loadu_pd(k.b0 + c), _mm_mul_pd(_mm_set1_pd(k.b1), row)), w);
    _mm_storel_pi(reinterpret_cast<__m64*>(xs + c), _mm_cvtpd_ps(x));
    _mm_storel_pi(reinterpret_cast<__m64*>(zs + c), _mm_cvtpd_ps(z));
}

__m128i loadWords2(const uint16_t* at) {
    int32_t two;
    std::memcpy(&two, at, sizeof two);
    return _mm_unpacklo_epi16(_mm_cvtsi32_si128(two), _mm_setzero_si128());
}

__m128 select(__m128 mask, __m128 yes, __m128 no) {
    return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}

__m128d selectPd(__m128d mask, __m128d yes, __m128d no) {
    return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
}

void calibrateCogSse2(const ColumnCoefficients& k, const uint16_t* sum, const uint16_t* xsum,
                      int columns, float* xs, float* zs) {
    int c = 0;
    for (; c + 2 <= columns; c += 2) {
        const __m128i s = loadWords2(sum + c);
        const __m128i weight = _mm_and_si128(s, _mm_set1_epi32(0x1FFF));
        const __m128i numerator =
            _mm_add_epi32(_mm_slli_epi32(_mm_srli_epi32(s, 13), 16), loadWords2(xsum + c));
        const __m128d quotient = _mm_div_pd(_mm_cvtepi32_pd(numerator), _mm_cvtepi32_pd(weight));
        const __m128 none = _mm_castsi128_ps(_mm_cmpeq_epi32(weight, _mm_setzero_si128()));
        const __m128 row = select(none, _mm_set1_ps(kNoRow), _mm_cvtpd_ps(quotient));
        toPlane2(k, c, _mm_cvtps_pd(row), xs, zs);
    }
    calibrateCogScalar(k, sum, xsum, c, columns, xs, zs);
}

void calibrateRangeSse2(const ColumnCoefficients& k, const uint16_t* range, int columns, float* xs,
                        float* zs) {
    int c = 0;
    for (; c + 2 <= columns; c += 2) {
        const __m128i v = loadWords2(range + c);
        const __m128 none = _mm_castsi128_ps(_mm_cmpeq_epi32(v, _mm_setzero_si128()));
        const __m128 row = select(
            none, _mm_set1_ps(kNoRow),
            _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtepi32_pd(v), _mm_set1_pd(1.0 / kRangeSubpixels))));
        toPlane2(k, c, _mm_cvtps_pd(row), xs, zs);
    }
    calibrateRangeScalar(k, range, c, columns, xs, zs);
}

__m128d finite2(__m128d v) {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
    return _mm_cmplt_pd(magnitude, _mm_set1_pd(INFINITY));
}

__m128d loadFloats2(const float* at) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))));
}

void cellsOfSse2(const Grid& g, const float* xs, const float* zs, int count, int32_t* cells) {
    const __m128d xMin = _mm_set1_pd(g.xMin);
    const __m128d xMax = _mm_set1_pd(g.xMax);
    const __m128d cell = _mm_set1_pd(g.cell);
    const __m128d last = _mm_set1_pd(g.cells - 1);
    const __m128d outside = _mm_set1_pd(g.cells);
    int i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d x = loadFloats2(xs + i);
        const __m128d valid = _mm_and_pd(_mm_and_pd(finite2(x), finite2(loadFloats2(zs + i))),
                                         _mm_and_pd(_mm_cmpge_pd(x, xMin), _mm_cmple_pd(x, xMax)));
        const __m128d quotient = _mm_div_pd(_mm_sub_pd(x, xMin), cell);
        const __m128d inside = _mm_min_pd(_mm_max_pd(quotient, _mm_setzero_pd()), last);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(cells + i),
                         _mm_cvttpd_epi32(selectPd(valid, inside, outside)));
    }
    cellsOfScalar(g, xs, zs, i, count, cells);
}
#endif

#ifdef ICON_X86
#define ICON_AVX2 __attribute__((target("avx2")))
#define ICON_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

bool hasAvx2() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}

// Four columns at a time; no FMA, so every product is rounded as in the
// plain loop. Each AVX2 loop clears the upper halves of the vector registers
// before the plain loop takes the last columns: SSE code after dirty upper
// halves runs several times slower on some processors.
ICON_AVX2_INLINE void toPlane4(const ColumnCoefficients& k, int c, __m256d row, float* xs,
                               float* zs) {
    const __m256d w =
        _mm256_add_pd(_mm256_loadu_pd(k.w0 + c), _mm256_mul_pd(_mm256_set1_pd(k.w1), row));
    const __m256d x = _mm256_div_pd(
        _mm256_add_pd(_mm256_loadu_pd(k.a0 + c), _mm256_mul_pd(_mm256_set1_pd(k.a1), row)), w);
    const __m256d z = _mm256_div_pd(
        _mm256_add_pd(_mm256_loadu_pd(k.b0 + c), _mm256_mul_pd(_mm256_set1_pd(k.b1), row)), w);
    _mm_storeu_ps(xs + c, _mm256_cvtpd_ps(x));
    _mm_storeu_ps(zs + c, _mm256_cvtpd_ps(z));
}

ICON_AVX2_INLINE __m128i loadWords4(const uint16_t* at) {
    return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)));
}

ICON_AVX2 void calibrateCogAvx2(const ColumnCoefficients& k, const uint16_t* sum,
                                const uint16_t* xsum, int columns, float* xs, float* zs) {
    int c = 0;
    for (; c + 4 <= columns; c += 4) {
        const __m128i s = loadWords4(sum + c);
        const __m128i weight = _mm_and_si128(s, _mm_set1_epi32(0x1FFF));
        const __m128i numerator =
            _mm_add_epi32(_mm_slli_epi32(_mm_srli_epi32(s, 13), 16), loadWords4(xsum + c));
        const __m256d quotient =
            _mm256_div_pd(_mm256_cvtepi32_pd(numerator), _mm256_cvtepi32_pd(weight));
        const __m128 none = _mm_castsi128_ps(_mm_cmpeq_epi32(weight, _mm_setzero_si128()));
        const __m128 row = _mm_blendv_ps(_mm256_cvtpd_ps(quotient), _mm_set1_ps(kNoRow), none);
        toPlane4(k, c, _mm256_cvtps_pd(row), xs, zs);
    }
    _mm256_zeroupper();
    calibrateCogScalar(k, sum, xsum, c, columns, xs, zs);
}

ICON_AVX2 void calibrateRangeAvx2(const ColumnCoefficients& k, const uint16_t* range, int columns,
                                  float* xs, float* zs) {
    int c = 0;
    for (; c + 4 <= columns; c += 4) {
        const __m128i v = loadWords4(range + c);
        const __m128 none = _mm_castsi128_ps(_mm_cmpeq_epi32(v, _mm_setzero_si128()));
        const __m256d rows =
            _mm256_mul_pd(_mm256_cvtepi32_pd(v), _mm256_set1_pd(1.0 / kRangeSubpixels));
        const __m128 row = _mm_blendv_ps(_mm256_cvtpd_ps(rows), _mm_set1_ps(kNoRow), none);
        toPlane4(k, c, _mm256_cvtps_pd(row), xs, zs);
    }
    _mm256_zeroupper();
    calibrateRangeScalar(k, range, c, columns, xs, zs);
}

ICON_AVX2_INLINE __m256d finite4(__m256d v) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
    return _mm256_cmp_pd(magnitude, _mm256_set1_pd(INFINITY), _CMP_LT_OQ);
}

ICON_AVX2 void cellsOfAvx2(const Grid& g, const float* xs, const float* zs, int count,
                           int32_t* cells) {
    const __m256d xMin = _mm256_set1_pd(g.xMin);
    const __m256d xMax = _mm256_set1_pd(g.xMax);
    const __m256d cell = _mm256_set1_pd(g.cell);
    const __m256d last = _mm256_set1_pd(g.cells - 1);
    const __m256d outside = _mm256_set1_pd(g.cells);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(xs + i));
        const __m256d z = _mm256_cvtps_pd(_mm_loadu_ps(zs + i));
        const __m256d valid = _mm256_and_pd(
            _mm256_and_pd(finite4(x), finite4(z)),
            _mm256_and_pd(_mm256_cmp_pd(x, xMin, _CMP_GE_OQ), _mm256_cmp_pd(x, xMax, _CMP_LE_OQ)));
        const __m256d quotient = _mm256_div_pd(_mm256_sub_pd(x, xMin), cell);
        const __m256d inside = _mm256_min_pd(_mm256_max_pd(quotient, _mm256_setzero_pd()), last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cells + i),
                         _mm256_cvttpd_epi32(_mm256_blendv_pd(outside, inside, valid)));
    }
    _mm256_zeroupper();
    cellsOfScalar(g, xs, zs, i, count, cells);
}
#endif

}  // namespace

bool hasPath(KernelPath path) {
#ifdef ICON_X86
    return path != KernelPath::AVX2 || hasAvx2();
#else
    return path == KernelPath::PLAIN;
#endif
}

KernelPath widestPath() {
    for (KernelPath path : {KernelPath::AVX2, KernelPath::SSE2}) {
        if (hasPath(path)) {
            return path;
        }
    }
    return KernelPath::PLAIN;
}

// A path this build or processor does not have runs the next narrower one.
void calibrateCog([[maybe_unused]] KernelPath path, const ColumnCoefficients& k,
                  const uint16_t* sum, const uint16_t* xsum, int columns, float* xs, float* zs) {
#ifdef ICON_X86
    if (path == KernelPath::AVX2 && hasAvx2()) {
        return calibrateCogAvx2(k, sum, xsum, columns, xs, zs);
    }
    if (path != KernelPath::PLAIN) {
        return calibrateCogSse2(k, sum, xsum, columns, xs, zs);
    }
#endif
    calibrateCogScalar(k, sum, xsum, 0, columns, xs, zs);
}

void calibrateRange([[maybe_unused]] KernelPath path, const ColumnCoefficients& k,
                    const uint16_t* range, int columns, float* xs, float* zs) {
#ifdef ICON_X86
    if (path == KernelPath::AVX2 && hasAvx2()) {
        return calibrateRangeAvx2(k, range, columns, xs, zs);
    }
    if (path != KernelPath::PLAIN) {
        return calibrateRangeSse2(k, range, columns, xs, zs);
    }
#endif
    calibrateRangeScalar(k, range, 0, columns, xs, zs);
}

void cellsOf([[maybe_unused]] KernelPath path, const Grid& grid, const float* xs, const float* zs,
             int count, int32_t* cells) {
#ifdef ICON_X86
    if (path == KernelPath::AVX2 && hasAvx2()) {
        return cellsOfAvx2(grid, xs, zs, count, cells);
    }
    if (path != KernelPath::PLAIN) {
        return cellsOfSse2(grid, xs, zs, count, cells);
    }
#endif
    cellsOfScalar(grid, xs, zs, 0, count, cells);
}

void takeCells([[maybe_unused]] KernelPath path, float* tops, int32_t cells, float empty,
               float* out) {
#ifdef ICON_X86
    if (path != KernelPath::PLAIN) {
        return takeCellsSse2(tops, cells, empty, out);
    }
#endif
    takeCellsScalar(tops, 0, cells, empty, out);
}

}  // namespace icon::detail
