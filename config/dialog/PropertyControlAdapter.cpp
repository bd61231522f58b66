#include "config/dialog/PropertyControlAdapter.h"

#include <stdexcept>
#include <typeinfo>

#include "config/Param.h"
#include "config/ParamEnum.h"
#include "config/dialog/PropertyControlAdapterBool.h"
#include "config/dialog/PropertyControlAdapterEnum.h"
#include "config/dialog/PropertyControlAdapterFile.h"
#include "config/dialog/PropertyControlAdapterFloat.h"
#include "config/dialog/PropertyControlAdapterInt.h"
#include "config/dialog/PropertyControlAdapterString.h"
#include "config/dialog/PropertyControlAdapterUInt.h"

namespace {

// One adapter of each kind, made on first use; function-local statics are
// made once even when two threads ask at the same time.
template <typename Adapter>
boost::shared_ptr<PropertyControlAdapter> Shared() {
    static const boost::shared_ptr<PropertyControlAdapter> adapter(new Adapter);
    return adapter;
}

}  // namespace

boost::shared_ptr<PropertyControlAdapter> AdapterFor(const Param_& param) {
    if (param.name == "ConfigurationFile") {
        return Shared<PropertyControlAdapterFile>();
    }
    const std::type_info& type = typeid(param);
    if (type == typeid(Param<bool>)) {
        return Shared<PropertyControlAdapterBool>();
    }
    if (type == typeid(Param<int>)) {
        return Shared<PropertyControlAdapterInt>();
    }
    if (type == typeid(Param<unsigned int>)) {
        return Shared<PropertyControlAdapterUInt>();
    }
    if (type == typeid(Param<double>)) {
        return Shared<PropertyControlAdapterFloat>();
    }
    if (type == typeid(ParamString)) {
        return Shared<PropertyControlAdapterString>();
    }
    if (type == typeid(ParamEnum)) {
        return Shared<PropertyControlAdapterEnum>();
    }
    throw std::runtime_error("Unsupported parameter type");
}

void ThrowSetControlFailed(const Param_& param) {
    throw std::runtime_error("Failed to set control '" + param.name + "' value");
}

void ThrowGetControlFailed(const Param_& param) {
    throw std::runtime_error("Failed to get control '" + param.name + "' value");
}
