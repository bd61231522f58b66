#include "camera/Camera.h"

#include <stdexcept>

#include "camera/HostNames.h"

namespace {

std::string CheckedName(const char* name) {
    if (name == nullptr) {
        throw std::runtime_error("Camera::Camera: Name can not be null");
    }
    return name;
}

[[noreturn]] void NotAvailable(const char* operation) {
    throw std::runtime_error(std::string(operation) + ": camera connection is not available yet");
}

}  // namespace

Camera::Camera(const char* name, const std::string& ipAddress)
    : name_(CheckedName(name)), ipAddress_(ipAddress) {}

bool Camera::HasName(const std::string& hostName) const {
    return NamesEqual(StripImageSuffix(hostName), name_);
}

bool Camera::Open(int32_t, int32_t* imageSize, const std::string&) {
    imageSize[0] = 0;
    imageSize[1] = 0;
    NotAvailable("Camera::Open");
}

void Camera::Close(int32_t) {
    NotAvailable("Camera::Close");
}

bool Camera::Grab() {
    NotAvailable("Camera::Grab");
}

RowAccess Camera::GetRow(int32_t, int32_t) {
    NotAvailable("Camera::GetRow");
}

void Camera::SetCompleteCallback(int32_t, CompleteCallback) {
    NotAvailable("Camera::SetCompleteCallback");
}

bool Camera::GetProperty(int32_t, const std::string&, int32_t*) {
    NotAvailable("Camera::GetProperty");
}

bool Camera::SetProperty(int32_t, const std::string&, int32_t) {
    NotAvailable("Camera::SetProperty");
}

bool Camera::GetRange(int32_t, const std::string&, int32_t*, int32_t*) {
    NotAvailable("Camera::GetRange");
}

bool Camera::Configure(HWND, const std::string&) {
    NotAvailable("Camera::Configure");
}
