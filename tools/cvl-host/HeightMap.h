#pragma once

#include <utility>
#include <vector>

#include "tools/cvl-host/FrameSlot.h"

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
};

// The colour of a height `fraction` of the way up the colour bar, 0 to 1
// (clamped): blue, cyan, green, yellow, red.
Rgb HeightColour(double fraction);

// Where cells without a point are drawn: nothing was seen there, or the
// height window dropped it.
constexpr Rgb kEmptyCell{40, 40, 40};

struct PointXyz {
    float x, y, z;
};

// The X, Y and Z of every point of a cloud image.
std::vector<PointXyz> CloudPoints(const ViewerImage& cloud);

// A cloud seen from above: X across (`width` columns from xMin to xMax), Y
// along the belt (`height` rows from yMin at the top to yMax), each cell
// coloured by its highest point from zLow (blue) to zHigh (red).
struct HeightMap {
    int width = 0;
    int height = 0;
    std::vector<Rgb> cells;   // row after row
    std::vector<float> tops;  // each cell's highest Z; NaN where it has no point
    float xMin = 0, xMax = 0, yMin = 0, yMax = 0, zLow = 0, zHigh = 0;
    bool empty = true;  // no point at all
};

HeightMap MakeHeightMap(const std::vector<PointXyz>& points, int width, int height);

// A map's size for `points`: a column for each point of the longest scan and
// a row for each scan, so that no cell lies between two points; at most
// `largest` of either.
std::pair<int, int> MapSize(const std::vector<PointXyz>& points, int largest);

// The points of the one scan whose Y is nearest `y` (any Y: the latest
// scan for +infinity), in order of X.
std::vector<PointXyz> ScanProfile(const std::vector<PointXyz>& points, float y);
