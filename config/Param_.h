#pragma once

#include <memory>
#include <ostream>
#include <string>

// A named, typed setting of a parameter set. The set owns it; the settings
// file, the configuration dialog and the host's property calls work on it
// through its text form.
// Reentrant, as the set that owns it.
class Param_ {
  public:
    Param_(const std::string& category, const std::string& name, bool enabled = true);
    virtual ~Param_() = default;

    Param_& operator=(const Param_&) = delete;

    // Copies names, flags, description and the typed fields. Throws
    // std::bad_cast, changing nothing, when `other` is of another type.
    virtual void Assign(const Param_& other);
    // With `clamp`, a value outside [min, max] is moved to the nearer bound,
    // whether or not the parameter has a range.
    virtual void FromString(const std::string& text, bool clamp) = 0;
    // The returned text stays valid until the next call on this parameter.
    virtual const std::string& ToString() = 0;
    virtual bool IsValid() const = 0;
    // Writes "name=value" and a line feed.
    virtual void Write(std::ostream& stream) = 0;
    // Writes "[min..max]" when the parameter has a range, else nothing.
    virtual void WriteRange(std::ostream& stream) const = 0;
    // Whether the value is the one the parameter was made with, and a way
    // back to it.
    virtual bool IsDefault() const = 0;
    virtual void ResetToDefault() = 0;
    virtual std::unique_ptr<Param_> Clone() const = 0;

    std::string name;
    std::string category;
    // Constraints switch this; an inactive parameter is neither loaded,
    // saved nor validated.
    bool enabled;
    // Stored in section "General" instead of the set's own section.
    bool general = false;
    bool persistent = true;
    bool visible = true;
    std::string description;

  protected:
    Param_(const Param_&) = default;
};

// Lets the owning pointer containers copy parameters by their dynamic type.
inline Param_* new_clone(const Param_& param) {
    return param.Clone().release();
}
