#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "tools/cvl-host/FrameSlot.h"
#include "tools/cvl-host/HostSession.h"
#include "tools/cvl-host/LiveStatus.h"

// The height window of a 3D configuration, as its settings give it.
struct HeightWindow {
    double minHeight = 1.0;
    double maxHeight = 1000.0;
};

// The viewer's port in continuous mode: the completion callback copies each
// image into the frame slot and returns at once. Bound to the host's main
// thread but for the callback.
class ViewerStream {
  public:
    ViewerStream(HostSession& session, const std::string& camera, int port,
                 const std::string& settingsFile);
    ~ViewerStream();

    ViewerStream(const ViewerStream&) = delete;
    ViewerStream& operator=(const ViewerStream&) = delete;

    // Opens the port and starts the stream; throws ToolError as OpenPort does.
    void Open();
    // Stops the stream and closes the port; the callback is not called again.
    void Close();

    FrameSlot& Slot() { return slot_; }
    bool Cloud() const;
    int Port() const { return port_; }
    const std::string& Camera() const { return camera_; }
    HeightWindow Window() const { return window_; }

    // The stream's figures: the images and seconds since the port was first
    // opened, the driver's statistics since it was last opened.
    // `driver.known` is false while the port is closed.
    StreamSample Sample();
    // Images the callback could not read.
    long Unread() const;
    // Points (of clouds) or rows (of grayscale images) the callback read.
    long Units() const;

    // Stops the stream, opens the driver's configuration dialog on the
    // port, then reopens the port so that what was saved shows. Answers
    // configureCamera's result.
    int Configure(HWND parent);

  private:
    void OnImage(int port);
    bool ReadCloud(ViewerImage& image);
    bool ReadGrayscale(ViewerImage& image);

    HostSession& session_;
    std::string camera_;
    int port_;
    std::string settingsFile_;
    bool open_ = false;
    bool started_ = false;
    int width_ = 0;
    int height_ = 0;
    int pixelBits_ = 8;
    HeightWindow window_;
    int imagesBefore_ = 0;
    std::chrono::steady_clock::time_point start_;
    FrameSlot slot_;
    // Written by the callback only, read after the port is closed or as a
    // figure that may lag.
    std::atomic<long> unread_{0};
    std::atomic<long> units_{0};
    std::atomic<bool> closing_{false};
};
