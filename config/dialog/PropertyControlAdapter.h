#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <stdexcept>

class CPropertyGrid;
class Param_;

// Bridges one parameter type and its grid item: adds the item, writes the
// parameter into it, reads it back. Stateless: one process-wide object of each
// kind serves every page on any thread.
// Bound to the dialog's thread, as the page that owns it.
class PropertyControlAdapter {
  public:
    virtual ~PropertyControlAdapter() = default;

    // Adds an item showing the parameter, editable while the parameter is
    // enabled; returns its ID (-1 when the grid refused it).
    virtual int32_t AddItem(Param_& param, CPropertyGrid& grid, int32_t section) = 0;
    // Writes the parameter's value into an existing item. Throws
    // "Failed to set control '<name>' value" when the grid refuses it.
    virtual void SetControl(Param_& param, CPropertyGrid& grid, int32_t item) = 0;
    // Reads the item's value into the parameter. Throws
    // "Failed to get control '<name>' value" when the grid refuses it.
    virtual void GetControl(Param_& param, CPropertyGrid& grid, int32_t item) = 0;

  protected:
    PropertyControlAdapter() = default;
};

// Thrown by GetControl for a value the parameter's type cannot hold; the
// parameter keeps the value it had. The text says why, for the user.
class RefusedValue : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The adapter for a parameter: the file adapter for "ConfigurationFile",
// otherwise by the parameter's exact type. Throws "Unsupported parameter type"
// for a type without one.
boost::shared_ptr<PropertyControlAdapter> AdapterFor(const Param_& param);

// The texts the adapters throw with when the grid refuses a value.
[[noreturn]] void ThrowSetControlFailed(const Param_& param);
[[noreturn]] void ThrowGetControlFailed(const Param_& param);
