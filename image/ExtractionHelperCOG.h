#pragma once

#include <cstdint>

#include "icon/ExtractionFilter.h"
#include "image/ExtractionHelper.h"

// Reads the range of a COG component: the line's position per column is its
// centre of gravity, XSum / Sum.
class ExtractionHelperCOG : public ExtractionHelper {
  public:
    ExtractionHelperCOG(const icon::DataFormat& format, const ImageSource& source, int32_t scans);

    void Extract(const icon::IconBuffer& buffer) override;
    // The low byte of the truncated centre of gravity.
    void FillGrayscale(ImageBuffer& image) override;
    // The centre of gravity as a float; Z also sets X to the column.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

    // The low 13 bits of the Sum word are the sum, the weight of the line:
    // the divisor here, and the intensity of a COG component.
    static uint32_t Sum(uint16_t sumWord) { return sumWord & 0x1FFFu; }

  private:
    // The top 3 bits of the Sum word are bits 16 to 18 of XSum. Computed in
    // 32 bits: the numerator has up to 19.
    static uint32_t Numerator(uint16_t sumWord, uint16_t xsumWord) {
        return ((static_cast<uint32_t>(sumWord) >> 13) << 16) + xsumWord;
    }

    icon::IconBuffer xsumBuffer_;
    icon::ExtractionFilter sumFilter_;
    icon::ExtractionFilter xsumFilter_;
    const uint16_t* sumWords_ = nullptr;
    const uint16_t* xsumWords_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
};
