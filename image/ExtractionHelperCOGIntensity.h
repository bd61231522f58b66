#pragma once

#include <cstdint>

#include "icon/ExtractionFilter.h"
#include "image/ExtractionHelper.h"

// Reads the intensity of a COG component: the weight of the line in each
// column, the low 13 bits of its "Sum" word (ExtractionHelperCOG::Sum). The
// top 3 bits of that word are the range's (bits 16 to 18 of XSum), so the
// word as a whole would rise with the line's height as well as with the
// light.
class ExtractionHelperCOGIntensity : public ExtractionHelper {
  public:
    // `source` is the component's "Intensity"; its "Sum" is read.
    ExtractionHelperCOGIntensity(const icon::DataFormat& format, const ImageSource& source,
                                 int32_t scans);

    void Extract(const icon::IconBuffer& buffer) override;
    // The top 8 of the weight's 13 bits, as a 16-bit value gives its top byte.
    void FillGrayscale(ImageBuffer& image) override;
    // The weight as a float; Z also sets X to the column.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

  private:
    icon::ExtractionFilter filter_;
    const uint16_t* sumWords_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
};
