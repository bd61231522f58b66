#pragma once

#include <memory>

class CameraParameters;

// A rule between parameters of one set, which owns it.
class Constraint {
  public:
    virtual ~Constraint() = default;

    // Called once when the set takes the constraint.
    virtual void Attach(CameraParameters& set) = 0;
    // Brings the parameters of `set` in line with the rule.
    virtual void Apply(CameraParameters& set) = 0;
    virtual std::unique_ptr<Constraint> Clone() const = 0;

  protected:
    Constraint() = default;
    Constraint(const Constraint&) = default;
    Constraint& operator=(const Constraint&) = default;
};

// Lets the owning pointer containers copy constraints by their dynamic type.
inline Constraint* new_clone(const Constraint& constraint) {
    return constraint.Clone().release();
}
