#include "camera/CameraList.h"

#include <atomic>
#include <boost/format.hpp>
#include <condition_variable>
#include <cstdio>
#include <stdexcept>

#include "base/DriverContext.h"
#include "base/IconResult.h"
#include "base/Log.h"
#include "camera/HostNames.h"
#include "icon/DeviceCollection.h"
#include "icon/EthernetCamera.h"
#include "image/HandOffMark.h"
#include "image/RowReadGate.h"

namespace {

constexpr int kDiscoveryTimeoutMs = 2000;
constexpr size_t kIpAddressBufferSize = 512;

// The one list and the entry points that hold it. The list is set under the
// mutex and read also by row reads inside the RowReadGate, without it.
struct Lifetime {
    DriverMutex mutex;
    std::condition_variable_any released;
    std::atomic<CameraList*> list{nullptr};
    int holds = 0;
    bool destroying = false;
    // Counts the lists destroyed: a hold let go while the user decides
    // belongs to the list of its generation only.
    uint64_t generation = 0;
};

Lifetime& TheLifetime() {
    static Lifetime lifetime;
    return lifetime;
}

// Holds of the list taken on this thread and not yet released.
thread_local int holdsOnThisThread = 0;
// Of those, the ones whose list went while this thread waited for the user:
// they no longer count in the lifetime.
thread_local int lostHoldsOnThisThread = 0;

// "<model> - <MAC from its last byte to its first, lowercase hex>".
std::string DiscoveredCameraName(const icon::DeviceDescription& device) {
    const unsigned char* mac = device.getMacAddress();
    char hex[13];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x%02x%02x", mac[5], mac[4], mac[3], mac[2],
                  mac[1], mac[0]);
    return device.getModelName() + " - " + hex;
}

}  // namespace

CameraList::Hold::~Hold() {
    if (list_ == nullptr) {
        return;
    }
    if (lostHoldsOnThisThread > 0) {
        --lostHoldsOnThisThread;
        --holdsOnThisThread;
        return;
    }
    Lifetime& lifetime = TheLifetime();
    {
        std::lock_guard<DriverMutex> lock(lifetime.mutex);
        --lifetime.holds;
    }
    lifetime.released.notify_all();
    --holdsOnThisThread;
}

CameraList::Hold CameraList::GetInstance() {
    if (DriverContext::Instance()->finalized) {
        throw std::runtime_error(
            "CameraList::GetInstance: ERROR: the driver is finalized; call initialize first");
    }
    return Acquire();
}

CameraList::Hold CameraList::GetInstanceForListing() {
    return Acquire();
}

CameraList::UserWait::UserWait() : parked_(holdsOnThisThread) {
    Lifetime& lifetime = TheLifetime();
    {
        std::lock_guard<DriverMutex> lock(lifetime.mutex);
        lifetime.holds -= parked_;
        generation_ = lifetime.generation;
    }
    lifetime.released.notify_all();
}

CameraList::UserWait::~UserWait() {
    Resume();
}

bool CameraList::UserWait::Resume() {
    if (resumed_) {
        return kept_;
    }
    resumed_ = true;
    Lifetime& lifetime = TheLifetime();
    std::lock_guard<DriverMutex> lock(lifetime.mutex);
    kept_ = !lifetime.destroying && lifetime.generation == generation_;
    if (kept_) {
        lifetime.holds += parked_;
    } else {
        lostHoldsOnThisThread += parked_;
    }
    return kept_;
}

CameraList::Hold CameraList::Acquire() {
    if (lostHoldsOnThisThread > 0) {
        throw std::runtime_error(
            "CameraList::GetInstance: ERROR: the camera list this thread held is gone");
    }
    Lifetime& lifetime = TheLifetime();
    std::lock_guard<DriverMutex> lock(lifetime.mutex);
    if (lifetime.destroying) {
        throw std::runtime_error(
            "CameraList::GetInstance: ERROR: the driver is being finalized on another thread");
    }
    CameraList* list = lifetime.list.load();
    if (list == nullptr) {
        list = new CameraList();
        lifetime.list.store(list);
    }
    ++lifetime.holds;
    ++holdsOnThisThread;
    return Hold(list);
}

