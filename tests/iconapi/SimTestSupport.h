#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "icon/Api.h"
#include "icon/EthernetCamera.h"
#include "icon/FrameGrabber.h"
#include "icon/IconBuffer.h"
#include "icon/Simulation.h"

namespace icontest {

constexpr auto kWait = std::chrono::seconds(10);

// A small, fast device: tests stay short also under the sanitizers.
inline icon::sim::DeviceConfig smallDevice(const char* ip = "10.0.0.2") {
    icon::sim::DeviceConfig d;
    d.ip = ip;
    d.sensor = icon::sim::SensorGeometry::standard(64, 128, 200.0, 100.0, 0.001);
    d.scene.beltWidth = 200.0;
    d.scene.objects.clear();
    d.lineRate = 20000.0;
    return d;
}

inline icon::sim::SimulationConfig quickConfig(std::vector<icon::sim::DeviceConfig> devices) {
    icon::sim::SimulationConfig c;
    c.devices = std::move(devices);
    c.notRespondingDelayMs = 20;
    c.stopTimeoutMs = 300;
    return c;
}

// What a callback saw of one delivered buffer.
struct Delivery {
    int height = 0;
    std::vector<int32_t> lostPackets;
    std::vector<uint32_t> marks;
};

// Collects deliveries; the callback copies what the tests look at.
class Collector {
  public:
    static void callback(const icon::IconBuffer* buffer, icon::FrameGrabber*, void* user) {
        static_cast<Collector*>(user)->add(*buffer);
    }

    void add(const icon::IconBuffer& buffer) {
        Delivery d;
        d.height = buffer.getHeight();
        for (int i = 0; i < d.height; ++i) {
            d.lostPackets.push_back(buffer.getLostPackets(i));
        }
        const uint32_t* marks = nullptr;
        const std::string component = buffer.getDataFormat()->getComponent(0)->getName();
        if (buffer.getReadPointer(component, "Mark", marks) == 0) {
            d.marks.assign(marks, marks + 2 * d.height);
        }
        if (onBuffer) {
            onBuffer(buffer);
        }
        std::lock_guard<std::mutex> lock(mutex);
        deliveries.push_back(std::move(d));
        changed.notify_all();
    }

    bool waitFor(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kWait, [&] { return deliveries.size() >= count; });
    }

    std::vector<Delivery> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return deliveries;
    }

    std::function<void(const icon::IconBuffer&)> onBuffer;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Delivery> deliveries;
};

// A connected camera and grabber for one device, as a driver sets them up.
struct Rig {
    std::unique_ptr<icon::EthernetCamera> camera;
    std::unique_ptr<icon::FrameGrabber> grabber;
    std::string format;

    int open(const std::string& ip, int scans, icon::CallbackFunction callback, void* user,
             int bufferSizeMb = 20) {
        camera.reset(
            dynamic_cast<icon::EthernetCamera*>(icon::createCamera("EthernetCamera", "cam")));
        grabber.reset(icon::createFrameGrabber("FGEthernet", "MyGrabber"));
        auto* p = dynamic_cast<icon::FGEthernetParameters*>(grabber->getParameters());
        int port = 0;
        for (int code :
             {camera->setComParameters(ip, p->getFrameGrabberPort(), -1, 0), camera->init(),
              camera->getCameraDataPort(port), camera->getDataFormat("", format)}) {
            if (code != 0) {
                return code;
            }
        }
        p->setCameraIP(ip);
        p->setCameraPort(port);
        p->setBufferSize(bufferSizeMb);
        p->setNoScans(scans);
        p->setCallback(callback);
        p->setUserData(user);
        p->setDataFormat(format);
        return 0;
    }

    int start() {
        for (int code : {grabber->connect(), grabber->startGrab(), camera->start()}) {
            if (code != 0) {
                return code;
            }
        }
        return 0;
    }

    ~Rig() {
        if (camera) {
            camera->stop();
        }
        grabber.reset();
        camera.reset();
    }
};

}  // namespace icontest
