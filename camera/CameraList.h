#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/DriverLock.h"
#include "camera/Camera.h"

class DriverContext;

// The registry of cameras: discovered ones and ones the host names by IP
// address, their configuration names, and which camera is open on which port.
// Used from the host's entry points, on any of the host's threads and from
// inside completion callbacks: the cameras and names are guarded by one lock,
// the port map by another, and the list itself lives while any entry point
// holds it.
// Thread-safe; a Hold is bound to the thread that took it.
class CameraList {
  public:
    // The list as one entry point uses it: it is not destroyed while a hold
    // lives. Bound to the thread that took it.
    class Hold {
      public:
        Hold(Hold&& other) noexcept : list_(other.list_) { other.list_ = nullptr; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        Hold& operator=(Hold&&) = delete;
        ~Hold();

        CameraList* operator->() const { return list_; }

      private:
        friend class CameraList;
        explicit Hold(CameraList* list) : list_(list) {}

        CameraList* list_;
    };

    // Lets go of the holds of the calling thread while it waits for the user
    // in a modal window: finalize need not wait for a user, and destroys the
    // list meanwhile if it comes. Bound to the thread that made it.
    class UserWait {
      public:
        UserWait();
        ~UserWait();
        UserWait(const UserWait&) = delete;
        UserWait& operator=(const UserWait&) = delete;

        // Takes the holds back. False when the list went, or is going,
        // meanwhile: nothing reached through them may be used again, and the
        // thread takes no new hold before they are gone.
        bool Resume();

      private:
        int parked_;
        uint64_t generation_;
        bool resumed_ = false;
        bool kept_ = false;
    };

    // The list, created on first use, held for the caller. Throws while the
    // list is being destroyed, and after the last finalize until the next
    // initialize.
    static Hold GetInstance();
    // The same for the two listing calls, which also answer after the last
    // finalize: they open no camera.
    static Hold GetInstanceForListing();
    // Deletes the list and every camera in it, on this thread, once no entry
    // point holds it; entry points that start meanwhile fail. The next
    // GetInstance starts afresh. Throws, changing nothing, inside a completion
    // callback or inside another entry point on this thread.
    static void DestroyInstance();
    // True on a thread that is inside the completion callback of any camera's
    // image: the cameras and the list must not be destroyed there, as the
    // hand-off that calls the host is still on this thread's stack.
    static bool InsideCompletionCallback();
    // The list as it is, held by nothing: for a row read inside the
    // RowReadGate, which keeps the list and its port map as they are.
    static CameraList* InstanceInsideGate();

    ~CameraList();

    // Runs discovery unless cameras are known already. False when nothing was found.
    bool Init();
    // Adds a camera reached by IP address.
    Camera* Create(const std::string& address);
    bool isIpAddress(const std::string& hostName);
    bool IsCameraAvailable(const std::string& hostName);
    Camera* GetByName(const std::string& hostName);
    Camera* GetByPort(int32_t port);
    // The camera on `port` or null, unlocked: for a row read inside the
    // RowReadGate; every change to the port map closes the gate.
    Camera* FindByPortInsideGate(int32_t port) const;
    // Claims `port` for opening `camera` on it; one claim per port at a time.
    // Empty when claimed, else why not: the port is open on another camera,
    // or another thread is opening it. Every claim is ended by EndClaim.
    std::string ClaimPort(int32_t port, Camera* camera);
    // Maps the port to the camera when it opened; otherwise the mapping stays
    // as it was.
    void EndClaim(int32_t port, Camera* camera, bool opened);
    void MapCamera(int32_t port, Camera* camera);
    // Removes the port's mapping to `camera`; a mapping to another camera,
    // made since, stays.
    void UnmapCamera(int32_t port, Camera* camera);
    int GetConfigCount();
    const char** GetConfigNames();
    // Deletes every camera, closing the open ones. Throws, changing nothing,
    // inside a completion callback.
    void Destroy();

    // How the list came by its cameras; after the first discovery no manual
    // camera is added, after the first manual camera no discovery runs.
    enum DiscoveryState : int32_t {
        kNothingYet = 0,
        kDiscoveryStarted = 1,
        kManualCamera = 2,
    };
    int32_t GetDiscoveryState();

  private:
    CameraList();
    static Hold Acquire();
    // Cameras found on the network, none when discovery fails.
    std::vector<std::unique_ptr<Camera>> Discover();
    // Starts a discovery; false when cameras are known already.
    bool BeginDiscovery();
    bool IsInitialized();
    void AddCamera(std::unique_ptr<Camera> camera);
    Camera* FindByName(const std::string& hostName);

    DriverContext* context_;
    // Runs one discovery at a time. Held while discovery logs, so a thread
    // inside a completion callback or the host's debug procedure only tries it.
    std::mutex discoveryLock_;
    // Guards the cameras, the names and the discovery state. Never held while
    // a camera opens or closes or discovery runs.
    DriverMutex camerasLock_;
    std::vector<std::unique_ptr<Camera>> cameras_;
    std::map<int32_t, Camera*> portMap_;
    // Ports being opened, claimed by ClaimPort. Guarded by portLock_.
    std::set<int32_t> claimedPorts_;
    DriverSharedMutex portLock_;
    bool initialized_ = false;
    std::unique_ptr<const char*[]> configNameArray_;
    std::vector<std::string> configNames_;
    int32_t discoveryState_ = kNothingYet;
};
