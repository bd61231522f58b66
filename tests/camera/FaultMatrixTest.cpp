// Every labelled step of the camera API that the driver calls, made to fail
// once and always, through open, grab and close on camera A while camera B
// streams beside it. Each case checks the log line that names the step, the
// result the host gets, that every image announced reads whole, that camera
// B keeps serving, and (for a single failure) that camera A recovers. The
// matrix is printed at the end.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <thread>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

using icon::sim::Fault;

// Where a step is called, and so what its failure does to the host.
enum class Stage {
    DISCOVERY,  // finding the cameras: no camera to open
    OPEN,       // setting up the first port: the open fails
    OPEN_ON,    // the open goes on without what the step would have given
    GRAB_GRAY,  // making a grayscale image: that image is not announced
    GRAB_3D,    // making a point cloud: that cloud is not announced
    CLOSE,      // shutting down: logged and ignored
};

struct Step {
    const char* operation;  // as the camera API's fault table knows it
    const char* text;       // what the driver's log line says of it
    int code;
    Stage stage;
    bool global;            // a fault of the whole API rather than of camera A's device
    int startStatus = 1;    // camera A's state before the open
    bool recovers = false;  // camera A opens and serves again while the step keeps failing
};

const Step kSteps[] = {
    {"EthernetCamera::discoverDevices",
     "Discover devices -- VaveZAZ API error code: 20(icon::Camera::E_NETWORK)", 20,
     Stage::DISCOVERY, true},
    {"createCamera", "icon::createCamera: failed to create camera", 1, Stage::OPEN, true},
    {"createFrameGrabber", "icon::createFrameGrabber: Failed to create frame grabber", 1,
     Stage::OPEN, true},
    {"Camera::setComParameters",
     "Set communication paramameters -- VaveZAZ API error code: 15(icon::Camera::E_ERROR)", 15,
     Stage::OPEN, false},
    {"Camera::setProtocolTimeout",
     "Set protocol timeout -- VaveZAZ API error code: 9(icon::Camera::E_PARAMETER_ERROR)", 9,
     Stage::OPEN, false},
    {"Camera::init",
     "Init camera -- VaveZAZ API error code: 3(icon::Camera::E_CAMERA_NOT_RESPONDING)", 3,
     Stage::OPEN, false},
    {"Camera::checkCamStatus",
     "Check camera status -- VaveZAZ API error code: 15(icon::Camera::E_ERROR)", 15, Stage::OPEN,
     false},
    {"Camera::reset", "Reset camera -- VaveZAZ API error code: 15(icon::Camera::E_ERROR)", 15,
     Stage::OPEN, false, 0},
    {"Camera::getCameraDataPort",
     "Get camera data port -- VaveZAZ API error code: 15(icon::Camera::E_ERROR)", 15, Stage::OPEN,
     false},
    {"Camera::fileLoadParameters",
     "Load parameters -- VaveZAZ API error code: 5(icon::Camera::E_INVALID_PRM_FILE)", 5,
     Stage::OPEN_ON, false, 1, true},
    {"Camera::setActiveConfiguration",
     "Set Image configuration -- VaveZAZ API error code: 7(icon::Camera::E_PARAMETER_NOT_FOUND)", 7,
     Stage::OPEN, false},
    {"Camera::getDataFormat",
     "Get data format -- VaveZAZ API error code: 7(icon::Camera::E_PARAMETER_NOT_FOUND)", 7,
     Stage::OPEN, false},
    {"ExtractionFilter::setInput",
     "Set input for Sum extraction filter -- VaveZAZ API error code: "
     "5005(icon::IconBuffer::E_UNSUPPORTED_LAYOUT)",
     5005, Stage::OPEN, true},
    {"ExtractionFilter::prepareResult",
     "Prepare Sum output buffer -- VaveZAZ API error code: "
     "5006(icon::IconBuffer::E_SPACE_UNAVAILABLE)",
     5006, Stage::OPEN, true},
    {"Camera::readUserDataFromFlash",
     "Read user data from flash -- VaveZAZ API error code: "
     "17(icon::Camera::E_CAMERA_USER_DATA_ERROR)",
     17, Stage::OPEN_ON, false, 1, true},
    {"CalibrationFilter::initFromData",
     "Init calibration filter from flash user data -- VaveZAZ API error code: "
     "17(icon::Camera::E_CAMERA_USER_DATA_ERROR)",
     17, Stage::OPEN_ON, true, 1, true},
    {"CalibrationFilter::prepareResult",
     "Prepare output buffer for calibration filter -- VaveZAZ API error code: "
     "5006(icon::IconBuffer::E_SPACE_UNAVAILABLE)",
     5006, Stage::OPEN_ON, true, 1, true},
    {"RectificationFilter::setInput",
     "Set input for calibration filter -- VaveZAZ API error code: "
     "5005(icon::IconBuffer::E_UNSUPPORTED_LAYOUT)",
     5005, Stage::OPEN_ON, true, 1, true},
    {"RectificationFilter::prepareResult",
     "Prepare output buffer for calibration filter -- VaveZAZ API error code: "
     "5006(icon::IconBuffer::E_SPACE_UNAVAILABLE)",
     5006, Stage::OPEN_ON, true, 1, true},
    {"FrameGrabber::connect",
     "Frame grabber connect -- VaveZAZ API error code: 6101(icon::FrameGrabber::E_FG_DATAFORMAT)",
     6101, Stage::OPEN, false},
    {"FrameGrabber::startGrab",
     "Frame grabber start -- VaveZAZ API error code: 6106(icon::FrameGrabber::E_FG_INTERNAL)", 6106,
     Stage::OPEN, false},
    {"Camera::start",
     "Camera start -- VaveZAZ API error code: 14(icon::Camera::E_CAMERA_STATUS_NOT_OK)", 14,
     Stage::OPEN, false},
    {"ExtractionFilter::apply",
     "Apply Sum filter -- VaveZAZ API error code: 5004(icon::IconBuffer::E_INCOMPATIBLE_TYPE)",
     5004, Stage::GRAB_GRAY, true},
    {"CalibrationFilter::apply",
     "Apply calibration filter -- VaveZAZ API error code: "
     "5004(icon::IconBuffer::E_INCOMPATIBLE_TYPE)",
     5004, Stage::GRAB_3D, true},
    {"RectificationFilter::apply",
     "Apply rectification filter -- VaveZAZ API error code: "
     "5005(icon::IconBuffer::E_UNSUPPORTED_LAYOUT)",
     5005, Stage::GRAB_3D, true},
    {"Camera::stop",
     "Stop camera -- VaveZAZ API error code: 15(icon::Camera::E_ERROR). Ingoring this.", 15,
     Stage::CLOSE, false},
    {"Camera::close",
     "Close camera -- VaveZAZ API error code: 15(icon::Camera::E_ERROR). Ingoring this.", 15,
     Stage::CLOSE, false, 1, true},
    {"FrameGrabber::stopGrab",
     "Stop frame grabber -- VaveZAZ API error code: 6004(icon::FrameGrabber::E_FG_STOP_GRAB). "
     "Ingoring this.",
     6004, Stage::CLOSE, false, 1, true},
    {"FrameGrabber::disconnect",
     "Disconnect frame grabber -- VaveZAZ API error code: "
     "6002(icon::FrameGrabber::E_FG_NOT_CONNECTED). "
     "Ingoring this.",
     6002, Stage::CLOSE, false, 1, true},
};

