#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"
#include "image/ImageBuffer.h"

struct ImageSource;

// Scans `first` to `first + count` of a buffer, and so the rows of a 3D
// image made from it.
struct ScanRows {
    int32_t first = 0;
    int32_t count = 0;
};

// Takes one subcomponent out of every delivered scan buffer with a camera API
// filter and writes it into a host image: as 8-bit pixels, or as one float
// coordinate of every 3D point.
// Reentrant: each adapter owns its helpers and runs them on the thread that builds its image.
class ExtractionHelper {
  public:
    virtual ~ExtractionHelper();

    ExtractionHelper(const ExtractionHelper&) = delete;
    ExtractionHelper& operator=(const ExtractionHelper&) = delete;

    // Runs the helper's filter over one delivered buffer. Throws when the
    // buffer does not hold the scans and the layout the helper was set up for.
    virtual void Extract(const icon::IconBuffer& buffer) = 0;
    // Writes every byte of an 8-bit image from what the last Extract left.
    virtual void FillGrayscale(ImageBuffer& image) = 0;
    // Writes float `coordinate` (1 Y, 2 Z, 3 C, 4 I) of every point of a 3D
    // image; point n takes element n of the result.
    void FillPoints(ImageBuffer& image, int32_t coordinate);
    // The same for the points of `rows` only, so that an adapter can finish a
    // few scans of points while they are still in the cache.
    virtual void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) = 0;
    // Called on the main helper of an XYZCI image once contrast and intensity
    // of `rows` are filled, point n with element n. A helper that puts other
    // elements at a point than element n (rectification) gives every point
    // the contrast and intensity of the element it put there; the others
    // leave them as they are.
    virtual void CarryContrastIntensity(ImageBuffer& image, ScanRows rows);

  protected:
    ExtractionHelper() = default;

    // Throws unless `buffer` holds as many scans as `result` and carries the
    // subcomponent of `result` with the same value type and width. Checked
    // once per buffer, so the loops that read the result need no checks.
    static void CheckDelivered(const icon::IconBuffer& buffer, const icon::IconBuffer& result);
    // Values per scan of the subcomponent in `result`.
    static int32_t ResultWidth(const icon::IconBuffer& result);
    // Throws unless the image holds exactly one byte per result element.
    static void CheckGrayscaleImage(const ImageBuffer& image, int32_t width, int32_t scans);
    // Throws unless the image holds `scans` rows of `width` points, each wide
    // enough for float `coordinate`, and `rows` lies within them.
    static void CheckPointImage(const ImageBuffer& image, int32_t coordinate, int32_t width,
                                int32_t scans, ScanRows rows);

    // Point n of the checked rows gets `values[n]` at `coordinate`, bit for
    // bit; Z also brings `xs[n]` as X. For calibrated and rectified points.
    static void CopyPoints(ImageBuffer& image, int32_t coordinate, ScanRows rows,
                           const float* values, const float* xs);

    // Points need not be float-aligned in the image's byte block.
    static void StoreFloat(uint8_t* at, float value) { std::memcpy(at, &value, sizeof value); }

    // Point n of the checked rows gets `valueAt(n)` at `coordinate`; Z also
    // brings X, the point's column.
    template <typename ValueAt>
    static void WritePoints(ImageBuffer& image, int32_t coordinate, ScanRows rows,
                            ValueAt valueAt) {
        if (coordinate == 2) {
            WritePointRows<true>(image, coordinate, rows, valueAt);
        } else {
            WritePointRows<false>(image, coordinate, rows, valueAt);
        }
    }

    template <bool withX, typename ValueAt>
    static void WritePointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows,
                               ValueAt valueAt) {
        const size_t stride = static_cast<size_t>(image.GetBytesPerPixel());
        const size_t offset = static_cast<size_t>(coordinate) * sizeof(float);
        const int32_t width = image.GetWidth();
        size_t n = static_cast<size_t>(rows.first) * static_cast<size_t>(width);
        uint8_t* point = image.GetData() + n * stride;
        for (int32_t scan = 0; scan < rows.count; ++scan) {
            for (int32_t column = 0; column < width; ++column, ++n, point += stride) {
                StoreFloat(point + offset, valueAt(n));
                if constexpr (withX) {
                    StoreFloat(point, static_cast<float>(column));
                }
            }
        }
    }

    icon::IconBuffer outputBuffer_;
};

// The helper that reads `source` out of buffers of `scans` scans of `format`
// for a point coordinate of a 3D image: mark records as scan marks, a COG
// range as centre of gravity, a COG intensity as the weight bits of its
// "Sum" word, anything else directly. A grayscale image has a rule of its
// own, as marks are no image there.
std::unique_ptr<ExtractionHelper> CreateExtractionHelper(const icon::DataFormat& format,
                                                         const ImageSource& source, int32_t scans);
