#pragma once

#include <cstdint>

namespace icon::detail {

// The inner loops of calibration and rectification, one scan at a time. The
// vector paths take the same IEEE steps as the plain loops, lane by lane and
// in the same order, so every result is the same bit for bit.

// Which loops run. The filters take the widest the processor has (its AVX2
// support is asked once); tests run every path that this build and processor
// have against the others.
enum class KernelPath { PLAIN, SSE2, AVX2 };
KernelPath widestPath();
bool hasPath(KernelPath path);

// Per column c: x = (a0[c] + a1 row) / (w0[c] + w1 row), z likewise with b.
struct ColumnCoefficients {
    const double* a0 = nullptr;
    const double* b0 = nullptr;
    const double* w0 = nullptr;
    double a1 = 0.0;
    double b1 = 0.0;
    double w1 = 0.0;
};

// The row of the laser line from a COG element: the weight is the low 13 bits
// of Sum, the numerator Sum's top 3 bits over the XSum word; the quotient is
// rounded to float. NaN where the weight is 0.
void calibrateCog(KernelPath path, const ColumnCoefficients& k, const uint16_t* sum,
                  const uint16_t* xsum, int columns, float* xs, float* zs);

// The row from a 16-bit range word in 1/16 rows; NaN where the word is 0.
void calibrateRange(KernelPath path, const ColumnCoefficients& k, const uint16_t* range,
                    int columns, float* xs, float* zs);

// The grid a scan is resampled onto: `cells` cells of width `cell` from
// `xMin`. Needs cell > 0 and 1 <= cells <= 2^31 - 1.
struct Grid {
    double xMin = 0.0;
    double xMax = 0.0;
    double cell = 0.0;
    int32_t cells = 0;
};

// The cell of every point: the one its X falls into, the last cell for X at
// the far edge, and `cells` (one past the grid) for a point with a coordinate
// that is not finite or an X outside xMin .. xMax.
void cellsOf(KernelPath path, const Grid& grid, const float* xs, const float* zs, int count,
             int32_t* cells);

// Gives each of `cells` cells' highest point to `out`, `empty` for a cell
// that holds the lowest float (no point reached it), and sets every cell back
// to the lowest float for the next scan.
void takeCells(KernelPath path, float* tops, int32_t cells, float empty, float* out);

}  // namespace icon::detail