// The list goes on this thread and only once no entry point uses it: an entry
// point still running would find its cameras deleted under it. The wait ends:
// what holds the list never waits for this thread, and an entry point called
// meanwhile, also from a completion callback that a close is waiting for,
// fails at once instead of holding the list anew.
void CameraList::DestroyInstance() {
    if (InsideCompletionCallback()) {
        throw std::runtime_error(
            "CameraList::DestroyInstance: the camera list cannot be destroyed from inside a "
            "completion callback");
    }
    if (holdsOnThisThread > 0) {
        throw std::runtime_error(
            "CameraList::DestroyInstance: the camera list cannot be destroyed from inside another "
            "call of the driver");
    }
    Lifetime& lifetime = TheLifetime();
    CameraList* list = nullptr;
    {
        std::unique_lock<DriverMutex> lock(lifetime.mutex);
        if (lifetime.destroying) {
            throw std::runtime_error(
                "CameraList::DestroyInstance: the camera list is being destroyed on another "
                "thread");
        }
        if (lifetime.holds > 0 && InsideDebugProcedure()) {
            throw std::runtime_error(
                "CameraList::DestroyInstance: the camera list is in use on another thread; from "
                "inside the debug procedure the driver does not wait for it");
        }
        lifetime.destroying = true;
        lifetime.released.wait(lock, [&] { return lifetime.holds == 0; });
        RowReadGate::Closed noRowReads(RowReadGate::Instance());
        list = lifetime.list.exchange(nullptr);
    }
    delete list;
    std::lock_guard<DriverMutex> lock(lifetime.mutex);
    ++lifetime.generation;
    lifetime.destroying = false;
}

CameraList* CameraList::InstanceInsideGate() {
    return TheLifetime().list.load();
}

bool CameraList::InsideCompletionCallback() {
    return HandOffMark::IsHandingOffAny();
}

CameraList::CameraList() : context_(DriverContext::Instance()) {
    cameras_.reserve(20);
}

CameraList::~CameraList() {
    WriteLog(context_, 2, "CameraList::~CameraList: entering\n");
    try {
        Destroy();
    } catch (const std::exception& e) {
        WriteLog(context_, 1, "CameraList::~CameraList: ERROR: %s\n", e.what());
    } catch (...) {
        WriteLog(context_, 1, "CameraList::~CameraList: ERROR: cameras not destroyed\n");
    }
    WriteLog(context_, 2, "CameraList::~CameraList: leaving\n");
}

// Discovery runs outside the cameras' lock and logs as it goes; the cameras it
// found are added in one step.
bool CameraList::Init() {
    WriteLog(context_, 2, "CameraList::Init: entering\n");
    std::unique_lock<std::mutex> discovery(discoveryLock_, std::defer_lock);
    if (InsideCompletionCallback() || InsideDebugProcedure()) {
        if (!discovery.try_lock()) {
            WriteLog(context_, 1,
                     "CameraList::Init: ERROR: discovery is running on another thread; from "
                     "inside a completion callback or the debug procedure the driver does not "
                     "wait for it\n");
            return false;
        }
    } else {
        discovery.lock();
    }
    if (!BeginDiscovery()) {
        WriteLog(context_, 2, "CameraList::Init: Already initialized\n");
        return true;
    }
    std::vector<std::unique_ptr<Camera>> found = Discover();
    const bool any = !found.empty();
    {
        std::lock_guard<DriverMutex> lock(camerasLock_);
        for (auto& camera : found) {
            AddCamera(std::move(camera));
        }
        initialized_ = initialized_ || any;
    }
    if (!any) {
        WriteLog(context_, 1, "CameraList::Init: WARNING: no supported cameras found\n");
        return false;
    }
    WriteLog(context_, 2, "CameraList::Init: leaving\n");
    return true;
}

bool CameraList::BeginDiscovery() {
    std::lock_guard<DriverMutex> lock(camerasLock_);
    if (initialized_ || discoveryState_ == kManualCamera) {
        return false;
    }
    discoveryState_ = kDiscoveryStarted;
    return true;
}

