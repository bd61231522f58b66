#pragma once

#include <cstdint>
#include <string>

namespace icon {
class DataFormat;
class SubComponent;
}  // namespace icon

// One image a camera's data format can deliver.
// Reentrant: a value, fixed once built.
struct ImageSource {
    std::string componentName;
    // For a COG component one of "Mark", "Range", "Intensity".
    std::string subComponentName;
    int32_t componentIndex = 0;
    int32_t subComponentIndex = 0;
    // Range values come from the component's "Sum" and "XSum".
    bool isCog = false;

    // "<component> - <subcomponent>".
    std::string DisplayName() const;

    // The source's subcomponent in `format`, by index; throws
    // "Image '%s' not found in data format" when it is not there.
    const icon::SubComponent& FindSubComponent(const icon::DataFormat& format) const;
};
