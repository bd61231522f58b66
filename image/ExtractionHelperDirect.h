#pragma once

#include <cstdint>

#include "icon/ExtractionFilter.h"
#include "image/ExtractionHelper.h"

// Reads an 8-bit or 16-bit subcomponent as it is.
class ExtractionHelperDirect : public ExtractionHelper {
  public:
    ExtractionHelperDirect(const icon::DataFormat& format, const ImageSource& source,
                           int32_t scans);

    void Extract(const icon::IconBuffer& buffer) override;
    // 8-bit values are copied, 16-bit values give their high byte.
    void FillGrayscale(ImageBuffer& image) override;
    // The value goes to `coordinate` unscaled; Z also sets X to the column.
    void FillPointRows(ImageBuffer& image, int32_t coordinate, ScanRows rows) override;

  private:
    icon::ExtractionFilter filter_;
    // One of the two is set, by the subcomponent's value type.
    const uint8_t* bytePixels_ = nullptr;
    const uint16_t* wordPixels_ = nullptr;
    int32_t width_ = 0;
    int32_t scans_ = 0;
};