// Camera A: port 1 grayscale, port 2 a calibrated and rectified cloud.
// Camera B on port 3 uses none of the stages a fault of the whole API hits:
// a grayscale image, or, when the extraction filter fails, a calibrated cloud
// of a format without marks (no extraction filter at all).
constexpr int kGrayPort = 1;
constexpr int kCloudPort = 2;
constexpr int kOtherPort = 3;

bool UsesExtraction(const Step& step) {
    return std::string(step.operation).rfind("ExtractionFilter::", 0) == 0;
}

bool UsesCloud(const Step& step) {
    return step.stage == Stage::GRAB_3D || step.stage == Stage::OPEN_ON;
}

// What one case showed; a row of the printed matrix.
struct Outcome {
    std::string step;
    std::string mode;
    int firstOpen = -1;
    int imagesA = 0;
    bool logged = false;
    std::string recovered = "-";
    std::string otherCamera = "-";
    int broken = 0;
};

class FaultMatrix : public CameraFixture {
  protected:
    std::string Settings(bool otherIsCloud, bool withParameterFile) {
        std::ostringstream text;
        text << "[General]\nLogLevel=3\n"
             << "[" << kCameraA << "]\nNumberOfScans=" << kScans << "\nBufferSize=4\n"
             << (withParameterFile ? "ConfigurationFile=a.prm\n" : "") << "[" << kCameraA
             << ".2]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=1\n"
             << "[" << kCameraB << "]\nNumberOfScans=" << kScans << "\nBufferSize=4\n"
             << (otherIsCloud ? "ConfigurationFile=nomarks.prm\n" : "") << "[" << kCameraB
             << ".2]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\n";
        return text.str();
    }

