#include "tools/cvl-host/HeightMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

unsigned char Level(double part) {
    return static_cast<unsigned char>(std::lround(std::clamp(part, 0.0, 1.0) * 255.0));
}

// The cell of `value` among `cells` equal parts of low .. high.
int Cell(float value, float low, float high, int cells) {
    if (high <= low) {
        return 0;
    }
    const int cell = static_cast<int>((value - low) / (high - low) * static_cast<float>(cells));
    return std::clamp(cell, 0, cells - 1);
}

}  // namespace

Rgb HeightColour(double fraction) {
    const double t = std::clamp(fraction, 0.0, 1.0) * 4.0;
    if (t < 1.0) {
        return {0, Level(t), 255};
    }
    if (t < 2.0) {
        return {0, 255, Level(2.0 - t)};
    }
    if (t < 3.0) {
        return {Level(t - 2.0), 255, 0};
    }
    return {255, Level(4.0 - t), 0};
}

std::vector<PointXyz> CloudPoints(const ViewerImage& cloud) {
    std::vector<PointXyz> points(static_cast<size_t>(cloud.width));
    const size_t stride = static_cast<size_t>(cloud.floatsPerPoint) * sizeof(float);
    for (size_t i = 0; i < points.size() && (i + 1) * stride <= cloud.bytes.size(); ++i) {
        std::memcpy(&points[i], cloud.bytes.data() + i * stride, sizeof(PointXyz));
    }
    return points;
}

HeightMap MakeHeightMap(const std::vector<PointXyz>& points, int width, int height) {
    HeightMap map;
    map.width = width;
    map.height = height;
    map.cells.assign(static_cast<size_t>(width) * static_cast<size_t>(height), kEmptyCell);
    map.tops.assign(map.cells.size(), std::numeric_limits<float>::quiet_NaN());
    if (points.empty()) {
        return map;
    }
    map.empty = false;
    const auto [xLow, xHigh] =
        std::minmax_element(points.begin(), points.end(),
                            [](const PointXyz& a, const PointXyz& b) { return a.x < b.x; });
    const auto [yLow, yHigh] =
        std::minmax_element(points.begin(), points.end(),
                            [](const PointXyz& a, const PointXyz& b) { return a.y < b.y; });
    const auto [zLow, zHigh] =
        std::minmax_element(points.begin(), points.end(),
                            [](const PointXyz& a, const PointXyz& b) { return a.z < b.z; });
    map.xMin = xLow->x;
    map.xMax = xHigh->x;
    map.yMin = yLow->y;
    map.yMax = yHigh->y;
    map.zLow = zLow->z;
    map.zHigh = zHigh->z;
    std::vector<float> top(map.cells.size(), -std::numeric_limits<float>::infinity());
    // Neighbours of one scan closer than this fill the cells between them, so
    // that unevenly spaced points leave no holes; wider gaps, where the
    // height window dropped points, stay empty.
    const float widestGap = 2.5f * (map.xMax - map.xMin) / static_cast<float>(width);
    for (size_t i = 0; i < points.size(); ++i) {
        const PointXyz& point = points[i];
        const size_t row = static_cast<size_t>(Cell(point.y, map.yMin, map.yMax, height)) *
                           static_cast<size_t>(width);
        const int column = Cell(point.x, map.xMin, map.xMax, width);
        int from = column;
        if (i > 0 && points[i - 1].y == point.y &&
            std::fabs(point.x - points[i - 1].x) <= widestGap) {
            from = Cell(points[i - 1].x, map.xMin, map.xMax, width);
        }
        const PointXyz& other = from == column ? point : points[i - 1];
        for (int c = std::min(from, column); c <= std::max(from, column); ++c) {
            // The nearer of the two points gives the cell its height.
            const bool nearer = std::abs(c - column) <= std::abs(c - from);
            top[row + static_cast<size_t>(c)] =
                std::max(top[row + static_cast<size_t>(c)], nearer ? point.z : other.z);
        }
    }
    const float span = map.zHigh - map.zLow;
    for (size_t cell = 0; cell < top.size(); ++cell) {
        if (std::isfinite(top[cell])) {
            map.cells[cell] = HeightColour(span > 0 ? (top[cell] - map.zLow) / span : 0.5);
            map.tops[cell] = top[cell];
        }
    }
    return map;
}

std::vector<PointXyz> ScanProfile(const std::vector<PointXyz>& points, float y) {
    std::vector<PointXyz> scan;
    if (points.empty()) {
        return scan;
    }
    float nearest = points.front().y;
    for (const PointXyz& point : points) {
        const bool nearer =
            std::isinf(y) ? point.y > nearest : std::fabs(point.y - y) < std::fabs(nearest - y);
        nearest = nearer ? point.y : nearest;
    }
    for (const PointXyz& point : points) {
        if (point.y == nearest) {
            scan.push_back(point);
        }
    }
    std::sort(scan.begin(), scan.end(),
              [](const PointXyz& a, const PointXyz& b) { return a.x < b.x; });
    return scan;
}

// A cloud lists its points scan after scan, each scan with its own Y.
std::pair<int, int> MapSize(const std::vector<PointXyz>& points, int largest) {
    int scans = 0;
    int longest = 0;
    int run = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 0 || points[i].y != points[i - 1].y) {
            ++scans;
            run = 0;
        }
        longest = std::max(longest, ++run);
    }
    return {std::clamp(longest, 1, largest), std::clamp(scans, 1, largest)};
}
