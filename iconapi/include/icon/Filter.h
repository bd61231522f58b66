#pragma once

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"

namespace icon {

// Turns an input buffer into an output buffer. Use: `setInput` with the format
// and the number of scans of the buffers to come, `prepareResult` once on the
// output buffer, then `apply` for every input buffer. Operations answer 0 or
// an IconBuffer result code.
class Filter {
  public:
    virtual ~Filter();

    virtual int setInput(const DataFormat& format, int scans) = 0;
    // Gives `result` the filter's output format and size.
    virtual int prepareResult(IconBuffer& result) = 0;
    virtual int apply(const IconBuffer& input, IconBuffer& output) = 0;
};

}  // namespace icon
