#include "image/ImageBuffer.h"

#include <boost/format.hpp>
#include <boost/numeric/conversion/cast.hpp>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/DriverContext.h"
#include "base/Log.h"

ImageBuffer::ImageBuffer(int32_t bitsPerPixel, int32_t width, uint32_t height)
    : width_(width),
      height_(height),
      bitsPerPixel_(bitsPerPixel),
      bytesPerPixel_(bitsPerPixel / 8) {
    // Computed wide, so an image too large for the 32-bit size is refused
    // rather than allocated short.
    Allocate(static_cast<int64_t>(width) * bytesPerPixel_ * static_cast<int64_t>(height));
}

void ImageBuffer::Allocate(int64_t size) {
    if (size <= 0 || size > std::numeric_limits<int32_t>::max()) {
        throw std::runtime_error(
            (boost::format("ImageBuffer::Allocate: Wrong ImageBuffer size: %d") % size).str());
    }
    if (size != byteSize_) {
        data_.reset();
        // Zeroed: a row read before the first image shows nothing, never
        // what the memory held before.
        data_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]());
        byteSize_ = static_cast<int32_t>(size);
    }
    if (!data_) {
        byteSize_ = 0;
        throw std::runtime_error(
            (boost::format("ImageBuffer::Allocate: could not allocate buffer of required size %d") %
             size)
                .str());
    }
}

const uint8_t* ImageBuffer::FindLine(int32_t line) const {
    if (line < 0 || static_cast<uint32_t>(line) >= height_ || !data_) {
        return nullptr;
    }
    const size_t offset = static_cast<size_t>(line) * GetRowBytes();
    if (offset + GetRowBytes() > static_cast<size_t>(byteSize_)) {
        return nullptr;
    }
    return data_.get() + offset;
}

uint8_t* ImageBuffer::GetLine(int32_t line) {
    std::string problem;
    uint8_t* row = LineOrProblem(line, &problem);
    if (row == nullptr) {
        WriteLog(DriverContext::Instance(), 1, "%s", problem.c_str());
    }
    return row;
}

uint8_t* ImageBuffer::LineOrProblem(int32_t line, std::string* problem) {
    if (line >= 0 && line < boost::numeric_cast<int32_t>(height_)) {
        if (!data_) {
            *problem =
                "ImageBuffer::GetLine: ERROR: cannot proceed since it finds unallocated buffer\n";
            return nullptr;
        }
        return data_.get() + static_cast<size_t>(line) * GetRowBytes();
    }
    *problem =
        (boost::format("ImageBuffer::GetLine: ERROR: line index out of range: %d\n") % line).str();
    return nullptr;
}
