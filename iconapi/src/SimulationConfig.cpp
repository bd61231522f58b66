#include <pugixml.hpp>

#include <cmath>
#include <sstream>

#include "icon/Simulation.h"

namespace icon::sim {

SensorGeometry SensorGeometry::standard(int columns, int rows, double fieldWidth,
                                        double heightRange, double perspective) {
    SensorGeometry g;
    g.columns = columns;
    g.rows = rows;
    const double lastRow = rows - 1;
    g.homography = {
        columns / fieldWidth, 0.0, columns / 2.0, 0.0, -lastRow / heightRange, lastRow, 0.0,
        -perspective,         1.0};
    return g;
}

namespace {

constexpr double kMaxLineRate = 1e9;

DeviceConfig defaultDevice(const char* ip, unsigned char lastMacByte, uint64_t seed) {
    DeviceConfig d;
    d.ip = ip;
    d.mac = {{0x02, 0x56, 0x5a, 0x00, 0x00, lastMacByte}};
    d.seed = seed;
    SceneObject box;
    box.x = -150.0;
    box.y = 100.0;
    box.width = 120.0;
    box.length = 200.0;
    box.height = 60.0;
    SceneObject ramp;
    ramp.kind = SceneObject::RAMP;
    ramp.x = 50.0;
    ramp.y = 350.0;
    ramp.width = 150.0;
    ramp.length = 250.0;
    ramp.height = 80.0;
    SceneObject cylinder;
    cylinder.kind = SceneObject::CYLINDER;
    cylinder.x = 180.0;
    cylinder.y = 50.0;
    cylinder.width = 100.0;
    cylinder.height = 100.0;
    cylinder.length = 400.0;
    cylinder.reflectance = 0.6;
    d.scene.objects = {box, ramp, cylinder};
    return d;
}

bool parseList(const char* text, std::vector<int>& values) {
    std::istringstream in(text);
    values.clear();
    int v = 0;
    while (in >> v) {
        values.push_back(v);
    }
    return in.eof();
}

bool parseMac(const std::string& text, std::array<unsigned char, 6>& mac) {
    unsigned int b[6];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5],
                    &tail) != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        if (b[i] > 255) {
            return false;
        }
        mac[static_cast<size_t>(i)] = static_cast<unsigned char>(b[i]);
    }
    return true;
}

bool parseFault(const pugi::xml_node& node, Fault& fault, std::string& error) {
    fault.operation = node.attribute("operation").as_string();
    fault.code = node.attribute("code").as_int(15);
    fault.call = node.attribute("call").as_int(1);
    const std::string mode = node.attribute("mode").as_string("once");
    if (mode == "once") {
        fault.mode = Fault::ONCE;
    } else if (mode == "always") {
        fault.mode = Fault::ALWAYS;
    } else if (mode == "from") {
        fault.mode = Fault::FROM_CALL;
    } else {
        error = "fault: unknown mode '" + mode + "'";
        return false;
    }
    if (fault.operation.empty()) {
        error = "fault: no operation";
        return false;
    }
    return true;
}

bool parseSensor(const pugi::xml_node& node, SensorGeometry& sensor, std::string& error) {
    const int columns = node.attribute("columns").as_int(sensor.columns);
    const int rows = node.attribute("rows").as_int(sensor.rows);
    if (columns <= 0 || rows <= 1) {
        error = "sensor: columns and rows must be positive";
        return false;
    }
    if (node.attribute("homography")) {
        std::istringstream in(node.attribute("homography").as_string());
        sensor.columns = columns;
        sensor.rows = rows;
        for (double& h : sensor.homography) {
            if (!(in >> h)) {
                error = "sensor: homography needs 9 numbers";
                return false;
            }
        }
        return true;
    }
    sensor = SensorGeometry::standard(columns, rows, node.attribute("fieldWidth").as_double(600.0),
                                      node.attribute("heightRange").as_double(200.0),
                                      node.attribute("perspective").as_double(0.0005));
    return true;
}

bool parseObject(const pugi::xml_node& node, SceneObject& object, std::string& error) {
    const std::string kind = node.name();
    const std::string axis = node.attribute("axis").as_string("along");
    if (axis != "along" && axis != "across") {
        error = kind + ": axis must be 'along' or 'across'";
        return false;
    }
    object.axis = axis == "along" ? SceneObject::ALONG_BELT : SceneObject::ACROSS_BELT;
    object.x = node.attribute("x").as_double(0.0);
    object.y = node.attribute("y").as_double(0.0);
    object.reflectance = node.attribute("reflectance").as_double(0.8);
    if (kind == "cylinder") {
        object.kind = SceneObject::CYLINDER;
        const double diameter = 2.0 * node.attribute("radius").as_double(25.0);
        const double extent = node.attribute("extent").as_double(100.0);
        object.height = diameter;
        object.width = object.axis == SceneObject::ALONG_BELT ? diameter : extent;
        object.length = object.axis == SceneObject::ALONG_BELT ? extent : diameter;
        return true;
    }
    object.kind = kind == "box" ? SceneObject::BOX : SceneObject::RAMP;
    if (kind != "box" && kind != "ramp") {
        error = "scene: unknown object '" + kind + "'";
        return false;
    }
    object.width = node.attribute("width").as_double(50.0);
    object.length = node.attribute("length").as_double(50.0);
    object.height = node.attribute("height").as_double(20.0);
    return true;
}

bool parseScene(const pugi::xml_node& node, Scene& scene, std::string& error) {
    scene.beltWidth = node.attribute("beltWidth").as_double(scene.beltWidth);
    scene.beltReflectance = node.attribute("beltReflectance").as_double(scene.beltReflectance);
    scene.length = node.attribute("length").as_double(scene.length);
    scene.objects.clear();
    for (const pugi::xml_node& child : node.children()) {
        SceneObject object;
        if (!parseObject(child, object, error)) {
            return false;
        }
        scene.objects.push_back(object);
    }
    return true;
}

