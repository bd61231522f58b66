#pragma once

#include <string>
#include <vector>

#include "icon/Component.h"

namespace icon {

// The layout of the scans of a buffer: components with subcomponents. Its text
// form is the XML the camera hands out (see the library's README):
//   <dataformat>
//     <component name="Profile 1" valuetype="COG">
//       <subcomponent name="Sum" valuetype="WORD" width="1536"/> ...
//     </component>
//   </dataformat>
class DataFormat {
  public:
    DataFormat() = default;
    // Parses the text. A text that does not parse leaves the format empty
    // and not valid.
    explicit DataFormat(const std::string& text);

    bool isValid() const { return valid_; }
    int numComponents() const { return static_cast<int>(components_.size()); }
    // Null for an index out of range.
    const Component* getComponent(int index) const;
    // Null when no component has that name.
    const Component* getNamedComponent(const std::string& name) const;
    // Bytes of one scan over all subcomponents.
    int getScanSize() const;

    void addComponent(const Component& component);
    // The text form; parsing it gives an equal format.
    std::string toString() const;

  private:
    std::vector<Component> components_;
    bool valid_ = false;
};

}  // namespace icon
