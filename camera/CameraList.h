#pragma once

#include <boost/thread/shared_mutex.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera/Camera.h"

class DriverContext;

// The registry of cameras: discovered ones and ones the host names by IP
// address, their configuration names, and which camera is open on which port.
// Used from the host's entry points. Only the port map is locked: a host may
// read rows on one thread while it opens or closes ports on another.
class CameraList {
  public:
    // The list, created on first use.
    static CameraList* GetInstance();
    // Deletes the list and every camera in it; the next GetInstance starts
    // afresh. Throws, changing nothing, inside a completion callback.
    static void DestroyInstance();
    // True on a thread that is inside the completion callback of any camera's
    // image: the cameras and the list must not be destroyed there, as the
    // hand-off that calls the host is still on this thread's stack.
    static bool InsideCompletionCallback();

    ~CameraList();

    // Runs discovery unless cameras are known already. False when nothing was found.
    bool Init();
    // Adds a camera reached by IP address.
    Camera* Create(const std::string& address);
    bool isIpAddress(const std::string& hostName);
    bool IsCameraAvailable(const std::string& hostName);
    Camera* GetByName(const std::string& hostName);
    Camera* GetByPort(int32_t port);
    void MapCamera(int32_t port, Camera* camera);
    void UnmapCamera(int32_t port);
    int GetConfigCount();
    const char** GetConfigNames();
    // Deletes every camera, closing the open ones. Throws, changing nothing,
    // inside a completion callback.
    void Destroy();

    int32_t GetDiscoveryState() const { return discoveryState_; }

  private:
    CameraList();
    void AddCamera(std::unique_ptr<Camera> camera);

    DriverContext* context_;
    std::vector<std::unique_ptr<Camera>> cameras_;
    std::map<int32_t, Camera*> portMap_;
    boost::shared_mutex portLock_;
    bool initialized_ = false;
    std::unique_ptr<const char*[]> configNameArray_;
    std::vector<std::string> configNames_;
    int32_t discoveryState_ = 0;
};
