#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"

// The simulated devices behind the API. Which devices exist and how they
// behave comes from the simulation file named by ICONSIM_CONFIG, from an
// embedded default of two cameras, or from `configure` (tests). The file
// format is described in the library's README.
namespace icon::sim {

// The laser plane (x across the belt, z height above it, in millimetres) seen
// by the sensor: (column, row, 1) ~ H * (x, z, 1).
struct SensorGeometry {
    int columns = 1536;
    int rows = 512;
    std::array<double, 9> homography{};

    // A camera looking down on the belt: `fieldWidth` millimetres across the
    // columns at the belt, heights 0 .. `heightRange` over the rows (height 0
    // at the last row), `perspective` per millimetre of height magnifying
    // higher points.
    static SensorGeometry standard(int columns, int rows, double fieldWidth, double heightRange,
                                   double perspective);
};

// One object on the belt. x is the centre across the belt, y the leading edge
// along the belt, both in millimetres.
struct SceneObject {
    enum Kind { BOX, RAMP, CYLINDER };
    // RAMP: the direction in which the height rises from 0 to `height`.
    // CYLINDER: the direction of its axis; it lies on the belt.
    enum Axis { ALONG_BELT, ACROSS_BELT };

    Kind kind = BOX;
    Axis axis = ALONG_BELT;
    double x = 0.0;
    double y = 0.0;
    double width = 50.0;       // across the belt; a cylinder along the belt: 2 * radius
    double length = 50.0;      // along the belt; a cylinder across the belt: 2 * radius
    double height = 20.0;      // a cylinder: its diameter
    double reflectance = 0.8;  // 0 .. 1; 0 reflects no laser light
};

struct Scene {
    double beltWidth = 600.0;
    double beltReflectance = 0.5;
    // The scene repeats every `length` millimetres of belt travel; 0: never.
    double length = 1000.0;
    std::vector<SceneObject> objects;
};

// A labelled operation that fails on demand, e.g. "Camera::init" or its step
// label "Init camera".
struct Fault {
    enum Mode { ONCE, ALWAYS, FROM_CALL };
    std::string operation;
    int code = 15;
    Mode mode = ONCE;
    int call = 1;  // FROM_CALL: the first failing call, counted from 1
};

// A message sent to the error handler from the grabber's thread before the
// buffer with the given number (counted from 0) is delivered.
struct Message {
    int beforeBuffer = 0;
    int32_t level = 1;
    std::string text;
};

struct DeviceConfig {
    enum Calibration { CALIBRATION_VALID, CALIBRATION_NONE, CALIBRATION_CORRUPT };

    // The stand-in's own model; MAC addresses from the locally administered
    // range (first byte 0x02), as simulated devices should use.
    std::string model = "VZ-Sim 3D";
    std::string ip = "192.168.0.10";
    std::array<unsigned char, 6> mac{{0x02, 0x56, 0x5a, 0x00, 0x00, 0x01}};
    int dataPort = 2114;
    // Discovery: answers after this delay; a negative delay never answers.
    int discoveryDelayMs = 0;
    // Commands answer "not responding".
    bool unreachable = false;
    // Status before anyone started or stopped the device; 2 .. 4 measure.
    int startStatus = 1;
    double lineRate = 1000.0;  // scans per second
    SensorGeometry sensor = SensorGeometry::standard(1536, 512, 600.0, 200.0, 0.0005);
    Scene scene;
    double pulsesPerMillimeter = 10.0;
    int pulsesPerScan = 5;
    int32_t encoderStart = 0;
    double noise = 0.0;  // standard deviation of the line's row position
    Calibration calibration = CALIBRATION_VALID;
    double lostPacketRate = 0.0;         // chance per scan of one lost packet
    std::vector<int> lostPacketPattern;  // lost packets per scan, repeated
    double overtrigRate = 0.0;           // chance per scan of one overtrigger
    std::vector<int> overtrigPattern;    // overtriggers per scan, repeated
    std::vector<Fault> faults;
    std::vector<Message> messages;
    // Replay: buffers rendered in advance and delivered as fast as the
    // consumer takes them; 0 streams at the line rate.
    int replayBuffers = 0;
    uint64_t seed = 1;
};

struct SimulationConfig {
    std::vector<DeviceConfig> devices;
    // Faults of operations not bound to a device (the filters).
    std::vector<Fault> faults;
    // How long a command to a device that does not answer waits before it
    // reports "not responding"; the camera's protocol time-out when shorter.
    int notRespondingDelayMs = 7000;
    // How long stopping a grabber waits for a callback still in progress.
    int stopTimeoutMs = 2000;

    // The embedded default: two cameras at 192.168.0.10 and 192.168.0.11.
    static SimulationConfig embeddedDefault();
};

// Replaces the simulation with `config`; devices start afresh. Kept across
// closeApi().
void configure(const SimulationConfig& config);
// Forgets `configure`: the next use reads ICONSIM_CONFIG or the default.
void resetConfiguration();
// Parses a simulation file. Returns false with a message on failure.
bool loadConfigFile(const std::string& path, SimulationConfig& config, std::string& error);
bool parseConfig(const std::string& text, SimulationConfig& config, std::string& error);
// The configuration in use.
SimulationConfig currentConfig();

// The calibration text a device with this geometry keeps in its flash.
std::string calibrationText(const SensorGeometry& sensor);

// The data format of a device's configuration as the default parameter file
// sets it: "Measurement" or "Image".
std::string defaultDataFormat(const DeviceConfig& device, const std::string& configuration);

// Renders scans of a device's scene into buffers of a data format. Per-column
// geometry is computed once. When the belt returns to where it was after a
// whole number of scans, the scene's scans repeat with that period (their
// noise too; marks and lost packets go on with the stream), and each scan of
// the period is rendered once into a cache of at most `cacheBytes` and copied
// from there afterwards. A period too long for the cache is rendered scan by
// scan, byte for byte the same.
class SceneRenderer {
  public:
    static constexpr size_t kDefaultCacheBytes = 64u << 20;

    SceneRenderer(const DeviceConfig& device, const DataFormat& format,
                  size_t cacheBytes = kDefaultCacheBytes);
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Renders scan number `scanIndex` of the stream into scan `slot` of
    // `buffer` (which has the renderer's format).
    void renderScan(IconBuffer& buffer, int slot, int64_t scanIndex);
    // Bytes the cache holds so far: 0 until the first scan, or without one.
    size_t cachedBytes() const;

  private:
    struct Impl;
    Impl* impl_;
};

}  // namespace icon::sim