std::vector<std::unique_ptr<Camera>> CameraList::Discover() {
    std::vector<std::unique_ptr<Camera>> found;
    try {
        icon::DeviceCollection devices;
        WriteLog(context_, 3, "Scanning for Ethernet Cameras...\n");
        CheckIconResult(icon::EthernetCamera::discoverDevices(devices, kDiscoveryTimeoutMs),
                        "Discover devices");
        int count = devices.deviceCount();
        WriteLog(context_, 3, "Found %d cameras\n", count);
        for (int i = 0; i < count; ++i) {
            const icon::DeviceDescription* device = devices.getDeviceDescription(i);
            if (device == nullptr) {
                continue;
            }
            found.push_back(std::make_unique<Camera>(DiscoveredCameraName(*device).c_str(),
                                                     device->getCurrentIP()));
            WriteLog(context_, 2, "CameraList::Init: %s camera found: %s\n", "b/w",
                     found.back()->GetName().c_str());
        }
    } catch (const std::exception& e) {
        WriteLog(context_, 1, "%s%s\n",
                 "CameraList::Init: ERROR: Failed to enumerate cameras: ", e.what());
    }
    return found;
}

bool CameraList::IsInitialized() {
    std::lock_guard<DriverMutex> lock(camerasLock_);
    return initialized_;
}

Camera* CameraList::Create(const std::string& address) {
    WriteLog(context_, 2, "CameraList::Create: entering\n");
    auto camera = std::make_unique<Camera>(address.c_str(), address);
    Camera* created = camera.get();
    {
        std::lock_guard<DriverMutex> lock(camerasLock_);
        AddCamera(std::move(camera));
        discoveryState_ = kManualCamera;
        initialized_ = true;
    }
    WriteLog(context_, 1, "CameraList::Create: Created camera by IP %s\n", address.c_str());
    return created;
}

// Adding a camera invalidates the name array handed out before, as the host
// was told it would.
void CameraList::AddCamera(std::unique_ptr<Camera> camera) {
    for (int n = 1; n <= 4; ++n) {
        configNames_.push_back((boost::format("%s.%d") % camera->GetName() % n).str());
    }
    cameras_.push_back(std::move(camera));
}

// The shape comes first: only the address part of a four-dot name can be too
// long for the address buffer.
bool CameraList::isIpAddress(const std::string& hostName) {
    if (!HasIpCameraShape(hostName)) {
        return false;
    }
    const std::string address = StripImageSuffix(hostName);
    if (address.size() > kIpAddressBufferSize) {
        WriteLog(context_, 2, "CameraList::isIpAddress: ip address longer than buffer\n");
        return false;
    }
    return IsIpv4Address(address);
}

int32_t CameraList::GetDiscoveryState() {
    std::lock_guard<DriverMutex> lock(camerasLock_);
    return discoveryState_;
}

Camera* CameraList::FindByName(const std::string& hostName) {
    std::lock_guard<DriverMutex> lock(camerasLock_);
    for (const auto& camera : cameras_) {
        if (camera->HasName(hostName)) {
            return camera.get();
        }
    }
    return nullptr;
}

bool CameraList::IsCameraAvailable(const std::string& hostName) {
    WriteLog(context_, 3, "CameraList::IsCameraAvailable:  name=%s\n", hostName.c_str());
    return FindByName(hostName) != nullptr;
}

Camera* CameraList::GetByName(const std::string& hostName) {
    WriteLog(context_, 3, "CameraList::GetByName: entering %s\n", hostName.c_str());
    Camera* camera = FindByName(hostName);
    if (camera == nullptr) {
        throw std::runtime_error(
            (boost::format("CameraList::GetByName: ERROR: could not find camera %s") % hostName)
                .str());
    }
    WriteLog(context_, 3, "CameraList::GetByName: leaving %s\n", hostName.c_str());
    return camera;
}

Camera* CameraList::GetByPort(int32_t port) {
    boost::shared_lock<DriverSharedMutex> lookUp(portLock_);
    auto found = portMap_.find(port);
    if (found == portMap_.end()) {
        throw std::runtime_error(
            (boost::format("CameraList::GetByPort: could not find camera on port %d") % port)
                .str());
    }
    return found->second;
}

