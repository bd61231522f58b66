#include "image/ExtractionHelperDirect.h"

#include <boost/format.hpp>
#include <stdexcept>

#include "base/IconResult.h"
#include "image/GrayscaleKernels.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

ExtractionHelperDirect::ExtractionHelperDirect(const icon::DataFormat& format,
                                               const ImageSource& source, int32_t scans)
    : filter_(source.componentName, source.subComponentName), scans_(scans) {
    CheckIconResult(filter_.setInput(format, scans), "Set input for extraction filter");
    CheckIconResult(filter_.prepareResult(outputBuffer_), "Prepare output buffer");
    const std::string& type =
        outputBuffer_.getDataFormat()->getComponent(0)->getSubComponent(0)->getValueType();
    if (type == "BYTE") {
        CheckIconResult(outputBuffer_.getReadPointer(source.componentName, source.subComponentName,
                                                     bytePixels_),
                        "Get read pointer from output buffer");
    } else if (type == "WORD") {
        CheckIconResult(outputBuffer_.getReadPointer(source.componentName, source.subComponentName,
                                                     wordPixels_),
                        "Get read pointer from output buffer");
    } else {
        throw std::runtime_error(
            (boost::format("ExtractionHelperDirect: Unsupported SubComponent type %s") % type)
                .str());
    }
    width_ = ResultWidth(outputBuffer_);
}

void ExtractionHelperDirect::Extract(const icon::IconBuffer& buffer) {
    CheckDelivered(buffer, outputBuffer_);
    CheckIconResult(filter_.apply(buffer, outputBuffer_), "Apply extraction filter");
}

void ExtractionHelperDirect::FillGrayscale(ImageBuffer& image) {
    CheckGrayscaleImage(image, width_, scans_);
    uint8_t* out = image.GetData();
    const size_t count = static_cast<size_t>(image.GetByteSize());
    if (bytePixels_ != nullptr) {
        std::memcpy(out, bytePixels_, count);
        return;
    }
    grayscale::FillHighBytes(wordPixels_, out, count);
}

void ExtractionHelperDirect::FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) {
    CheckPointImage(image, coordinate, width_, scans_, rows);
    if (bytePixels_ != nullptr) {
        WritePoints(image, coordinate, rows,
                    [values = bytePixels_](size_t n) { return static_cast<float>(values[n]); });
    } else {
        WritePoints(image, coordinate, rows,
                    [values = wordPixels_](size_t n) { return static_cast<float>(values[n]); });
    }
}
