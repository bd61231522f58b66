#pragma once

#include <boost/shared_ptr.hpp>
#include <boost/thread/locks.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "base/DriverLock.h"
#include "image/ImageAdapter.h"

namespace icon {
class IconBuffer;
}

// One row of a port's image as the host reads it. The row stays valid while
// this object lives: it holds the camera's adapter map shared, so the port
// cannot be closed under the reader, and a 3D image's own hold, so the image
// is not rewritten under it. `rowBytes` is what the image holds from `data`
// on, taken together with the data. With null data, `problem` says why; the
// reader logs it once this object is gone, as the host's debug procedure may
// close the port.
struct RowAccess {
    boost::shared_lock<DriverSharedMutex> hold;
    boost::shared_lock<DriverSharedMutex> imageHold;
    const void* data = nullptr;  // null when the camera has no row to give
    size_t rowBytes = 0;
    int32_t bitsPerPixel = 0;
    std::string problem;
};

// A camera's image adapters by port, ascending, and the reader/writer lock
// that guards them. Thread-safe: every operation takes the lock itself and
// logs nothing while it holds it; what it finds is returned with a hold, so
// the adapter stays in the map while it is used.
//
// The lock's modes: shared for look-ups and row reads; upgradable for the
// buffer hand-off, which the adapters build images in and call the host from,
// and first for every change, so a change waits for the hand-off without
// holding off the look-ups of a completion callback that the hand-off waits
// for; exclusive, with the row-read gate closed, while an adapter goes in or
// out. Adapters taken out are given to the caller, to be destroyed without
// the lock: a 3D adapter joins its announcing thread, whose host callback may
// be reading rows through this map.
class AdapterRegistry {
  public:
    using Map = std::map<int32_t, std::unique_ptr<ImageAdapter>>;

    // An adapter found in the map, kept there while the hold lives. Holds are
    // kept short and are let go before anything is logged or the host is
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

    bool Contains(int32_t port);
    size_t Count();
    // Puts `adapter` on its port; returns the adapter it replaces, if any.
    std::unique_ptr<ImageAdapter> Insert(int32_t port, std::unique_ptr<ImageAdapter> adapter);
    // Takes the port's adapter out (null when there is none).
    std::unique_ptr<ImageAdapter> Take(int32_t port);
    // Takes every adapter out.
    Map TakeAll();
    // Lets the port's adapter (every adapter for port -1) finish announcing
    // while it can still be found; see ImageAdapter::FinishAnnouncing. Holds
    // the map shared meanwhile, which only a change waits for: the caller
    // serialises changes, so none is waiting.
    void FinishAnnouncing(int32_t port);
    // Hands a delivered buffer to every adapter, in port order, on the
    // calling thread; changes wait until it is done.
    void HandOff(const boost::shared_ptr<const icon::IconBuffer>& buffer);

    // Throws "No image adapters at port %d".
    Hold FindByPort(int32_t port);
    // The first adapter, by port, whose image name equals `imageName` exactly;
    // throws "No image adapters with imageId=%s".
    Hold FindByImageId(const std::string& imageName);
    // Copies the parameter set of the first adapter named `imageName` into
    // `parameters`; false, leaving it alone, when there is none.
    bool CopyParameters(const std::string& imageName, CameraParameters& parameters);

    // Row `row` of the port's image, held; throws "No image adapters at port N".
    RowAccess ReadRow(int32_t port, int32_t row);
    // The same without the lock, for a reader inside the row-read gate: null
    // data when the port has no adapter here or the row needs ReadRow.
    RowAccess ReadRowInsideGate(int32_t port, int32_t row) const;

  private:
    Map adapters_;
    DriverSharedMutex lock_;
};
