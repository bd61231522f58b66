// A host that calls the 18 entry points in any order with any arguments, on
// two simulated cameras that stream while it does, with at most one fault of
// the camera API injected. Its completion callback reads the image it is
// told about. Beyond not crashing, hanging or leaking: results are the
// documented ones, a row read never writes past the columns asked for, and
// the last finalize leaves nothing running.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/DriverContext.h"
#include "icon/Simulation.h"
#include "tests/fuzz/ScratchDirectory.h"
#include "vavezaz/CvlDriver.h"

namespace {

constexpr int kMostCalls = 48;

const char* const kSettings =
    "[General]\nLogLevel=2\n"
    "[192.168.0.10]\nNumberOfScans=8\nBufferSize=1\n"
    "[192.168.0.10.2]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=1\n"
    "[192.168.0.10.3]\nImageFormat=3D (XYZCI)\nLaserPlaneCompensation=1\nLaserPlaneAngle=15\n"
    "[192.168.0.11]\nNumberOfScans=16\nBufferSize=1\nConfigurationFile=range.prm\n"
    "[192.168.0.11.2]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\n";

const char* const kRangeParameters =
    "<parameters><configuration name=\"Measurement\">"
    "<component name=\"Peak 1\" type=\"RANGE\" mark=\"true\" intensity=\"true\"/>"
    "<component name=\"Profile 1\" type=\"COG\" mark=\"false\"/>"
    "</configuration></parameters>";

const char* const kNames[] = {
    "192.168.0.10.1",
    "192.168.0.10.2",
    "192.168.0.10.3",
    "192.168.0.11.1",
    "192.168.0.11.2",
    "VZ-Sim 3D - 0a00005a5602.1",
    "vz-sim 3d - 0B00005A5602.4",
    "Undefined",
    "",
    "192.168.0.99.1",
    "255.255.255.255.1",
    "192.168.0.10",
};

const char* const kProperties[] = {
    "Width",
    "Height",
    "PixelSize",
    "continuous",
    "continous",
    "PrintStats",
    "ResetStats",
    "LogLevel",
    "LogIntoFile",
    "DebugViewOutput",
    "ConfigurationFile",
    "ConfigurationType",
    "NumberOfScans",
    "BufferSize",
    "WIDTH",
    "",
};

// Labelled steps of the camera API that can be made to fail.
const char* const kFaults[] = {
    "Discover devices",
    "createCamera",
    "createFrameGrabber",
    "Set communication paramameters",
    "Set protocol timeout",
    "Init camera",
    "Check camera status",
    "Stop camera",
    "Reset camera",
    "Close camera",
    "Camera start",
    "Load parameters",
    "Set Image configuration",
    "Get data format",
    "Get camera data port",
    "Read user data from flash",
    "Frame grabber connect",
    "Frame grabber start",
    "Stop frame grabber",
    "Disconnect frame grabber",
    "ExtractionFilter::setInput",
    "ExtractionFilter::prepareResult",
    "ExtractionFilter::apply",
    "CalibrationFilter::initFromData",
    "CalibrationFilter::apply",
    "RectificationFilter::setInput",
    "RectificationFilter::apply",
};

const int kPorts[] = {1, 2, 3, 1, 2, 3, 0, 19, 20, -1, -2, INT_MIN, INT_MAX};

const int kValues[] = {0, 1, 2, 4, -1, -5, 16, 65535, 100000, INT_MIN, INT_MAX};

void Expect(bool holds, const char* what) {
    if (!holds) {
        FuzzFailure(what);
    }
}

bool Boolean(int result) {
    return result == 0 || result == 1;
}

void DebugProc(const char* text) {
    if (text == nullptr) {
        FuzzFailure("the debug procedure was given no text");
    }
}

int CountImage(int, int) {
    return 0;
}

// Reads the announced image whole, as a host does, into buffers of exactly
// the size the port's geometry asks for.
int ReadImage(int grabberNo, int portNo) {
    int width = 0;
    int height = 0;
    int bits = 0;
    if (getProperty(grabberNo, portNo, "Width", &width) != 1 ||
        getProperty(grabberNo, portNo, "Height", &height) != 1 ||
        getProperty(grabberNo, portNo, "PixelSize", &bits) != 1) {
        return 0;
    }
    // A cloud whose points all fall outside the height window is empty.
    if (width < 0 || height <= 0 || bits <= 0 || width > 65536 || height > 65536) {
        FuzzFailure("an announced image has no sensible geometry");
    }
    std::vector<unsigned char> row(static_cast<size_t>(width) * static_cast<size_t>(bits / 8));
    for (int r = 0; r < height && r < 4096; ++r) {
        if (getCVLGrabRow(grabberNo, portNo, row.data(), r, 0, width - 1) != 1) {
            break;
        }
    }
    return 0;
}

const CompleteCallback kCallbacks[] = {&ReadImage, &CountImage, nullptr};

class Host {
  public:
    explicit Host(FuzzedDataProvider& input) : in_(input) {}

