#include "Simulator.h"

#include <cstdio>
#include <cstdlib>

#include "icon/Api.h"

namespace icon::detail {

namespace {

struct LabelEntry {
    const char* operation;
    const char* label;
};

constexpr LabelEntry kLabels[] = {
    {"EthernetCamera::discoverDevices", "Discover devices"},
    {"Camera::setComParameters", "Set communication paramameters"},
    {"Camera::setProtocolTimeout", "Set protocol timeout"},
    {"Camera::init", "Init camera"},
    {"Camera::checkCamStatus", "Check camera status"},
    {"Camera::stop", "Stop camera"},
    {"Camera::reset", "Reset camera"},
    {"Camera::close", "Close camera"},
    {"Camera::start", "Camera start"},
    {"Camera::fileLoadParameters", "Load parameters"},
    {"Camera::setActiveConfiguration", "Set Image configuration"},
    {"Camera::getDataFormat", "Get data format"},
    {"Camera::getCameraDataPort", "Get camera data port"},
    {"Camera::readUserDataFromFlash", "Read user data from flash"},
    {"FrameGrabber::connect", "Frame grabber connect"},
    {"FrameGrabber::startGrab", "Frame grabber start"},
    {"FrameGrabber::stopGrab", "Stop frame grabber"},
    {"FrameGrabber::disconnect", "Disconnect frame grabber"},
};

}  // namespace

const char* stepLabel(const std::string& operation) {
    for (const LabelEntry& entry : kLabels) {
        if (operation == entry.operation) {
            return entry.label;
        }
    }
    return "";
}

FaultTable::FaultTable(std::vector<sim::Fault> faults)
    : faults_(std::move(faults)), fired_(faults_.size(), false) {}

int FaultTable::check(const std::string& operation) {
    const std::string label = stepLabel(operation);
    std::lock_guard<std::mutex> lock(mutex_);
    const int call = ++calls_[operation];
    for (size_t i = 0; i < faults_.size(); ++i) {
        const sim::Fault& fault = faults_[i];
        if (fault.operation != operation && (label.empty() || fault.operation != label)) {
            continue;
        }
        const bool fails = fault.mode == sim::Fault::ALWAYS ||
                           (fault.mode == sim::Fault::ONCE && !fired_[i]) ||
                           (fault.mode == sim::Fault::FROM_CALL && call >= fault.call);
        if (fails) {
            fired_[i] = true;
            return fault.code;
        }
    }
    return 0;
}

Device::Device(const sim::DeviceConfig& config)
    : config_(config),
      faults_(config.faults),
      status_(config.startStatus),
      formats_(defaultConfigurations(config)) {}

int Device::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

void Device::setStatus(int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
}

bool Device::measuring() const {
    const int s = status();
    return s >= 2 && s <= 4;
}

std::string Device::dataFormat(const std::string& configuration) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = formats_.find(configuration.empty() ? active_ : configuration);
    return it == formats_.end() ? std::string() : it->second;
}

bool Device::setActiveConfiguration(const std::string& configuration) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (formats_.count(configuration) == 0) {
        return false;
    }
    active_ = configuration;
    return true;
}

void Device::setConfigurations(std::map<std::string, std::string> formats) {
    std::lock_guard<std::mutex> lock(mutex_);
    formats_ = std::move(formats);
    if (formats_.count(active_) == 0) {
        active_ = "Measurement";
    }
}

void Device::reboot() {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = 1;
}

Simulator& Simulator::instance() {
    static Simulator simulator;
    return simulator;
}

void Simulator::ensureLoaded() {
    if (loaded_) {
        return;
    }
    if (!configured_) {
        config_ = sim::SimulationConfig::embeddedDefault();
        const char* path = std::getenv("ICONSIM_CONFIG");
        std::string error;
        if (path != nullptr && *path != '\0' && !sim::loadConfigFile(path, config_, error)) {
            // A broken simulation file leaves no devices, so the mistake shows.
            std::fprintf(stderr, "ICONSIM_CONFIG: %s\n", error.c_str());
            config_ = sim::SimulationConfig();
        }
    }
    build();
}

void Simulator::build() {
    devices_.clear();
    for (const sim::DeviceConfig& device : config_.devices) {
        devices_.push_back(std::make_shared<Device>(device));
    }
    globalFaults_ = std::make_unique<FaultTable>(config_.faults);
    loaded_ = true;
}

std::shared_ptr<Device> Simulator::findDevice(const std::string& ip) {
    std::lock_guard<std::mutex> lock(mutex_);
    ensureLoaded();
    for (const auto& device : devices_) {
        if (device->config().ip == ip) {
            return device;
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<Device>> Simulator::devices() {
    std::lock_guard<std::mutex> lock(mutex_);
    ensureLoaded();
    return devices_;
}

int Simulator::globalFault(const std::string& operation) {
    std::lock_guard<std::mutex> lock(mutex_);
    ensureLoaded();
    return globalFaults_->check(operation);
}

int Simulator::notRespondingDelayMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    ensureLoaded();
    return config_.notRespondingDelayMs;
}

int Simulator::stopTimeoutMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    ensureLoaded();
    return config_.stopTimeoutMs;
}

void Simulator::registerStream(const std::shared_ptr<Stream>& stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::weak_ptr<Stream>> alive;
    for (const auto& weak : streams_) {
        if (!weak.expired()) {
            alive.push_back(weak);
        }
    }
    alive.push_back(stream);
    streams_ = std::move(alive);
}

void Simulator::shutdown() {
    std::vector<std::weak_ptr<Stream>> streams;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streams.swap(streams_);
        loaded_ = false;
        devices_.clear();
    }
    for (const auto& weak : streams) {
        if (auto stream = weak.lock()) {
            stream->halt();
        }
    }
}

void Simulator::configure(const sim::SimulationConfig& config) {
    shutdown();
    std::lock_guard<std::mutex> lock(mutex_);
    config_ = config;
    configured_ = true;
    build();
}

void Simulator::resetConfiguration() {
    shutdown();
    std::lock_guard<std::mutex> lock(mutex_);
    configured_ = false;
}

sim::SimulationConfig Simulator::config() {
    std::lock_guard<std::mutex> lock(mutex_);
    ensureLoaded();
    return config_;
}

}  // namespace icon::detail

namespace icon::sim {

void configure(const SimulationConfig& config) {
    detail::Simulator::instance().configure(config);
}

void resetConfiguration() {
    detail::Simulator::instance().resetConfiguration();
}

SimulationConfig currentConfig() {
    return detail::Simulator::instance().config();
}

}  // namespace icon::sim
