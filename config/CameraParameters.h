#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

#include <boost/ptr_container/ptr_vector.hpp>

#include "config/Constraint.h"
#include "config/Param.h"

// A named set of parameters in display order, found by name without regard
// to case, checked against ranges and constraints, and stored in the
// settings file. Copies are deep: a copy shares nothing with its source.
// Reentrant: one set is used by one thread at a time; a set several threads reach (a camera's) is
// guarded by its owner.
class CameraParameters {
  public:
    using ParamList = boost::ptr_vector<Param_>;

    explicit CameraParameters(const std::string& name);
    CameraParameters(const CameraParameters& other);
    CameraParameters& operator=(const CameraParameters& other);

    const std::string& Name() const { return name_; }

    // Takes ownership and appends. A later parameter of the same name takes
    // over the name lookup.
    void AddParam(std::unique_ptr<Param_> param);
    // Throws std::runtime_error when the name is not in the set.
    Param_& GetParam(const std::string& name);
    const Param_& GetParam(const std::string& name) const;
    bool HasParam(const std::string& name) const;
    // Takes ownership, appends and attaches the constraint to this set.
    void AddConstraint(std::unique_ptr<Constraint> constraint);

    // The value of a parameter of type int, double or std::string (enum
    // labels included). Throws std::out_of_range for an unknown name and
    // std::runtime_error for a parameter of another type.
    template <typename T>
    T GetParameter(const std::string& name) const;

    // Applies the constraints, then checks every enabled parameter in list
    // order. On the first failure returns false with a message naming it;
    // otherwise returns true and leaves `message` alone. Never throws for a
    // bad value. `invalid`, when given, receives the failing parameter's name.
    bool Validate(std::string& message, std::string* invalid = nullptr);

    // Read and write the persistent, enabled parameters in the settings file
    // of the system directory; without a system directory they do nothing.
    // Load always returns true: a missing file keeps the current values, and
    // Validate reports what is wrong after a load. Save writes every
    // parameter it can and returns false when any was not written, after a
    // level 1 log line per failure naming the file and the reason.
    bool Load();
    bool Save();

    // Display order. Reordering is allowed; adding and removing go through
    // AddParam, which keeps the name lookup in step.
    ParamList& Params() { return params_; }
    const ParamList& Params() const { return params_; }

  private:
    // Orders names as a case-insensitive byte comparison does.
    struct NameLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    void RebuildIndex();
    void Swap(CameraParameters& other) noexcept;

    std::string name_;
    ParamList params_;
    std::map<std::string, Param_*, NameLess> index_;
    boost::ptr_vector<Constraint> constraints_;
};

template <typename T>
T CameraParameters::GetParameter(const std::string& name) const {
    static_assert(
        std::is_same_v<T, int> || std::is_same_v<T, double> || std::is_same_v<T, std::string>,
        "parameters are read as int, double or std::string");
    const auto found = index_.find(name);
    if (found == index_.end()) {
        throw std::out_of_range("Camera::GetParameter: Parameter '" + name + "' does not exist");
    }
    const auto* param = dynamic_cast<const Param<T>*>(found->second);
    if (param == nullptr) {
        throw std::runtime_error("Camera::SetParameter: Paramter '" + name +
                                 "' accessed by wrong type");
    }
    return param->value;
}
