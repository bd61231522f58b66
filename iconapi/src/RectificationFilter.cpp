#include "icon/RectificationFilter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "CalibrationKernels.h"
#include "Simulator.h"

namespace icon {
namespace {

int fault(const char* operation) {
    return detail::Simulator::instance().globalFault(operation);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The first "<name> X" subcomponent with a matching "<name> R" of the same
// width.
bool findPair(const Component& c, std::string& xName, std::string& rangeName, int& width) {
    for (int i = 0; i < c.numSubComponents(); ++i) {
        const SubComponent* x = c.getSubComponent(i);
        if (x->getValueType() != "FLOAT" || !endsWith(x->getName(), " X")) {
            continue;
        }
        const std::string r = x->getName().substr(0, x->getName().size() - 2) + " R";
        const SubComponent* range = c.getNamedSubComponent(r);
        if (range != nullptr && range->getValueType() == "FLOAT" &&
            range->getWidth() == x->getWidth()) {
            xName = x->getName();
            rangeName = r;
            width = x->getWidth();
            return true;
        }
    }
    return false;
}

int planeWidth(const IconBuffer& buffer, const std::string& component, const std::string& sub) {
    const Component* c = buffer.getDataFormat()->getNamedComponent(component);
    const SubComponent* s = c == nullptr ? nullptr : c->getNamedSubComponent(sub);
    return s == nullptr ? -1 : s->getWidth();
}

void scanRange(const float* xs, int count, double& xMin, double& xMax) {
    xMin = std::numeric_limits<double>::infinity();
    xMax = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i) {
        if (std::isfinite(xs[i])) {
            xMin = std::min<double>(xMin, xs[i]);
            xMax = std::max<double>(xMax, xs[i]);
        }
    }
}

// The X of the middle of every cell.
void cellCentres(double xMin, double cell, unsigned width, float* xs) {
    for (unsigned k = 0; k < width; ++k) {
        xs[k] = static_cast<float>(xMin + (k + 0.5) * cell);
    }
}

}  // namespace

RectificationFilter::RectificationFilter(unsigned width, int method, bool fixedRange,
                                         bool emptyAsNaN)
    : width_(width), method_(method), fixedRange_(fixedRange), emptyAsNaN_(emptyAsNaN) {}

int RectificationFilter::setInput(const DataFormat& format, int scans) {
    if (int code = fault("RectificationFilter::setInput")) {
        return code;
    }
    const Component* c = format.getComponent(0);
    if (c == nullptr) {
        return IconBuffer::E_COMPONENT_NOT_FOUND;
    }
    if (!findPair(*c, xName_, rangeName_, inputWidth_)) {
        return IconBuffer::E_SUBCOMPONENT_NOT_FOUND;
    }
    if (method_ != METHOD_TOP || (fixedRange_ && !c->hasXRange())) {
        return IconBuffer::E_UNSUPPORTED_LAYOUT;
    }
    if (width_ == 0 || scans <= 0) {
        return IconBuffer::E_SPACE_UNAVAILABLE;
    }
    component_ = c->getName();
    scans_ = scans;
    xMin_ = c->getXMin();
    xMax_ = c->getXMax();
    Component out(component_, "FLOAT");
    out.addSubComponent(SubComponent("Range", "FLOAT", static_cast<int>(width_)));
    out.addSubComponent(SubComponent("X", "FLOAT", static_cast<int>(width_)));
    if (fixedRange_) {
        out.setXRange(xMin_, xMax_);
    }
    output_ = DataFormat();
    output_.addComponent(out);
    gridX_.clear();
    cells_.clear();
    top_.clear();
    return IconBuffer::E_ALL_OK;
}

int RectificationFilter::prepareResult(IconBuffer& result) {
    if (int code = fault("RectificationFilter::prepareResult")) {
        return code;
    }
    return result.init(output_, scans_);
}

void RectificationFilter::fillScan(const float* xs, const float* zs, float* outX, float* outZ) {
    double xMin = xMin_;
    double xMax = xMax_;
    if (!fixedRange_) {
        scanRange(xs, inputWidth_, xMin, xMax);
    }
    const double cell = (xMax - xMin) / width_;
    if (fixedRange_) {
        std::copy(gridX_.begin(), gridX_.end(), outX);
    } else {
        cellCentres(xMin, cell, width_, outX);
    }
    const detail::KernelPath path = detail::widestPath();
    if (cell > 0.0) {
        const detail::Grid grid{xMin, xMax, cell, static_cast<int32_t>(width_)};
        detail::cellsOf(path, grid, xs, zs, inputWidth_, cells_.data());
        // Points outside the grid go to the cell past it, which is dropped.
        for (int i = 0; i < inputWidth_; ++i) {
            float& top = top_[static_cast<size_t>(cells_[i])];
            top = std::max(top, zs[i]);
        }
        top_[width_] = -std::numeric_limits<float>::infinity();
    }
    const float empty = emptyAsNaN_ ? std::numeric_limits<float>::quiet_NaN() : 0.0f;
    detail::takeCells(path, top_.data(), static_cast<int32_t>(width_), empty, outZ);
}

int RectificationFilter::apply(const IconBuffer& input, IconBuffer& output) {
    if (int code = fault("RectificationFilter::apply")) {
        return code;
    }
    const float* xs = nullptr;
    const float* zs = nullptr;
    float* outX = nullptr;
    float* outZ = nullptr;
    const int width = static_cast<int>(width_);
    if (input.getHeight() != scans_ || output.getHeight() != scans_ ||
        planeWidth(input, component_, xName_) != inputWidth_ ||
        planeWidth(input, component_, rangeName_) != inputWidth_ ||
        planeWidth(output, component_, "X") != width ||
        planeWidth(output, component_, "Range") != width) {
        return IconBuffer::E_UNSUPPORTED_LAYOUT;
    }
    for (int code : {input.getReadPointer(component_, xName_, xs),
                     input.getReadPointer(component_, rangeName_, zs),
                     output.getWritePointer(component_, "X", outX),
                     output.getWritePointer(component_, "Range", outZ)}) {
        if (code != 0) {
            return code;
        }
    }
    // The output's planes hold `width` cells, so the grid has at most
    // INT_MAX of them.
    if (top_.size() != width_ + size_t{1}) {
        top_.assign(width_ + size_t{1}, -std::numeric_limits<float>::infinity());
        cells_.resize(static_cast<size_t>(inputWidth_));
        if (fixedRange_) {
            gridX_.resize(width_);
            cellCentres(xMin_, (xMax_ - xMin_) / width_, width_, gridX_.data());
        }
    }
    for (int scan = 0; scan < scans_; ++scan) {
        const size_t in = static_cast<size_t>(scan) * static_cast<size_t>(inputWidth_);
        const size_t out = static_cast<size_t>(scan) * width_;
        fillScan(xs + in, zs + in, outX + out, outZ + out);
    }
    return IconBuffer::E_ALL_OK;
}

}  // namespace icon
