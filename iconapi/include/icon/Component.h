#pragma once

#include <string>
#include <vector>

#include "icon/SubComponent.h"

namespace icon {

// A group of subcomponents that one measurement produces. Value types: "COG"
// (centre of gravity: "Sum" and "XSum"), "RANGE" (16-bit range and 8-bit
// intensity), "IMAGE" (sensor image rows), "FLOAT" (calibrated or rectified
// output of a filter).
class Component {
  public:
    Component(std::string name, std::string valueType);

    const std::string& getName() const { return name_; }
    const std::string& getValueType() const { return valueType_; }
    int numSubComponents() const { return static_cast<int>(subComponents_.size()); }
    // Null for an index out of range.
    const SubComponent* getSubComponent(int index) const;
    // Null when no subcomponent has that name.
    const SubComponent* getNamedSubComponent(const std::string& name) const;

    void addSubComponent(const SubComponent& subComponent);

    // The calibrated X range in millimetres, known for "FLOAT" components
    // made by the calibration filter.
    bool hasXRange() const { return hasXRange_; }
    double getXMin() const { return xMin_; }
    double getXMax() const { return xMax_; }
    void setXRange(double xMin, double xMax);

  private:
    std::string name_;
    std::string valueType_;
    std::vector<SubComponent> subComponents_;
    bool hasXRange_ = false;
    double xMin_ = 0.0;
    double xMax_ = 0.0;
};

}  // namespace icon
