#include "image/ExtractionHelperCOGIntensity.h"

#include "base/IconResult.h"
#include "image/ExtractionHelperCOG.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

namespace {

// The weight has 13 bits; its top 8 make the byte.
constexpr int kWeightToByte = 5;

}  // namespace

// The steps and their labels are those of a direct helper on "Sum": only the
// reading of the words differs.
ExtractionHelperCOGIntensity::ExtractionHelperCOGIntensity(const icon::DataFormat& format,
                                                           const ImageSource& source, int32_t scans)
    : filter_(source.componentName, "Sum"), scans_(scans) {
    CheckIconResult(filter_.setInput(format, scans), "Set input for extraction filter");
    CheckIconResult(filter_.prepareResult(outputBuffer_), "Prepare output buffer");
    CheckIconResult(outputBuffer_.getReadPointer(source.componentName, "Sum", sumWords_),
                    "Get read pointer from output buffer");
    width_ = ResultWidth(outputBuffer_);
}

void ExtractionHelperCOGIntensity::Extract(const icon::IconBuffer& buffer) {
    CheckDelivered(buffer, outputBuffer_);
    CheckIconResult(filter_.apply(buffer, outputBuffer_), "Apply extraction filter");
}

void ExtractionHelperCOGIntensity::FillGrayscale(ImageBuffer& image) {
    CheckGrayscaleImage(image, width_, scans_);
    uint8_t* bytes = image.GetData();
    const auto count = static_cast<size_t>(image.GetByteSize());
    for (size_t n = 0; n < count; ++n) {
        bytes[n] = static_cast<uint8_t>(ExtractionHelperCOG::Sum(sumWords_[n]) >> kWeightToByte);
    }
}

void ExtractionHelperCOGIntensity::FillPointRows(ImageBuffer& image, int32_t coordinate,
                                                 ScanRows rows) {
    CheckPointImage(image, coordinate, width_, scans_, rows);
    WritePoints(image, coordinate, rows, [sums = sumWords_](size_t n) {
        return static_cast<float>(ExtractionHelperCOG::Sum(sums[n]));
    });
}
