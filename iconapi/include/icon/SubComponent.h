#pragma once

#include <string>

namespace icon {

// One named array of values per scan, e.g. the 16-bit "Sum" of a COG
// component. Value types: "BYTE" (8-bit unsigned), "WORD" (16-bit unsigned),
// "MARK" (32-bit words of the mark record), "FLOAT" (32-bit IEEE float).
class SubComponent {
  public:
    SubComponent(std::string name, std::string valueType, int width);

    const std::string& getName() const { return name_; }
    const std::string& getValueType() const { return valueType_; }
    // Values per scan.
    int getWidth() const { return width_; }
    // Bytes per value: 1, 2 or 4; 0 for an unknown value type.
    int getElementSize() const;

  private:
    std::string name_;
    std::string valueType_;
    int width_;
};

}  // namespace icon
