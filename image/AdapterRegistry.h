#pragma once

#include <boost/thread/locks.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "driver/DriverLock.h"
#include "image/ImageAdapter.h"

// A camera's image adapters by port, ascending, with the reader/writer lock
// that guards them: shared for look-ups, upgradable for the buffer hand-off
// and for closing, exclusive while adapters are inserted or deleted. The
// camera takes the lock itself for those; the look-ups below take it shared.
struct AdapterRegistry {
    using Map = std::map<int32_t, std::unique_ptr<ImageAdapter>>;

    // An adapter found in the map, kept there while the hold lives: the map
    // stays held shared, so its port cannot be closed under the user. Holds
    // are kept short and are let go before anything is logged or the host is
    // called, as the host may close the port from there.
    class Hold {
      public:
        Hold(boost::shared_lock<DriverSharedMutex> lock, ImageAdapter& adapter)
            : lock_(std::move(lock)), adapter_(&adapter) {}

        ImageAdapter* operator->() const { return adapter_; }
        ImageAdapter& operator*() const { return *adapter_; }

      private:
        boost::shared_lock<DriverSharedMutex> lock_;
        ImageAdapter* adapter_;
    };

    // Throws "No image adapters at port %d".
    Hold FindByPort(int32_t port);
    // The first adapter, by port, whose image name equals `imageName` exactly;
    // throws "No image adapters with imageId=%s".
    Hold FindByImageId(const std::string& imageName);

    Map adapters;
    DriverSharedMutex lock;
};