Camera* CameraList::FindByPortInsideGate(int32_t port) const {
    const auto found = portMap_.find(port);
    return found == portMap_.end() ? nullptr : found->second;
}

// Whether the camera mapped to the port still has it open is asked outside
// the port lock: the camera's own lock is held by a hand-off whose completion
// callback may look ports up.
std::string CameraList::ClaimPort(int32_t port, Camera* camera) {
    Camera* mapped = nullptr;
    {
        boost::unique_lock<DriverSharedMutex> change(portLock_);
        if (!claimedPorts_.insert(port).second) {
            return (boost::format("port %d is being opened on another thread") % port).str();
        }
        const auto found = portMap_.find(port);
        mapped = found != portMap_.end() ? found->second : nullptr;
    }
    if (mapped != nullptr && mapped != camera && mapped->IsOpenOn(port)) {
        EndClaim(port, camera, false);
        return (boost::format("port %d is open on camera %s; close it first") % port %
                mapped->GetName())
            .str();
    }
    return "";
}

void CameraList::EndClaim(int32_t port, Camera* camera, bool opened) {
    if (opened) {
        MapCamera(port, camera);
    }
    boost::unique_lock<DriverSharedMutex> change(portLock_);
    claimedPorts_.erase(port);
}

// Lines are logged outside the port lock: the host's debug procedure may look
// ports up.
void CameraList::MapCamera(int32_t port, Camera* camera) {
    boost::unique_lock<DriverSharedMutex> change(portLock_);
    const bool replaced = portMap_.count(port) != 0;
    {
        RowReadGate::Closed noRowReads(RowReadGate::Instance());
        portMap_[port] = camera;
    }
    change.unlock();
    if (replaced) {
        WriteLog(context_, 1, "CameraList::MapCamera: WARNING: There is camera on port %d\n", port);
    }
}

void CameraList::UnmapCamera(int32_t port, Camera* camera) {
    boost::unique_lock<DriverSharedMutex> change(portLock_);
    const auto found = portMap_.find(port);
    if (found == portMap_.end()) {
        change.unlock();
        WriteLog(context_, 1, "CameraList::UnmapCamera: WARNING: There is no camera on port %d\n",
                 port);
        return;
    }
    if (found->second == camera) {
        RowReadGate::Closed noRowReads(RowReadGate::Instance());
        portMap_.erase(found);
    }
}

int CameraList::GetConfigCount() {
    if (!IsInitialized()) {
        Init();
    }
    std::lock_guard<DriverMutex> lock(camerasLock_);
    return static_cast<int>(configNames_.size());
}

const char** CameraList::GetConfigNames() {
    if (!IsInitialized()) {
        Init();
    }
    {
        std::lock_guard<DriverMutex> lock(camerasLock_);
        configNameArray_.reset();
    }
    if (!IsInitialized()) {
        Init();
    }
    std::lock_guard<DriverMutex> lock(camerasLock_);
    configNameArray_ = std::make_unique<const char*[]>(configNames_.size() + 1);
    for (size_t i = 0; i < configNames_.size(); ++i) {
        configNameArray_[i] = configNames_[i].c_str();
    }
    configNameArray_[configNames_.size()] = nullptr;
    return configNameArray_.get();
}

void CameraList::Destroy() {
    if (InsideCompletionCallback()) {
        throw std::runtime_error(
            "CameraList::Destroy: the cameras cannot be destroyed from inside a completion "
            "callback");
    }
    WriteLog(context_, 2, "CameraList::Destroy: entering\n");
    {
        boost::unique_lock<DriverSharedMutex> change(portLock_);
        RowReadGate::Closed noRowReads(RowReadGate::Instance());
        portMap_.clear();
    }
    // Every camera stops handing buffers on before the first is closed, so
    // the closes wait for one callback per camera at most, all at once.
    for (auto& camera : cameras_) {
        camera->RefuseBuffers();
    }
    for (auto& camera : cameras_) {
        camera.reset();
    }
    cameras_.clear();
    configNameArray_.reset();
    WriteLog(context_, 2, "CameraList::Destroy: leaving\n");
    initialized_ = false;
}