    void WriteFiles(const Step& step) {
        std::ofstream(systemDir_ / "VaveZAZ.ini")
            << Settings(UsesExtraction(step), step.stage == Stage::OPEN_ON);
        std::ofstream(systemDir_ / "a.prm")
            << "<parameters><configuration name=\"Measurement\">"
               "<component name=\"Profile 1\" type=\"COG\" mark=\"true\"/>"
               "</configuration></parameters>";
        std::ofstream(systemDir_ / "nomarks.prm")
            << "<parameters><configuration name=\"Measurement\">"
               "<component name=\"Profile 1\" type=\"COG\" mark=\"false\"/>"
               "</configuration></parameters>";
    }

    // Reads the announced image in its callback, as a host does: a grayscale
    // image row by row, a cloud as its one row of kept points.
    static bool Whole(int port) {
        int width = 0;
        int height = 0;
        int bits = 0;
        if (getProperty(0, port, "Width", &width) != 1 ||
            getProperty(0, port, "Height", &height) != 1 ||
            getProperty(0, port, "PixelSize", &bits) != 1) {
            return false;
        }
        if (bits == 8) {
            std::vector<unsigned char> row(static_cast<size_t>(width));
            bool belt = false;
            for (int r = 0; r < height; ++r) {
                if (getCVLGrabRow(0, port, row.data(), r, 0, width - 1) != 1) {
                    return false;
                }
                for (unsigned char pixel : row) {
                    if (pixel > kRows) {
                        return false;
                    }
                    belt = belt || pixel >= kRows - 3;
                }
            }
            return height > 0 && belt;
        }
        // Points outside the height window are dropped: a cloud may be empty.
        const size_t floats = static_cast<size_t>(bits / 32);
        std::vector<float> cloud(static_cast<size_t>(width) * floats + 1, 0.0f);
        if (width > 0 && getCVLGrabRow(0, port, cloud.data(), 0, 0, width - 1) != 1) {
            return false;
        }
        for (size_t n = 0; n + 1 < cloud.size(); ++n) {
            if (!std::isfinite(cloud[n])) {
                return false;
            }
        }
        return width >= 0;
    }

