// The vector loops of calibration and rectification against the plain
// arithmetic they replace, bit for bit, on every path this processor has.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "CalibrationKernels.h"

namespace {

using icon::detail::KernelPath;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

uint32_t Bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

std::vector<KernelPath> Paths() {
    std::vector<KernelPath> paths;
    for (KernelPath path : {KernelPath::PLAIN, KernelPath::SSE2, KernelPath::AVX2}) {
        if (icon::detail::hasPath(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

const char* Name(KernelPath path) {
    return path == KernelPath::PLAIN ? "plain" : path == KernelPath::SSE2 ? "SSE2" : "AVX2";
}

// Coefficients of a perspective calibration, with a few columns whose
// denominator passes through zero and one that is not finite.
struct Coefficients {
    explicit Coefficients(int columns) {
        for (int c = 0; c < columns; ++c) {
            a0.push_back(0.37 * c - 250.0);
            b0.push_back(-0.0011 * c + 100.0);
            w0.push_back(1.0 + 1e-5 * c);
        }
        w0[5] = 0.0;
        a0[6] = 0.0;
        w0[6] = -w1 * 3.0;
        b0[7] = std::numeric_limits<double>::infinity();
    }

    icon::detail::ColumnCoefficients View() const {
        return {a0.data(), b0.data(), w0.data(), a1, b1, w1};
    }

    // What a point of column c at `row` comes to.
    void Expected(int c, float row, float& x, float& z) const {
        const double r = row;
        const double w = w0[c] + w1 * r;
        x = static_cast<float>((a0[c] + a1 * r) / w);
        z = static_cast<float>((b0[c] + b1 * r) / w);
    }

    std::vector<double> a0, b0, w0;
    double a1 = 0.013, b1 = -0.21, w1 = -0.0004;
};

void ExpectSameBits(const std::vector<float>& expected, const std::vector<float>& actual,
                    const char* what, KernelPath path) {
    ASSERT_EQ(expected.size(), actual.size());
    size_t wrong = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (Bits(expected[i]) != Bits(actual[i]) && wrong++ < 5) {
            ADD_FAILURE() << Name(path) << " " << what << "[" << i << "]: " << actual[i]
                          << " instead of " << expected[i];
        }
    }
    EXPECT_EQ(0u, wrong) << Name(path) << " " << what;
}

// Every weight with every value of Sum's top bits, and XSum words from the
// whole range; an odd column count leaves a tail for the plain loop.
TEST(CalibrationKernels, CogRowsGiveThePlainArithmeticBitForBitOnEveryPath) {
    constexpr int kColumns = 8191;
    const Coefficients k(kColumns);
    std::mt19937 random(12);
    std::vector<uint16_t> sums(kColumns);
    std::vector<uint16_t> xsums(kColumns);
    for (uint32_t top = 0; top < 8; ++top) {
        std::vector<float> expectedX(kColumns);
        std::vector<float> expectedZ(kColumns);
        for (int c = 0; c < kColumns; ++c) {
            const uint32_t weight = static_cast<uint32_t>((c + 17 * top) % 8192);
            sums[c] = static_cast<uint16_t>((top << 13) | weight);
            xsums[c] = static_cast<uint16_t>(c == 0 ? 0xFFFF : random());
            const uint32_t numerator = (top << 16) + xsums[c];
            const float row =
                weight == 0 ? std::nanf("") : static_cast<float>(double(numerator) / weight);
            k.Expected(c, row, expectedX[c], expectedZ[c]);
        }
        for (KernelPath path : Paths()) {
            std::vector<float> xs(kColumns, -1.0f);
            std::vector<float> zs(kColumns, -1.0f);
            icon::detail::calibrateCog(path, k.View(), sums.data(), xsums.data(), kColumns,
                                       xs.data(), zs.data());
            ExpectSameBits(expectedX, xs, "X", path);
            ExpectSameBits(expectedZ, zs, "Z", path);
        }
    }
}

TEST(CalibrationKernels, RangeRowsGiveThePlainArithmeticBitForBitOnEveryPath) {
    constexpr int kColumns = 65535;
    const Coefficients k(kColumns);
    std::vector<uint16_t> range(kColumns);
    std::vector<float> expectedX(kColumns);
    std::vector<float> expectedZ(kColumns);
    for (int c = 0; c < kColumns; ++c) {
        range[c] = static_cast<uint16_t>((c * 7 + 3) % 65536);
        const float row = range[c] == 0 ? std::nanf("") : static_cast<float>(range[c] / 16.0);
        k.Expected(c, row, expectedX[c], expectedZ[c]);
    }
    for (KernelPath path : Paths()) {
        std::vector<float> xs(kColumns);
        std::vector<float> zs(kColumns);
        icon::detail::calibrateRange(path, k.View(), range.data(), kColumns, xs.data(), zs.data());
        ExpectSameBits(expectedX, xs, "X", path);
        ExpectSameBits(expectedZ, zs, "Z", path);
    }
}

// The cell of the plain loop: the truncated quotient, the last cell at most.
int32_t ExpectedCell(const icon::detail::Grid& g, float x, float z) {
    if (!std::isfinite(x) || !std::isfinite(z) || x < g.xMin || x > g.xMax) {
        return g.cells;
    }
    const auto k = static_cast<unsigned>((x - g.xMin) / g.cell);
    return static_cast<int32_t>(std::min(k, static_cast<unsigned>(g.cells - 1)));
}

// Points on and next to every cell edge and both ends of the grid, points
// that are not finite, and points scattered over and beyond the grid.
TEST(CalibrationKernels, CellsOfPointsMatchTheTruncatedQuotientOnEveryPath) {
    // Cells of 2 mm put the far end exactly on the quotient `cells`.
    const struct {
        double xMin, xMax;
        int32_t cells;
    } grids[] = {{-301.37, 288.9, 1},
                 {-301.37, 288.9, 7},
                 {-301.37, 288.9, 1536},
                 {-2.0, 1022.0, 512},
                 {-2.0, 0.0, 1}};
    for (const auto& g : grids) {
        const double xMin = g.xMin;
        const double xMax = g.xMax;
        const int32_t cells = g.cells;
        const icon::detail::Grid grid{xMin, xMax, (xMax - xMin) / cells, cells};
        std::vector<float> xs;
        for (int32_t k = 0; k <= cells; ++k) {
            const auto edge = static_cast<float>(xMin + k * grid.cell);
            xs.insert(xs.end(), {edge, std::nextafter(edge, -kInf), std::nextafter(edge, kInf)});
        }
        const auto low = static_cast<float>(xMin);
        const auto high = static_cast<float>(xMax);
        xs.insert(xs.end(), {low, high, std::nextafter(low, -kInf), std::nextafter(high, kInf),
                             kNaN, kInf, -kInf, 0.0f, -0.0f, 1e-40f});
        std::mt19937 random(cells);
        std::uniform_real_distribution<float> anywhere(-400.0f, 400.0f);
        while (xs.size() % 4 != 3) {
            xs.push_back(anywhere(random));
        }
        for (int n = 0; n < 1001; ++n) {
            xs.push_back(anywhere(random));
        }
        std::vector<float> zs(xs.size(), 5.0f);
        zs[1] = kNaN;
        zs[2] = -kInf;
        const int count = static_cast<int>(xs.size());
        std::vector<int32_t> expected(xs.size());
        for (size_t i = 0; i < xs.size(); ++i) {
            expected[i] = ExpectedCell(grid, xs[i], zs[i]);
        }
        for (KernelPath path : Paths()) {
            std::vector<int32_t> found(xs.size(), -1);
            icon::detail::cellsOf(path, grid, xs.data(), zs.data(), count, found.data());
            for (size_t i = 0; i < xs.size(); ++i) {
                EXPECT_EQ(expected[i], found[i])
                    << Name(path) << " cells " << cells << " x " << xs[i] << " z " << zs[i];
            }
        }
    }
}

// A data format may give a grid without finite ends: its cells are infinitely
// wide, and every finite point lands in cell 0, never outside the cells.
TEST(CalibrationKernels, AGridWithoutFiniteEndsKeepsEveryPointInsideItsCells) {
    const icon::detail::Grid grid{-INFINITY, INFINITY, INFINITY, 8};
    const std::vector<float> xs = {0.0f, 1e30f, -5.0f, kNaN, kInf, 3.0f, -kInf, -1e-40f, 7.0f};
    const std::vector<float> zs(xs.size(), 1.0f);
    for (KernelPath path : Paths()) {
        std::vector<int32_t> found(xs.size(), -1);
        icon::detail::cellsOf(path, grid, xs.data(), zs.data(), static_cast<int>(xs.size()),
                              found.data());
        for (size_t i = 0; i < xs.size(); ++i) {
            EXPECT_EQ(std::isfinite(xs[i]) ? 0 : 8, found[i]) << Name(path) << " x " << xs[i];
        }
    }
}

TEST(CalibrationKernels, TakingCellsGivesTheirTopsOrEmptyAndUnsetsThemOnEveryPath) {
    const float tops[] = {-kInf, 3.5f, -0.0f, 0.0f, -kInf, -kInf, 1e-40f, -7.0f, kInf, 2.0f, -kInf};
    for (KernelPath path : Paths()) {
        for (float empty : {kNaN, 0.0f}) {
            std::vector<float> cells(std::begin(tops), std::end(tops));
            std::vector<float> out(cells.size(), 99.0f);
            icon::detail::takeCells(path, cells.data(), static_cast<int32_t>(cells.size()), empty,
                                    out.data());
            for (size_t k = 0; k < cells.size(); ++k) {
                EXPECT_EQ(Bits(tops[k] == -kInf ? empty : tops[k]), Bits(out[k]))
                    << Name(path) << " cell " << k;
                EXPECT_EQ(-kInf, cells[k]) << Name(path) << " cell " << k;
            }
        }
    }
}

TEST(CalibrationKernels, TheFiltersTakeTheWidestPathThisProcessorHas) {
    const KernelPath widest = icon::detail::widestPath();
    EXPECT_TRUE(icon::detail::hasPath(widest));
    for (KernelPath path : Paths()) {
        EXPECT_GE(static_cast<int>(widest), static_cast<int>(path)) << Name(path);
    }
}

}  // namespace
