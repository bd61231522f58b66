#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "icon/Simulation.h"
#include "tests/support/ContextFixture.h"

// A host driving the driver through its entry points, with small, fast
// simulated cameras at 192.168.0.10 and 192.168.0.11 and a settings file
// that asks for detailed log lines and buffers of kScans scans.
class CameraFixture : public ContextFixture {
  protected:
    static constexpr int kColumns = 128;
    static constexpr int kRows = 64;
    static constexpr int kScans = 32;
    static constexpr const char* kCameraA = "192.168.0.10";
    static constexpr const char* kCameraB = "192.168.0.11";

    void SetUp() override;
    void TearDown() override;

    // The simulation every test starts from; tests change it before Start.
    icon::sim::SimulationConfig simulation_;
    // Applies simulation_, writes the settings file (with extra "key=value\n"
    // lines for camera A) and initializes the driver.
    void Start(const std::string& cameraASettings = "");

    // Opens "<camera>.<suffix>" on the port with the completion callback set.
    std::pair<int, int> OpenPort(int port, const std::string& camera, int suffix = 1);
    // Waits (bounded) until `count` images were announced on the port in all.
    bool WaitForImages(int port, int count);
    int ImagesAnnounced(int port);
    std::vector<unsigned char> ReadImage(int port, int width, int height);
    bool Logged(const std::string& line) const { return capture_.Contains(line); }
    bool LoggedContaining(const std::string& text) const;
    int Property(int port, const char* name);
    // The statistics text the port prints; empty when it prints none.
    std::string Statistics(int port);

    // Runs in the completion callback, on the thread that finished the image.
    static std::function<void(int port)> onImage;

    static int OnImageComplete(int grabberNo, int portNo);

  private:
    static std::mutex mutex_;
    static std::condition_variable announced_;
    static std::vector<int> images_;
};
