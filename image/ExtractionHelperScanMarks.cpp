#include "image/ExtractionHelperScanMarks.h"

#include <boost/format.hpp>
#include <stdexcept>

#include "base/IconResult.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

namespace {

// Word 0 of a mark record is the encoder count, word 1 carries the
// overtrigger count in bits 16 to 23.
constexpr int32_t kMarkWords = 2;

}  // namespace

ExtractionHelperScanMarks::ExtractionHelperScanMarks(const icon::DataFormat& format,
                                                     const ImageSource& source, int32_t scans,
                                                     float divisor, bool relative)
    : filter_(source.componentName, "Mark"),
      scanCount_(scans),
      divisor_(divisor == 0.0f ? 1.0f : divisor),
      relative_(relative) {
    CheckIconResult(filter_.setInput(format, scans), "Set input for Mark extraction filter");
    CheckIconResult(filter_.prepareResult(outputBuffer_), "Prepare Mark output buffer");
    CheckIconResult(outputBuffer_.getReadPointer(source.componentName, "Mark", marks_),
                    "Get Mark read pointer from output buffer");
    wordsPerScan_ = ResultWidth(outputBuffer_);
    if (wordsPerScan_ < kMarkWords) {
        throw std::runtime_error(
            (boost::format("ExtractionHelperScanMarks: mark records of '%s' hold %d words, "
                           "expected at least %d") %
             source.componentName % wordsPerScan_ % kMarkWords)
                .str());
    }
}

void ExtractionHelperScanMarks::Extract(const icon::IconBuffer& buffer) {
    CheckDelivered(buffer, outputBuffer_);
    CheckIconResult(filter_.apply(buffer, outputBuffer_), "Apply extraction filter");
}

void ExtractionHelperScanMarks::FillGrayscale(ImageBuffer&) {
    throw std::runtime_error("Scan marks not supported for grayscale image");
}

void ExtractionHelperScanMarks::FillPointRows(ImageBuffer& image, int32_t coordinate,
                                              ScanRows rows) {
    CheckPointImage(image, coordinate, image.GetWidth(), scanCount_, rows);
    const size_t stride = static_cast<size_t>(image.GetBytesPerPixel());
    const int32_t width = image.GetWidth();
    const size_t wordsPerScan = static_cast<size_t>(wordsPerScan_);
    // The count wraps as a signed 32-bit value: the travel is taken modulo
    // 2^32, so a buffer that crosses the wrap keeps counting forward. A
    // relative travel counts from the buffer's first scan, whichever rows
    // are written.
    const uint32_t base = relative_ ? marks_[0] : 0;
    const uint32_t* record = marks_ + static_cast<size_t>(rows.first) * wordsPerScan;
    uint8_t* point = image.GetData() +
                     static_cast<size_t>(rows.first) * static_cast<size_t>(width) * stride +
                     static_cast<size_t>(coordinate) * sizeof(float);
    for (int32_t scan = 0; scan < rows.count; ++scan, record += wordsPerScan) {
        const int32_t travel = static_cast<int32_t>(record[0] - base);
        const float y = static_cast<float>(static_cast<double>(travel) / divisor_);
        for (int32_t column = 0; column < width; ++column, point += stride) {
            StoreFloat(point, y);
        }
    }
}

int32_t ExtractionHelperScanMarks::OvertrigCount() const {
    uint32_t count = 0;
    const uint32_t* record = marks_;
    for (int32_t scan = 0; scan < scanCount_; ++scan, record += wordsPerScan_) {
        count += (record[1] >> 16) & 0xFFu;
    }
    return static_cast<int32_t>(count);
}
