#include "image/ExtractionHelper.h"

#include <boost/format.hpp>
#include <stdexcept>

#include "image/ExtractionHelperCOG.h"
#include "image/ExtractionHelperCOGIntensity.h"
#include "image/ExtractionHelperDirect.h"
#include "image/ExtractionHelperScanMarks.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

namespace {

const icon::Component& ResultComponent(const icon::IconBuffer& result) {
    return *result.getDataFormat()->getComponent(0);
}

const icon::SubComponent& ResultSubComponent(const icon::IconBuffer& result) {
    return *ResultComponent(result).getSubComponent(0);
}

std::runtime_error ImageMismatch(const ImageBuffer& image, int32_t width, int32_t scans,
                                 int32_t bytesPerPoint) {
    return std::runtime_error(
        (boost::format("ExtractionHelper: image of %d x %d pixels of %d bytes (%d bytes in all) "
                       "cannot take %d x %d values of %d bytes") %
         image.GetWidth() % image.GetHeight() % image.GetBytesPerPixel() % image.GetByteSize() %
         width % scans % bytesPerPoint)
            .str());
}

}  // namespace

ExtractionHelper::~ExtractionHelper() = default;

void ExtractionHelper::CheckDelivered(const icon::IconBuffer& buffer,
                                      const icon::IconBuffer& result) {
    if (buffer.getHeight() != result.getHeight()) {
        throw std::runtime_error(
            (boost::format("ExtractionHelper: buffer holds %d scans, expected %d") %
             buffer.getHeight() % result.getHeight())
                .str());
    }
    const icon::Component& component = ResultComponent(result);
    const icon::SubComponent& expected = ResultSubComponent(result);
    const icon::Component* delivered =
        buffer.getDataFormat()->getNamedComponent(component.getName());
    const icon::SubComponent* sub =
        delivered == nullptr ? nullptr : delivered->getNamedSubComponent(expected.getName());
    if (sub == nullptr || sub->getValueType() != expected.getValueType() ||
        sub->getWidth() != expected.getWidth()) {
        throw std::runtime_error(
            (boost::format("ExtractionHelper: buffer has no subcomponent '%s - %s' of type %s "
                           "and width %d") %
             component.getName() % expected.getName() % expected.getValueType() %
             expected.getWidth())
                .str());
    }
}

int32_t ExtractionHelper::ResultWidth(const icon::IconBuffer& result) {
    return ResultSubComponent(result).getWidth();
}

void ExtractionHelper::CheckGrayscaleImage(const ImageBuffer& image, int32_t width, int32_t scans) {
    if (static_cast<int64_t>(image.GetByteSize()) != static_cast<int64_t>(width) * scans) {
        throw ImageMismatch(image, width, scans, 1);
    }
}

void ExtractionHelper::CarryContrastIntensity(ImageBuffer&, ScanRows) {}

void ExtractionHelper::FillPoints(ImageBuffer& image, int32_t coordinate) {
    FillPointRows(image, coordinate, {0, static_cast<int32_t>(image.GetHeight())});
}

void ExtractionHelper::CheckPointImage(const ImageBuffer& image, int32_t coordinate, int32_t width,
                                       int32_t scans, ScanRows rows) {
    if (coordinate < 1 || coordinate > 4) {
        throw std::runtime_error(
            (boost::format("ExtractionHelper: no point coordinate %d") % coordinate).str());
    }
    const int32_t bytesPerPoint = image.GetBytesPerPixel();
    const int64_t needed = static_cast<int64_t>(width) * scans * bytesPerPoint;
    if (image.GetWidth() != width || image.GetHeight() != static_cast<uint32_t>(scans) ||
        bytesPerPoint < static_cast<int32_t>((coordinate + 1) * sizeof(float)) ||
        image.GetByteSize() < needed) {
        throw ImageMismatch(image, width, scans,
                            static_cast<int32_t>((coordinate + 1) * sizeof(float)));
    }
    if (rows.first < 0 || rows.count < 0 || rows.count > scans - rows.first) {
        throw std::runtime_error((boost::format("ExtractionHelper: scans %d to %d of %d") %
                                  rows.first % (int64_t{rows.first} + rows.count) % scans)
                                     .str());
    }
}

namespace {

// Copies one float word of every point. Words are copied as integers, so NaN
// payloads and signed zeros arrive unchanged. `fixed` is the point size when
// it is known at compile time (the two 3D formats), else 0 and `anyStride`
// holds it. The image and the filter's output are separate blocks.
template <size_t fixed, bool withX>
void CopyWords(uint8_t* __restrict points, size_t count, size_t anyStride, size_t offset,
               const float* __restrict values, const float* __restrict xs) {
    const size_t stride = fixed != 0 ? fixed : anyStride;
    for (size_t n = 0; n < count; ++n, points += stride) {
        std::memcpy(points + offset, values + n, sizeof(float));
        if constexpr (withX) {
            std::memcpy(points, xs + n, sizeof(float));
        }
    }
}

template <size_t fixed>
void CopyWordsOfStride(uint8_t* points, size_t count, size_t anyStride, int32_t coordinate,
                       const float* values, const float* xs) {
    const size_t offset = static_cast<size_t>(coordinate) * sizeof(float);
    if (coordinate == 2) {
        CopyWords<fixed, true>(points, count, anyStride, offset, values, xs);
    } else {
        CopyWords<fixed, false>(points, count, anyStride, offset, values, xs);
    }
}

}  // namespace

void ExtractionHelper::CopyPoints(ImageBuffer& image, int32_t coordinate, ScanRows rows,
                                  const float* values, const float* xs) {
    const auto width = static_cast<size_t>(image.GetWidth());
    const size_t first = static_cast<size_t>(rows.first) * width;
    const size_t count = static_cast<size_t>(rows.count) * width;
    const auto stride = static_cast<size_t>(image.GetBytesPerPixel());
    uint8_t* points = image.GetData() + first * stride;
    values += first;
    if (xs != nullptr) {
        xs += first;
    }
    switch (stride) {
        case 12:
            return CopyWordsOfStride<12>(points, count, stride, coordinate, values, xs);
        case 20:
            return CopyWordsOfStride<20>(points, count, stride, coordinate, values, xs);
        default:
            return CopyWordsOfStride<0>(points, count, stride, coordinate, values, xs);
    }
}

std::unique_ptr<ExtractionHelper> CreateExtractionHelper(const icon::DataFormat& format,
                                                         const ImageSource& source, int32_t scans) {
    if (source.subComponentName == "Mark") {
        return std::make_unique<ExtractionHelperScanMarks>(format, source, scans, 1.0f, false);
    }
    if (!source.isCog) {
        return std::make_unique<ExtractionHelperDirect>(format, source, scans);
    }
    if (source.subComponentName != "Intensity") {
        return std::make_unique<ExtractionHelperCOG>(format, source, scans);
    }
    return std::make_unique<ExtractionHelperCOGIntensity>(format, source, scans);
}
