#include "image/ExtractionHelperCOG.h"

#include <boost/format.hpp>
#include <stdexcept>

#include "base/IconResult.h"
#include "image/GrayscaleKernels.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

ExtractionHelperCOG::ExtractionHelperCOG(const icon::DataFormat& format, const ImageSource& source,
                                         int32_t scans)
    : sumFilter_(source.componentName, "Sum"),
      xsumFilter_(source.componentName, "XSum"),
      scans_(scans) {
    CheckIconResult(sumFilter_.setInput(format, scans), "Set input for Sum extraction filter");
    CheckIconResult(sumFilter_.prepareResult(outputBuffer_), "Prepare Sum output buffer");
    CheckIconResult(outputBuffer_.getReadPointer(source.componentName, "Sum", sumWords_),
                    "Get Sum read pointer from output buffer");
    CheckIconResult(xsumFilter_.setInput(format, scans), "Set input for Xsum extraction filter");
    CheckIconResult(xsumFilter_.prepareResult(xsumBuffer_), "Prepare Xsum output buffer");
    CheckIconResult(xsumBuffer_.getReadPointer(source.componentName, "XSum", xsumWords_),
                    "Get Xsum read pointer from output buffer");
    // Every element is read from both planes at once.
    width_ = ResultWidth(outputBuffer_);
    if (ResultWidth(xsumBuffer_) != width_) {
        throw std::runtime_error(
            (boost::format("ExtractionHelperCOG: Sum and XSum of '%s' differ in width: %d and %d") %
             source.componentName % width_ % ResultWidth(xsumBuffer_))
                .str());
    }
}

void ExtractionHelperCOG::Extract(const icon::IconBuffer& buffer) {
    CheckDelivered(buffer, outputBuffer_);
    CheckDelivered(buffer, xsumBuffer_);
    CheckIconResult(sumFilter_.apply(buffer, outputBuffer_), "Apply Sum filter");
    CheckIconResult(xsumFilter_.apply(buffer, xsumBuffer_), "Apply Xsum filter");
}

void ExtractionHelperCOG::FillGrayscale(ImageBuffer& image) {
    CheckGrayscaleImage(image, width_, scans_);
    grayscale::FillCog(sumWords_, xsumWords_, image.GetData(),
                       static_cast<size_t>(image.GetByteSize()));
}

void ExtractionHelperCOG::FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) {
    CheckPointImage(image, coordinate, width_, scans_, rows);
    WritePoints(image, coordinate, rows, [sums = sumWords_, xsums = xsumWords_](size_t n) {
        const uint32_t sum = Sum(sums[n]);
        return sum == 0
                   ? 0.0f
                   : static_cast<float>(Numerator(sums[n], xsums[n])) / static_cast<float>(sum);
    });
}