    void Run() {
        for (int call = 0; call < kMostCalls && in_.remaining_bytes() > 0; ++call) {
            Call(in_.ConsumeIntegralInRange(0, 17));
        }
    }

  private:
    int Port() {
        return in_.ConsumeBool() ? in_.PickValueInArray(kPorts) : in_.ConsumeIntegral<int>();
    }
    int Value() {
        return in_.ConsumeBool() ? in_.PickValueInArray(kValues) : in_.ConsumeIntegral<int>();
    }
    int Grabber() { return in_.ConsumeBool() ? 0 : in_.ConsumeIntegral<int>(); }

    // A text from the list, a fuzzed one, or null.
    const char* Text(const char* const* list, size_t count) {
        switch (in_.ConsumeIntegralInRange(0, 7)) {
            case 0:
                return nullptr;
            case 1:
                text_ = in_.ConsumeRandomLengthString(64);
                return text_.c_str();
            default:
                return list[in_.ConsumeIntegralInRange<size_t>(0, count - 1)];
        }
    }
    const char* Name() { return Text(kNames, std::size(kNames)); }
    const char* Property() { return Text(kProperties, std::size(kProperties)); }

    void Call(int which) {
        int value = 0;
        int minimum = 0;
        int maximum = 0;
        switch (which) {
            case 0:
                Expect(initialize(in_.ConsumeBool() ? ScratchDirectory().c_str() : nullptr,
                                  in_.ConsumeBool() ? &DebugProc : nullptr) == 1,
                       "initialize failed");
                break;
            case 1:
                Expect(Boolean(finalize()), "finalize answered neither 0 nor 1");
                break;
            case 2: {
                const char* paths[] = {ScratchDirectory().c_str(), "", nullptr, "/nonexistent/dir"};
                const char* path = in_.PickValueInArray(paths);
                Expect(setSystemPath(path) == (path != nullptr && *path != '\0' ? 1 : 0),
                       "setSystemPath answered wrongly");
                break;
            }
            case 3:
                setDebugMsgProc(in_.ConsumeBool() ? &DebugProc : nullptr);
                break;
            case 4:
                Expect(getCVLMaxNoOfGrabbers() == 1 && getCVLMaxNoOfPorts() == 20,
                       "the grabber or port count changed");
                break;
            case 5:
                Expect(getCVLNoOfSupportedCameras() % 4 == 0,
                       "the configuration count is not four per camera");
                break;
            case 6: {
                const char** names = getCVLCameraConfigNames();
                size_t count = 0;
                while (names != nullptr && names[count] != nullptr) {
                    Expect(names[count][0] != '\0', "an empty configuration name");
                    ++count;
                }
                Expect(count % 4 == 0, "the names are not four per camera");
                break;
            }
            case 7: {
                int size[2] = {-7, -7};
                const int port = Port();
                const int opened = openCVLPort(Grabber(), port, Name(), size);
                Expect(Boolean(opened), "openCVLPort answered neither 0 nor 1");
                // A 3D port has no points before its first cloud: width 0.
                Expect(opened == 0 || (size[0] >= 0 && size[1] > 0),
                       "an open port reports no image size");
                if (opened == 1) {
                    Expect(setCompleteCallback(0, port, in_.PickValueInArray(kCallbacks)) == 1,
                           "an open port takes no callback");
                }
                break;
            }
            case 8:
                closeCVLPort(Grabber(), Port());
                break;
            case 9:
                Expect(Boolean(doCVLGrab(Grabber(), Port())), "doCVLGrab answered wrongly");
                break;
            case 10:
                ReadRow();
                break;
            case 11:
                Expect(setHWTrigger(Grabber(), Port()) == 1, "setHWTrigger did not answer 1");
                break;
            case 12:
                Expect(Boolean(setCompleteCallback(Grabber(), Port(),
                                                   in_.PickValueInArray(kCallbacks))),
                       "setCompleteCallback answered wrongly");
                break;
            case 13:
                Expect(Boolean(getProperty(Grabber(), Port(), Property(),
                                           in_.ConsumeBool() ? &value : nullptr)),
                       "getProperty answered wrongly");
                break;
            case 14: {
                const int read =
                    getPropertyRange(Grabber(), Port(), Property(), &minimum, &maximum);
                Expect(Boolean(read) && (read == 0 || minimum <= maximum),
                       "getPropertyRange answered wrongly");
                break;
            }
            case 15:
                Expect(Boolean(setProperty(Grabber(), Port(), Property(), Value())),
                       "setProperty answered wrongly");
                break;
            case 16:
                Expect(Boolean(configureCamera(nullptr, Name())),
                       "configureCamera answered wrongly");
                break;
            default:
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(in_.ConsumeIntegralInRange(0, 4)));
                break;
        }
    }