bool parseRates(const pugi::xml_node& node, double& rate, std::vector<int>& pattern,
                std::string& error) {
    if (!node) {
        return true;
    }
    rate = node.attribute("rate").as_double(0.0);
    if (!parseList(node.attribute("pattern").as_string(), pattern)) {
        error = std::string(node.name()) + ": pattern must be whole numbers";
        return false;
    }
    return true;
}

bool parseCalibration(const std::string& text, DeviceConfig::Calibration& calibration,
                      std::string& error) {
    if (text == "valid") {
        calibration = DeviceConfig::CALIBRATION_VALID;
    } else if (text == "none") {
        calibration = DeviceConfig::CALIBRATION_NONE;
    } else if (text == "corrupt") {
        calibration = DeviceConfig::CALIBRATION_CORRUPT;
    } else {
        error = "device: calibration must be valid, none or corrupt";
        return false;
    }
    return true;
}

bool parseDeviceAttributes(const pugi::xml_node& node, DeviceConfig& d, std::string& error) {
    d.model = node.attribute("model").as_string(d.model.c_str());
    d.ip = node.attribute("ip").as_string(d.ip.c_str());
    if (node.attribute("mac") && !parseMac(node.attribute("mac").as_string(), d.mac)) {
        error = "device: mac must be six hexadecimal bytes separated by ':'";
        return false;
    }
    d.dataPort = node.attribute("dataPort").as_int(d.dataPort);
    d.discoveryDelayMs = node.attribute("discoveryDelayMs").as_int(d.discoveryDelayMs);
    d.unreachable = node.attribute("unreachable").as_bool(d.unreachable);
    d.startStatus = node.attribute("startStatus").as_int(d.startStatus);
    d.lineRate = node.attribute("lineRate").as_double(d.lineRate);
    d.pulsesPerMillimeter = node.attribute("pulsesPerMillimeter").as_double(d.pulsesPerMillimeter);
    d.pulsesPerScan = node.attribute("pulsesPerScan").as_int(d.pulsesPerScan);
    d.encoderStart = node.attribute("encoderStart").as_int(d.encoderStart);
    d.noise = node.attribute("noise").as_double(d.noise);
    d.replayBuffers = node.attribute("replayBuffers").as_int(d.replayBuffers);
    d.seed = node.attribute("seed").as_ullong(d.seed);
    // Written so that NaN fails too. Past a billion scans per second the
    // grabber's scan numbers would overflow their 64 bits within a session.
    if (!(d.lineRate > 0.0 && d.lineRate <= kMaxLineRate) ||
        !(d.pulsesPerMillimeter > 0.0 && std::isfinite(d.pulsesPerMillimeter))) {
        error = "device: lineRate (at most 1e9) and pulsesPerMillimeter must be positive";
        return false;
    }
    return parseCalibration(node.attribute("calibration").as_string("valid"), d.calibration, error);
}

bool parseDevice(const pugi::xml_node& node, DeviceConfig& d, std::string& error) {
    if (!parseDeviceAttributes(node, d, error)) {
        return false;
    }
    if (node.child("sensor") && !parseSensor(node.child("sensor"), d.sensor, error)) {
        return false;
    }
    if (node.child("scene") && !parseScene(node.child("scene"), d.scene, error)) {
        return false;
    }
    if (!parseRates(node.child("lostPackets"), d.lostPacketRate, d.lostPacketPattern, error) ||
        !parseRates(node.child("overtrigs"), d.overtrigRate, d.overtrigPattern, error)) {
        return false;
    }
    for (const pugi::xml_node& child : node.children("fault")) {
        Fault fault;
        if (!parseFault(child, fault, error)) {
            return false;
        }
        d.faults.push_back(fault);
    }
    for (const pugi::xml_node& child : node.children("message")) {
        d.messages.push_back({child.attribute("beforeBuffer").as_int(0),
                              child.attribute("level").as_int(1),
                              child.attribute("text").as_string()});
    }
    return true;
}

}  // namespace

SimulationConfig SimulationConfig::embeddedDefault() {
    SimulationConfig config;
    config.devices = {defaultDevice("192.168.0.10", 0x0a, 1),
                      defaultDevice("192.168.0.11", 0x0b, 2)};
    return config;
}

bool parseConfig(const std::string& text, SimulationConfig& config, std::string& error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_string(text.c_str());
    if (!parsed) {
        error = std::string("not well-formed XML: ") + parsed.description();
        return false;
    }
    const pugi::xml_node root = doc.child("simulation");
    if (!root) {
        error = "the root element must be <simulation>";
        return false;
    }
    SimulationConfig result;
    result.notRespondingDelayMs = root.attribute("notRespondingDelayMs").as_int(7000);
    result.stopTimeoutMs = root.attribute("stopTimeoutMs").as_int(2000);
    const uint64_t seed = root.attribute("seed").as_ullong(1);
    for (const pugi::xml_node& node : root.children("device")) {
        DeviceConfig device;
        device.seed = seed + result.devices.size();
        if (!parseDevice(node, device, error)) {
            return false;
        }
        result.devices.push_back(device);
    }
    for (const pugi::xml_node& node : root.children("fault")) {
        Fault fault;
        if (!parseFault(node, fault, error)) {
            return false;
        }
        result.faults.push_back(fault);
    }
    config = result;
    return true;
}

bool loadConfigFile(const std::string& path, SimulationConfig& config, std::string& error) {
    pugi::xml_document doc;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    std::string text;
    char chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
    }
    std::fclose(file);
    return parseConfig(text, config, error);
}

}  // namespace icon::sim
