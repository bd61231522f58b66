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
    void FillPoints(ImageBuffer& image, int32_t coordinate) override;

  private:
    // The top 3 bits of the Sum word are bits 16 to 18 of XSum; the low 13
    // bits are the sum. Computed in 32 bits: the numerator has up to 19.
    static uint32_t Numerator(uint16_t sumWord, uint16_t xsumWord) {
        return ((static_cast<uint32_t>(sumWord) >> 13) << 16) + xsumWord;
    }
    static uint32_t Sum(uint16_t sumWord) { return sumWord & 0x1FFFu; }
    // The low byte of numerator / sum, truncated; 0 for a sum of 0. The
    // quotient is taken in float, which vectorises where integer division
    // does not, and is exact after truncation: both operands are exact in
    // float, and the rounding error of a quotient below 2^19 / sum is below
    // 2^-5 / sum, less than the distance 1 / sum of an inexact quotient to
    // the next integer.
    static uint8_t TruncatedCog(uint16_t sumWord, uint16_t xsumWord) {
        const int32_t sum = static_cast<int32_t>(Sum(sumWord));
        const float quotient =
            static_cast<float>(static_cast<int32_t>(Numerator(sumWord, xsumWord))) /
            static_cast<float>(sum + (sum == 0));
        const int32_t truncated = static_cast<int32_t>(quotient);
        return static_cast<uint8_t>(truncated & -static_cast<int32_t>(sum != 0));
    }

    icon::IconBuffer xsumBuffer_;
    icon::ExtractionFilter sumFilter_;
    icon::ExtractionFilter xsumFilter_;
    const uint16_t* sumWords_ = nullptr;
    const uint16_t* xsumWords_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
};
