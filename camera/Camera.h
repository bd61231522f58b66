#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/CvlDriver.h"

// One row of a port's image as the host reads it.
struct RowAccess {
    const void* data = nullptr;  // null when the camera has no row to give
    size_t rowBytes = 0;         // bytes the row holds
    int32_t bitsPerPixel = 0;
};

// One physical camera known to the camera list, opened on one or more host
// ports.
class Camera {
  public:
    Camera(const char* name, const std::string& ipAddress);

    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    bool Open(int32_t port, int32_t* imageSize, const std::string& imageName);
    void Close(int32_t port);
    bool Grab();
    RowAccess GetRow(int32_t port, int32_t row);
    void SetCompleteCallback(int32_t port, CompleteCallback callback);
    bool GetProperty(int32_t port, const std::string& property, int32_t* value);
    bool SetProperty(int32_t port, const std::string& property, int32_t value);
    bool GetRange(int32_t port, const std::string& property, int32_t* minimum, int32_t* maximum);
    bool Configure(HWND parent, const std::string& imageName);

    const std::string& GetName() const { return name_; }
    bool HasName(const std::string& hostName) const;

  private:
    std::string name_;
    std::string ipAddress_;
};
