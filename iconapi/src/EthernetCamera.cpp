#include "icon/EthernetCamera.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <chrono>
#include <thread>

#include "Calibration.h"
#include "Simulator.h"

namespace icon {

namespace detail {

struct EthernetCameraState {
    std::string ip;
    bool addressSet = false;
    int protocolTimeoutMs = 3000;
    bool inited = false;
    std::shared_ptr<Device> device;

    std::shared_ptr<Device> target() const {
        return device ? device : Simulator::instance().findDevice(ip);
    }

    // A device that does not answer is only known to be gone after the
    // protocol time-out.
    int notResponding() const {
        const int waitMs =
            std::min(protocolTimeoutMs, Simulator::instance().notRespondingDelayMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(waitMs, 0)));
        return Camera::E_CAMERA_NOT_RESPONDING;
    }
};

}  // namespace detail

namespace {

int injectedFault(const detail::EthernetCameraState& state, const char* operation) {
    auto device = state.target();
    return device ? device->fault(operation) : 0;
}

// Every command after init: the injected fault first, then the connection.
int command(const detail::EthernetCameraState& state, const char* operation,
            detail::Device*& device) {
    if (int code = injectedFault(state, operation)) {
        return code;
    }
    if (!state.inited) {
        return Camera::E_CAMERA_NOT_INITED;
    }
    device = state.device.get();
    return Camera::E_ALL_OK;
}

}  // namespace

Camera::~Camera() = default;

Camera* createCamera(const std::string& cameraType, const std::string& name) {
    if (cameraType != EthernetCamera::cameraType ||
        detail::Simulator::instance().globalFault("createCamera") != 0) {
        return nullptr;
    }
    return new EthernetCamera(name);
}

EthernetCamera::EthernetCamera(const std::string& name)
    : Camera(name), state_(std::make_unique<detail::EthernetCameraState>()) {}

EthernetCamera::~EthernetCamera() = default;

std::string EthernetCamera::getCameraType() const {
    return cameraType;
}

int EthernetCamera::setComParameters(const std::string& cameraIp, int /*frameGrabberPort*/,
                                     int /*commandPort*/, int /*flags*/) {
    // The fault belongs to the device being addressed: before this call the
    // object has none.
    if (auto addressed = detail::Simulator::instance().findDevice(cameraIp)) {
        if (int code = addressed->fault("Camera::setComParameters")) {
            return code;
        }
    }
    if (state_->inited) {
        return E_ALREADY_INITED;
    }
    if (inet_addr(cameraIp.c_str()) == INADDR_NONE) {
        return E_PARAMETER_ERROR;
    }
    state_->ip = cameraIp;
    state_->addressSet = true;
    return E_ALL_OK;
}

int EthernetCamera::setProtocolTimeout(int milliseconds) {
    if (int code = injectedFault(*state_, "Camera::setProtocolTimeout")) {
        return code;
    }
    if (milliseconds <= 0) {
        return E_PARAMETER_ERROR;
    }
    state_->protocolTimeoutMs = milliseconds;
    return E_ALL_OK;
}

int EthernetCamera::init() {
    if (int code = injectedFault(*state_, "Camera::init")) {
        return code;
    }
    if (state_->inited) {
        return E_ALREADY_INITED;
    }
    if (!state_->addressSet) {
        return E_PARAMETER_ERROR;
    }
    auto device = detail::Simulator::instance().findDevice(state_->ip);
    if (!device || device->config().unreachable) {
        return state_->notResponding();
    }
    state_->device = device;
    state_->inited = true;
    return E_ALL_OK;
}

int EthernetCamera::close() {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::close", device)) {
        return code;
    }
    state_->inited = false;
    state_->device.reset();
    return E_ALL_OK;
}

int EthernetCamera::checkCamStatus(int& status) {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::checkCamStatus", device)) {
        return code;
    }
    status = device->status();
    return E_ALL_OK;
}

int EthernetCamera::start() {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::start", device)) {
        return code;
    }
    if (device->measuring()) {
        return E_MEASURE_ALREADY_RUNNING;
    }
    if (device->status() != STATUS_IDLE) {
        return E_CAMERA_STATUS_NOT_OK;
    }
    device->setStatus(STATUS_MEASURING);
    return E_ALL_OK;
}

int EthernetCamera::stop() {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::stop", device)) {
        return code;
    }
    if (!device->measuring()) {
        return E_MEASURE_NOT_RUNNING;
    }
    device->setStatus(STATUS_IDLE);
    return E_ALL_OK;
}

int EthernetCamera::reset() {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::reset", device)) {
        return code;
    }
    device->reboot();
    return E_ALL_OK;
}

int EthernetCamera::fileLoadParameters(const std::string& path) {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::fileLoadParameters", device)) {
        return code;
    }
    if (device->measuring()) {
        return E_MEASURE_ALREADY_RUNNING;
    }
    std::map<std::string, std::string> formats;
    if (int code = detail::loadParameterFile(path, device->config(), formats)) {
        return code;
    }
    device->setConfigurations(std::move(formats));
    return E_ALL_OK;
}

int EthernetCamera::setActiveConfiguration(const std::string& name) {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::setActiveConfiguration", device)) {
        return code;
    }
    if (device->measuring()) {
        return E_MEASURE_ALREADY_RUNNING;
    }
    return device->setActiveConfiguration(name) ? E_ALL_OK : E_PARAMETER_NOT_FOUND;
}

int EthernetCamera::getDataFormat(const std::string& configuration, std::string& text) {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::getDataFormat", device)) {
        return code;
    }
    std::string format = device->dataFormat(configuration);
    if (format.empty()) {
        return E_PARAMETER_NOT_FOUND;
    }
    text = std::move(format);
    return E_ALL_OK;
}

int EthernetCamera::getCameraDataPort(int& port) {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::getCameraDataPort", device)) {
        return code;
    }
    port = device->config().dataPort;
    return E_ALL_OK;
}

int EthernetCamera::readUserDataFromFlash(std::string& data) {
    detail::Device* device = nullptr;
    if (int code = command(*state_, "Camera::readUserDataFromFlash", device)) {
        return code;
    }
    data = detail::flashUserData(device->config());
    return E_ALL_OK;
}

}  // namespace icon
