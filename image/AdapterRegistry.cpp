#include "image/AdapterRegistry.h"

#include <boost/format.hpp>
#include <boost/thread/shared_mutex.hpp>
#include <stdexcept>

#include "image/RowReadGate.h"

namespace {

// Exclusive for a change, reached through the upgradable mode as every change
// is, with the row-read gate closed so no unlocked reader is in the map.
class Changing {
  public:
    explicit Changing(DriverSharedMutex& lock)
        : upgradable_(lock), exclusive_(upgradable_), noRowReads_(RowReadGate::Instance()) {}

  private:
    boost::upgrade_lock<DriverSharedMutex> upgradable_;
    boost::upgrade_to_unique_lock<DriverSharedMutex> exclusive_;
    RowReadGate::Closed noRowReads_;
};

std::runtime_error NoAdapterAt(int32_t port) {
    return std::runtime_error((boost::format("No image adapters at port %d") % port).str());
}

}  // namespace

bool AdapterRegistry::Contains(int32_t port) {
    boost::shared_lock<DriverSharedMutex> lookUp(lock_);
    return adapters_.count(port) != 0;
}

size_t AdapterRegistry::Count() {
    boost::shared_lock<DriverSharedMutex> lookUp(lock_);
    return adapters_.size();
}

std::unique_ptr<ImageAdapter> AdapterRegistry::Insert(int32_t port,
                                                      std::unique_ptr<ImageAdapter> adapter) {
    Changing change(lock_);
    adapters_[port].swap(adapter);
    return adapter;
}

std::unique_ptr<ImageAdapter> AdapterRegistry::Take(int32_t port) {
    Changing change(lock_);
    std::unique_ptr<ImageAdapter> taken;
    const auto found = adapters_.find(port);
    if (found != adapters_.end()) {
        taken = std::move(found->second);
        adapters_.erase(found);
    }
    return taken;
}

AdapterRegistry::Map AdapterRegistry::TakeAll() {
    Changing change(lock_);
    Map taken;
    taken.swap(adapters_);
    return taken;
}

void AdapterRegistry::FinishAnnouncing(int32_t port) {
    boost::shared_lock<DriverSharedMutex> lookUp(lock_);
    for (auto& entry : adapters_) {
        if (port == -1 || entry.first == port) {
            entry.second->FinishAnnouncing();
        }
    }
}

void AdapterRegistry::HandOff(const boost::shared_ptr<const icon::IconBuffer>& buffer) {
    boost::upgrade_lock<DriverSharedMutex> handOff(lock_);
    for (auto& entry : adapters_) {
        entry.second->ProcessBuffer(buffer);
    }
}

AdapterRegistry::Hold AdapterRegistry::FindByPort(int32_t port) {
    boost::shared_lock<DriverSharedMutex> hold(lock_);
    const auto found = adapters_.find(port);
    if (found == adapters_.end()) {
        throw NoAdapterAt(port);
    }
    return Hold(std::move(hold), *found->second);
}

AdapterRegistry::Hold AdapterRegistry::FindByImageId(const std::string& imageName) {
    boost::shared_lock<DriverSharedMutex> hold(lock_);
    for (const auto& entry : adapters_) {
        if (entry.second->GetImageName() == imageName) {
            return Hold(std::move(hold), *entry.second);
        }
    }
    throw std::runtime_error(
        (boost::format("No image adapters with imageId=%s") % imageName).str());
}

bool AdapterRegistry::CopyParameters(const std::string& imageName, CameraParameters& parameters) {
    boost::shared_lock<DriverSharedMutex> lookUp(lock_);
    for (const auto& entry : adapters_) {
        if (entry.second->GetImageName() == imageName) {
            parameters = entry.second->GetParameters();
            return true;
        }
    }
    return false;
}

RowAccess AdapterRegistry::ReadRow(int32_t port, int32_t row) {
    RowAccess access;
    access.hold = boost::shared_lock<DriverSharedMutex>(lock_);
    const auto found = adapters_.find(port);
    if (found == adapters_.end()) {
        throw NoAdapterAt(port);
    }
    ImageAdapter& adapter = *found->second;
    ImageRow view = adapter.GetRow(row);
    access.imageHold = std::move(view.hold);
    access.data = view.data;
    access.rowBytes = view.bytes;
    access.bitsPerPixel = adapter.GetBitsPerPixel();
    access.problem = std::move(view.problem);
    return access;
}

RowAccess AdapterRegistry::ReadRowInsideGate(int32_t port, int32_t row) const {
    RowAccess access;
    const auto found = adapters_.find(port);
    if (found == adapters_.end()) {
        return access;
    }
    const ImageAdapter& adapter = *found->second;
    const ImageRow view = adapter.RowWithoutHold(row);
    access.data = view.data;
    access.rowBytes = view.bytes;
    access.bitsPerPixel = adapter.GetBitsPerPixel();
    return access;
}