    // A row into a buffer of exactly the bytes the column range asks for, at
    // the port's pixel size: a copy past them is an overflow the sanitizer
    // sees.
    void ReadRow() {
        const int grabber = Grabber();
        const int port = Port();
        const int row =
            in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-1, 40) : in_.ConsumeIntegral<int>();
        const int first = in_.ConsumeIntegralInRange(-2, 8);
        const int last = first + in_.ConsumeIntegralInRange(-2, 300);
        int bits = 8;
        getProperty(grabber, port, "PixelSize", &bits);
        const long columns = last >= first ? static_cast<long>(last) - first + 1 : 0;
        std::vector<unsigned char> buffer(static_cast<size_t>(std::max(1L, columns * (bits / 8))));
        Expect(Boolean(getCVLGrabRow(grabber, port, in_.ConsumeBool() ? buffer.data() : nullptr,
                                     row, first, last)),
               "getCVLGrabRow answered wrongly");
    }

    FuzzedDataProvider& in_;
    std::string text_;
};

icon::sim::SimulationConfig Simulation(FuzzedDataProvider& input) {
    icon::sim::SimulationConfig config = icon::sim::SimulationConfig::embeddedDefault();
    for (icon::sim::DeviceConfig& device : config.devices) {
        device.lineRate = 20000.0;
        device.sensor = icon::sim::SensorGeometry::standard(64, 32, 300.0, 150.0, 0.0005);
        device.scene.beltWidth = 300.0;
        device.lostPacketPattern = {0, 0, 1};
    }
    config.notRespondingDelayMs = 5;
    config.stopTimeoutMs = 300;
    if (input.ConsumeBool()) {
        icon::sim::Fault fault;
        fault.operation = input.PickValueInArray(kFaults);
        fault.code = input.ConsumeBool() ? 15 : input.ConsumeIntegral<int>();
        fault.mode = input.ConsumeBool() ? icon::sim::Fault::ONCE : icon::sim::Fault::ALWAYS;
        const bool global = fault.operation.find("::") != std::string::npos ||
                            fault.operation.rfind("create", 0) == 0 ||
                            fault.operation == "Discover devices";
        (global ? config.faults : config.devices[input.ConsumeBool() ? 1 : 0].faults)
            .push_back(fault);
    }
    return config;
}

// The host's last finalize: whatever the sequence did to the count, the
// driver is torn down before the next input, and nothing may keep it up.
void TearDown() {
    DriverContext* context = DriverContext::Instance();
    if (context->refCount.load() < 1) {
        context->refCount = 1;
    }
    for (int tries = 0; context->refCount.load() > 0; ++tries) {
        Expect(tries < 64 && finalize() == 1, "finalize does not tear the driver down");
    }
    // The next input starts as a library just loaded, not as one finalized.
    context->finalized = false;
    context->SetSystemPath(ScratchDirectory());
    context->debugMsgProc = nullptr;
    context->logLevel = 1;
    context->logIntoFile = false;
    context->debugViewOutput = 0;
    std::remove((ScratchDirectory() + "/VaveZAZ.log").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    WriteScratchFile("VaveZAZ.ini", kSettings);
    WriteScratchFile("range.prm", kRangeParameters);
    DriverContext::Instance()->SetSystemPath(ScratchDirectory());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    icon::sim::configure(Simulation(input));
    Host host(input);
    host.Run();
    TearDown();
    return 0;
}
