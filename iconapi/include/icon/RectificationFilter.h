#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "icon/Filter.h"

namespace icon {

// Resamples calibrated points onto a regular grid of X positions. The input
// is the output of a CalibrationFilter; component 0 is resampled. The output
// component has its name and the "FLOAT" subcomponents "Range" and "X", each
// `width` values per scan.
class RectificationFilter : public Filter {
  public:
    // Combination methods: what a cell holds when several points fall into it.
    // 0: the highest point (largest height) wins.
    enum Method { METHOD_TOP = 0 };

    // `fixedRange`: the grid spans the calibrated X range of the input format;
    // otherwise it spans the X range found in each buffer. `emptyAsNaN`: an
    // empty cell holds NaN; otherwise 0.
    RectificationFilter(unsigned width, int method, bool fixedRange, bool emptyAsNaN);

    int setInput(const DataFormat& format, int scans) override;
    int prepareResult(IconBuffer& result) override;
    int apply(const IconBuffer& input, IconBuffer& output) override;

  private:
    void fillScan(const float* xs, const float* zs, float* outX, float* outZ);

    unsigned width_;
    int method_;
    bool fixedRange_;
    bool emptyAsNaN_;
    DataFormat output_;
    std::string component_;
    std::string xName_;
    std::string rangeName_;
    int inputWidth_ = 0;
    int scans_ = 0;
    double xMin_ = 0.0;
    double xMax_ = 0.0;
    // Made once a buffer of the result's size is given: the X of every cell
    // of a fixed grid, and per scan the cell of every point and the highest
    // point of every cell (the lowest float between scans), with one cell
    // past the grid for the points that fall into none.
    std::vector<float> gridX_;
    std::vector<int32_t> cells_;
    std::vector<float> top_;
};

}  // namespace icon