    // Grabs `count` images on the port, each with a bounded wait. Answers
    // how many were announced.
    int Serve(int port, int count,
              std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) {
        int served = 0;
        for (int n = 0; n < count; ++n) {
            const int before = ImagesAnnounced(port);
            if (doCVLGrab(0, port) != 1) {
                return served;
            }
            const auto deadline = std::chrono::steady_clock::now() + wait;
            while (ImagesAnnounced(port) == before && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            served += ImagesAnnounced(port) > before ? 1 : 0;
        }
        return served;
    }

    bool Open(int port, const std::string& name) {
        int size[2] = {-1, -1};
        if (openCVLPort(0, port, name.c_str(), size) != 1) {
            return false;
        }
        return setCompleteCallback(0, port, &CameraFixture::OnImageComplete) == 1;
    }

    void Finish() {
        while (context_->refCount.load() > 0) {
            finalize();
        }
        capture_.Clear();
    }

    Outcome RunCase(const Step& step, Fault::Mode mode);

    std::atomic<int> broken_{0};
};

Outcome FaultMatrix::RunCase(const Step& step, Fault::Mode mode) {
    const bool once = mode == Fault::ONCE;
    Outcome outcome;
    outcome.step = step.operation;
    outcome.mode = once ? "once" : "always";
    SetUp();  // the fixture's small, fast cameras, afresh
    simulation_.devices[0].startStatus = step.startStatus;
    const Fault fault{step.operation, step.code, mode, 1};
    (step.global ? simulation_.faults : simulation_.devices[0].faults).push_back(fault);
    Start();
    WriteFiles(step);
    broken_ = 0;
    onImage = [this](int port) {
        if (!Whole(port)) {
            ++broken_;
        }
    };

    const bool discovered = step.stage == Stage::DISCOVERY;
    if (discovered) {
        const int first = getCVLNoOfSupportedCameras();
        EXPECT_EQ(0, first);
        EXPECT_EQ(once ? 8 : 0, getCVLNoOfSupportedCameras()) << "a failed discovery runs again";
    }
    const std::string nameA = discovered ? "VZ-Sim 3D - 0a00005a5602" : kCameraA;
    const std::string nameB = discovered ? "VZ-Sim 3D - 0b00005a5602" : kCameraB;
    const int portA = UsesCloud(step) ? kCloudPort : kGrayPort;
    const std::string imageA = nameA + (portA == kCloudPort ? ".2" : ".1");
    const std::string imageB = nameB + (UsesExtraction(step) ? ".2" : ".1");

    const bool openA = Open(portA, imageA);
    outcome.firstOpen = openA ? 1 : 0;
    const bool openFails = step.stage == Stage::OPEN || (discovered && !once);
    EXPECT_EQ(!openFails, openA);
    if (step.stage == Stage::OPEN) {
        EXPECT_TRUE(LoggedContaining(std::string("Camera::Open: Error on port ") +
                                     std::to_string(portA) + ": " + step.text));
    }

    // Camera B streams beside A, unless the failing step was one of every
    // camera's own set-up: discovery, or a factory that fails for all.
    const bool otherFails =
        !once && (discovered || std::string(step.operation).rfind("create", 0) == 0);
    const bool openB = Open(kOtherPort, imageB);
    EXPECT_EQ(!otherFails, openB) << imageB;

    if (openA) {
        const bool grabFails = step.stage == Stage::GRAB_GRAY || step.stage == Stage::GRAB_3D;
        const std::chrono::milliseconds wait(grabFails ? 300 : 2000);
        outcome.imagesA = Serve(portA, 3, wait);
        EXPECT_EQ(grabFails ? (once ? 2 : 0) : 3, outcome.imagesA);
        if (grabFails) {
            EXPECT_TRUE(
                LoggedContaining(step.stage == Stage::GRAB_GRAY
                                     ? "Camera::ProcessEvent: ERROR: Failed to retrieve image: "
                                     : "ImageAdapter3D: ERROR while processing image on port=2: "));
        }
    }
    if (openB) {
        const int servedB = Serve(kOtherPort, 3);
        outcome.otherCamera = std::to_string(servedB) + "/3";
        EXPECT_EQ(3, servedB) << "camera B keeps serving";
    } else {
        outcome.otherCamera = "cannot open";
    }

    closeCVLPort(0, kOtherPort);
    closeCVLPort(0, portA);
    outcome.logged = LoggedContaining(step.text);
    EXPECT_TRUE(outcome.logged) << step.text;
    if (openA) {
        EXPECT_TRUE(Logged("Camera::Close: leaving on port " + std::to_string(portA) + "\n"));
    }
    // After a single failure, or one the open gets past, camera A opens and
    // serves again.
    if (once || step.recovers) {
        const bool reopened = Open(portA, imageA) && Serve(portA, 2) == 2;
        outcome.recovered = reopened ? "yes" : "NO";
        EXPECT_TRUE(reopened) << "camera A after the fault";
        closeCVLPort(0, portA);
    } else {
        outcome.recovered = Open(portA, imageA) ? "opens" : "fails again";
        closeCVLPort(0, portA);
    }
    onImage = nullptr;
    Finish();
    outcome.broken = broken_.load();
    EXPECT_EQ(0, outcome.broken) << "every announced image reads whole";
    return outcome;
}

std::string Row(const Outcome& o) {
    std::ostringstream line;
    line << std::left << std::setw(34) << o.step << std::setw(8) << o.mode << std::setw(6)
         << (o.firstOpen == 1   ? "1"
             : o.firstOpen == 0 ? "0"
                                : "-")
         << std::setw(8) << o.imagesA << std::setw(5) << (o.logged ? "yes" : "NO") << std::setw(13)
         << o.otherCamera << std::setw(13) << o.recovered << o.broken;
    return line.str();
}

}  // namespace

TEST_F(FaultMatrix, EveryStepFailingOnceAndAlways) {
    std::vector<Outcome> matrix;
    for (const Step& step : kSteps) {
        for (Fault::Mode mode : {Fault::ONCE, Fault::ALWAYS}) {
            SCOPED_TRACE(std::string(step.operation) + (mode == Fault::ONCE ? " once" : " always"));
            matrix.push_back(RunCase(step, mode));
        }
    }
    std::cout << std::left << std::setw(34) << "step" << std::setw(8) << "mode" << std::setw(6)
              << "open" << std::setw(8) << "images" << std::setw(5) << "log" << std::setw(13)
              << "camera B" << std::setw(13) << "A afterwards"
              << "broken\n";
    for (const Outcome& outcome : matrix) {
        std::cout << Row(outcome) << "\n";
    }
}
