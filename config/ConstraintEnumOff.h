#pragma once

#include <set>
#include <string>

#include "config/Constraint.h"

// Switches the dependent parameters off while the controlling enumeration
// shows one of the off labels, and on otherwise.
class ConstraintEnumOff : public Constraint {
  public:
    ConstraintEnumOff(const std::string& controlName, const char* offLabel);
    // `offLabels` ends with a null pointer.
    ConstraintEnumOff(const std::string& controlName, const char* const* offLabels);
    ConstraintEnumOff(const std::string& controlName, const std::set<std::string>& offLabels);

    // Moves the dependents directly behind the control, keeping their order,
    // so that they are shown under it and stored after it.
    void Attach(CameraParameters& set) override;
    // A disabled control leaves its dependents as they are, so one
    // constraint's dependent can control the next constraint.
    void Apply(CameraParameters& set) override;
    std::unique_ptr<Constraint> Clone() const override;

    std::string controlName;
    std::set<std::string> offLabels;
    // Fill before the set takes the constraint: Attach places them.
    std::set<std::string> dependents;
};
