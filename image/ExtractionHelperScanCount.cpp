#include "image/ExtractionHelperScanCount.h"

#include <stdexcept>

#include "image/ImageBuffer.h"

ExtractionHelperScanCount::ExtractionHelperScanCount(const icon::DataFormat&, const ImageSource&,
                                                     int32_t scans, float pulsesPerUnit)
    : pulsesPerUnit_(pulsesPerUnit == 0.0f ? 1.0f : pulsesPerUnit), scans_(scans) {}

void ExtractionHelperScanCount::Extract(const icon::IconBuffer&) {}

void ExtractionHelperScanCount::FillGrayscale(ImageBuffer&) {
    throw std::runtime_error("Scan marks not supported for grayscale image");
}

void ExtractionHelperScanCount::FillPointRows(ImageBuffer& image, int32_t coordinate,
                                              ScanRows rows) {
    CheckPointImage(image, coordinate, image.GetWidth(), scans_, rows);
    const size_t stride = static_cast<size_t>(image.GetBytesPerPixel());
    const int32_t width = image.GetWidth();
    uint8_t* point = image.GetData() +
                     static_cast<size_t>(rows.first) * static_cast<size_t>(width) * stride +
                     static_cast<size_t>(coordinate) * sizeof(float);
    for (int32_t scan = rows.first; scan < rows.first + rows.count; ++scan) {
        const float y = static_cast<float>(static_cast<double>(scan) / pulsesPerUnit_);
        for (int32_t column = 0; column < width; ++column, point += stride) {
            StoreFloat(point, y);
        }
    }
}
