#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "icon/Simulation.h"

namespace icon::detail {

// Faults on demand, by operation name ("Camera::init") or its step label
// ("Init camera"). Counts calls per operation.
class FaultTable {
  public:
    explicit FaultTable(std::vector<sim::Fault> faults);
    // The code the call fails with, or 0.
    int check(const std::string& operation);

  private:
    std::mutex mutex_;
    std::vector<sim::Fault> faults_;
    std::vector<bool> fired_;
    std::map<std::string, int> calls_;
};

// The step label by which the driver knows an operation; empty if none.
const char* stepLabel(const std::string& operation);

// One simulated device: what it keeps between connections.
class Device {
  public:
    explicit Device(const sim::DeviceConfig& config);

    const sim::DeviceConfig& config() const { return config_; }
    int fault(const std::string& operation) { return faults_.check(operation); }

    int status() const;
    void setStatus(int status);
    bool measuring() const;

    // Data-format text of a configuration ("" the active one); empty when
    // the configuration is unknown.
    std::string dataFormat(const std::string& configuration) const;
    bool setActiveConfiguration(const std::string& configuration);
    void setConfigurations(std::map<std::string, std::string> formats);
    // Back to the default parameters, as after power-up.
    void reboot();

    // Stream position: scans handed out so far, continuing across starts.
    int64_t takeScan() { return nextScan_.fetch_add(1); }
    // Scans that pass without being rendered.
    void skipScans(int64_t count) { nextScan_.fetch_add(count); }

  private:
    const sim::DeviceConfig config_;
    FaultTable faults_;
    mutable std::mutex mutex_;
    int status_;
    std::string active_ = "Measurement";
    std::map<std::string, std::string> formats_;
    std::atomic<int64_t> nextScan_{0};
};

// Something running on threads of the API that closeApi must stop.
class Stream {
  public:
    virtual ~Stream() = default;
    virtual void halt() = 0;
};

// The process-wide simulation: configuration, devices and running streams.
class Simulator {
  public:
    static Simulator& instance();

    std::shared_ptr<Device> findDevice(const std::string& ip);
    std::vector<std::shared_ptr<Device>> devices();
    int globalFault(const std::string& operation);
    int notRespondingDelayMs();
    int stopTimeoutMs();

    void registerStream(const std::shared_ptr<Stream>& stream);
    // Stops every stream and forgets the devices' state.
    void shutdown();

    void configure(const sim::SimulationConfig& config);
    void resetConfiguration();
    sim::SimulationConfig config();

  private:
    void ensureLoaded();
    void build();

    std::mutex mutex_;
    bool loaded_ = false;
    bool configured_ = false;
    sim::SimulationConfig config_;
    std::vector<std::shared_ptr<Device>> devices_;
    std::unique_ptr<FaultTable> globalFaults_;
    std::vector<std::weak_ptr<Stream>> streams_;
};

// The configurations a parameter file defines, as data-format texts by name.
// Returns 0, Camera::E_INVALID_PRM_PATH or Camera::E_INVALID_PRM_FILE.
int loadParameterFile(const std::string& path, const sim::DeviceConfig& device,
                      std::map<std::string, std::string>& formats);
std::map<std::string, std::string> defaultConfigurations(const sim::DeviceConfig& device);

}  // namespace icon::detail
