#pragma once

#include <boost/thread/shared_mutex.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "image/ImageAdapter.h"

// A camera's image adapters by port, ascending, with the reader/writer lock
// that guards them: shared for look-ups, upgradable for the buffer hand-off
// and for closing, exclusive while adapters are inserted or deleted. The
// camera takes the lock itself for those; the look-ups below take it shared.
struct AdapterRegistry {
    using Map = std::map<int32_t, std::unique_ptr<ImageAdapter>>;

    // Throws "No image adapters at port %d".
    ImageAdapter& FindByPort(int32_t port);
    // The first adapter, by port, whose image name equals `imageName` exactly;
    // throws "No image adapters with imageId=%s".
    ImageAdapter& FindByImageId(const std::string& imageName);

    Map adapters;
    boost::shared_mutex lock;
};
