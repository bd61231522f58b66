#include "image/AdapterRegistry.h"

#include <boost/format.hpp>
#include <boost/thread/shared_mutex.hpp>
#include <stdexcept>

AdapterRegistry::Hold AdapterRegistry::FindByPort(int32_t port) {
    boost::shared_lock<DriverSharedMutex> hold(lock);
    const auto found = adapters.find(port);
    if (found == adapters.end()) {
        throw std::runtime_error((boost::format("No image adapters at port %d") % port).str());
    }
    return Hold(std::move(hold), *found->second);
}

AdapterRegistry::Hold AdapterRegistry::FindByImageId(const std::string& imageName) {
    boost::shared_lock<DriverSharedMutex> hold(lock);
    for (const auto& entry : adapters) {
        if (entry.second->GetImageName() == imageName) {
            return Hold(std::move(hold), *entry.second);
        }
    }
    throw std::runtime_error(
        (boost::format("No image adapters with imageId=%s") % imageName).str());
}
