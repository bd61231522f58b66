#pragma once

#include <string>

#include "icon/Filter.h"

namespace icon {

// Copies one subcomponent out of each input buffer. The output has one
// component with the input component's name and value type, holding that one
// subcomponent.
class ExtractionFilter : public Filter {
  public:
    ExtractionFilter(const std::string& component, const std::string& subComponent);

    int setInput(const DataFormat& format, int scans) override;
    int prepareResult(IconBuffer& result) override;
    int apply(const IconBuffer& input, IconBuffer& output) override;

  private:
    std::string component_;
    std::string subComponent_;
    DataFormat output_;
    int scans_ = 0;
    int bytesPerScan_ = 0;
};

}  // namespace icon
