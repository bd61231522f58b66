// The host tool run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/ToolRun.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(HostTool, GrabWritesImagesOfTheSceneAndReportsThem) {
    ToolRun run = RunTool("--system-dir " + dir_.string() + " --count 2");
    ASSERT_EQ(0, run.status) << run.output;
    const auto image = dir_ / "images" / "image-2.pgm";
    EXPECT_NE(std::string::npos, run.output.find("wrote " + image.string())) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("CorvaneCB:\t\t2")) << run.output;

    std::ifstream file(image, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    file >> magic >> width >> height >> maximum;
    file.get();
    ASSERT_EQ("P5", magic);
    ASSERT_EQ(1536, width);
    ASSERT_EQ(512, height);
    std::string pixels((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(static_cast<size_t>(width * height), pixels.size());
    // Each pixel is the low byte of the laser line's sensor row: the empty belt
    // lies on the last rows (bytes near 255), the scene's objects higher up.
    size_t belt = 0;
    size_t raised = 0;
    for (char pixel : pixels) {
        const auto value = static_cast<unsigned char>(pixel);
        belt += value >= 250 ? 1 : 0;
        raised += value > 0 && value < 200 ? 1 : 0;
    }
    EXPECT_GT(belt, pixels.size() / 3);
    EXPECT_GT(raised, pixels.size() / 50) << "objects on the belt show up";
}

TEST_F(HostTool, ListNamesEveryConfiguration) {
    ToolRun run = RunTool("--system-dir " + dir_.string() + " list");
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("8 configurations"));
    EXPECT_NE(std::string::npos, run.output.find("  VZ-Sim 3D - 0b00005a5602.4\n"));
}

TEST_F(HostTool, EachFailureEndsWithTheExitStatusOfItsCause) {
    const std::string dir = "--system-dir " + dir_.string() + " ";
    ToolRun usage = RunTool(dir + "grab --port 20");
    EXPECT_EQ(2, WEXITSTATUS(usage.status)) << usage.output;
    EXPECT_NE(std::string::npos, usage.output.find("--port must be 0 to 19")) << usage.output;
    ToolRun missing = RunTool(dir + "--library /nonexistent.so info");
    EXPECT_EQ(3, WEXITSTATUS(missing.status)) << missing.output;
    EXPECT_NE(std::string::npos, missing.output.find("cannot load the driver"));
    ToolRun unknown = RunTool(dir + "--camera Nobody.1 grab");
    EXPECT_EQ(4, WEXITSTATUS(unknown.status)) << unknown.output;
    // No camera delivers a buffer within a millisecond of the grab.
    ToolRun late = RunShell(OnTestCameras(dir + "grab --count 2 --timeout-ms 1"));
    EXPECT_EQ(5, WEXITSTATUS(late.status)) << late.output;
    EXPECT_NE(std::string::npos, late.output.find("image 1 did not arrive within 1 ms"))
        << late.output;
    EXPECT_NE(std::string::npos, late.output.find("grabbed 0 of 2 images")) << late.output;
    EXPECT_NE(std::string::npos, late.output.find("CorvaneCB:")) << "the statistics still come";
}

TEST_F(HostTool, AnUnknownCameraIsAnsweredWithTheNamesOffered) {
    const std::string dir = "--system-dir " + dir_.string() + " ";
    ToolRun list = RunTool(dir + "--quiet list");
    ASSERT_EQ(0, list.status) << list.output;
    std::istringstream names(list.output);
    std::vector<std::string> offered;
    for (std::string name; std::getline(names, name);) {
        offered.push_back(name);
    }
    ASSERT_EQ(8u, offered.size()) << "--quiet list prints the names alone: " << list.output;
    for (const char* command : {"grab", "props", "configure"}) {
        ToolRun unknown = RunTool(dir + command + " --camera Nobody.1");
        EXPECT_EQ(4, WEXITSTATUS(unknown.status)) << unknown.output;
        EXPECT_NE(std::string::npos,
                  unknown.output.find("the driver offers no camera configuration Nobody.1"))
            << unknown.output;
        for (const std::string& name : offered) {
            EXPECT_NE(std::string::npos, unknown.output.find("\n  " + name + "\n"))
                << command << " does not offer " << name << ": " << unknown.output;
        }
    }
    // The driver matches names without regard to case and takes any image
    // name, so the tool passes such a name on: here to a dialog that cannot
    // be shown without a display.
    ToolRun anyCase = RunTool(dir + "configure 'vz-sim 3d - 0A00005A5602.7'",
                              "env -u DISPLAY -u WAYLAND_DISPLAY ");
    EXPECT_EQ(1, WEXITSTATUS(anyCase.status)) << anyCase.output;
    EXPECT_NE(std::string::npos, anyCase.output.find("nothing saved")) << anyCase.output;
}

TEST_F(HostTool, UnknownCommandsAndOptionsAreAnsweredWithTheKnownOnes) {
    ToolRun command = RunTool("lsit");
    EXPECT_EQ(2, WEXITSTATUS(command.status));
    EXPECT_NE(std::string::npos, command.output.find("did you mean 'list'?")) << command.output;
    EXPECT_NE(std::string::npos,
              command.output.find("grab, list, props, configure, view, info, settings, help"));
    ToolRun option = RunTool("grab --continous --duration 1");
    EXPECT_EQ(2, WEXITSTATUS(option.status));
    EXPECT_NE(std::string::npos, option.output.find("did you mean --continuous?")) << option.output;
    ToolRun elsewhere = RunTool("list --set LogLevel=2");
    EXPECT_EQ(2, WEXITSTATUS(elsewhere.status));
    EXPECT_NE(std::string::npos,
              elsewhere.output.find("--set is not an option of list, but of props"))
        << elsewhere.output;
    EXPECT_FALSE(std::filesystem::exists(dir_)) << "a wrong command line touches nothing";
}

TEST_F(HostTool, EveryCommandHasAHelpWithExamples) {
    ToolRun tool = RunTool("--help");
    ASSERT_EQ(0, tool.status) << tool.output;
    const size_t start = tool.output.find("commands:\n");
    ASSERT_NE(std::string::npos, start) << tool.output;
    std::istringstream lines(tool.output.substr(start + 10));
    int commands = 0;
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        if (line.compare(0, 3, "   ") == 0) {
            continue;  // the summary's second line
        }
        const std::string name = line.substr(2, line.find(' ', 2) - 2);
        ToolRun help = RunTool("help " + name);
        EXPECT_EQ(0, help.status) << name << ": " << help.output;
        EXPECT_EQ(0u, help.output.find("usage: cvl-host " + name)) << help.output;
        EXPECT_NE(std::string::npos, help.output.find("examples:\n  cvl-host ")) << help.output;
        EXPECT_EQ(help.output, RunTool(name + " --help").output);
        ++commands;
    }
    EXPECT_EQ(8, commands) << tool.output;
    EXPECT_EQ(tool.output, RunTool("help").output);
    EXPECT_NE(std::string::npos, tool.output.find("exit status:\n  0    ok"));
    EXPECT_EQ(2, WEXITSTATUS(RunTool("help nothing").status));
}

TEST_F(HostTool, ConfigureSaysWhyNothingWasSaved) {
    ToolRun unknown = RunTool("--system-dir " + dir_.string() + " configure Nobody.1");
    EXPECT_EQ(4, WEXITSTATUS(unknown.status));
    EXPECT_NE(std::string::npos, unknown.output.find("offers no camera configuration Nobody.1"))
        << unknown.output;
    ToolRun byAddress = RunTool("--system-dir " + dir_.string() + " configure 192.168.0.10.1");
    EXPECT_EQ(4, WEXITSTATUS(byAddress.status));
    EXPECT_NE(std::string::npos, byAddress.output.find("add --open")) << byAddress.output;
    // Without a display the dialog cannot be shown: the tool says so and the
    // settings file stays untouched.
    ToolRun headless =
        RunTool("--system-dir " + dir_.string() + " --verbose configure 192.168.0.10.1 --open",
                "env -u DISPLAY -u WAYLAND_DISPLAY ");
    EXPECT_EQ(1, WEXITSTATUS(headless.status)) << headless.output;
    EXPECT_NE(std::string::npos, headless.output.find("nothing saved")) << headless.output;
    EXPECT_NE(std::string::npos, headless.output.find("DISPLAY is not set")) << headless.output;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "VaveZAZ.ini"));
}

TEST_F(HostTool, PointCloudGrabWritesAPlyFileThatARealReaderOpens) {
    const std::string dir = "--system-dir " + dir_.string() + " ";
    ToolRun list = RunShell(OnTestCameras(dir + "list"));
    ASSERT_EQ(0, list.status) << list.output;
    const size_t first = list.output.find("  ") + 2;
    const std::string camera = list.output.substr(first, list.output.find('\n', first) - first);
    ASSERT_EQ(".1", camera.substr(camera.size() - 2)) << list.output;

    ToolRun settings = RunShell(OnTestCameras(dir + "settings '" + camera +
                                              "' 'ImageFormat=3D (XYZ)' CalibrationFilter=Enabled "
                                              "RectificationFilter=Enabled MinHeight=20"));
    ASSERT_EQ(0, settings.status) << settings.output;
    ToolRun grab = RunShell(OnTestCameras(dir + "--camera '" + camera + "' --count 1"));
    ASSERT_EQ(0, grab.status) << grab.output;
    const auto ply = dir_ / "images" / "image-1.ply";
    const size_t said = grab.output.find("wrote " + ply.string() + ": ");
    ASSERT_NE(std::string::npos, said) << grab.output;
    size_t points = 0;
    float bounds[6] = {};
    ASSERT_EQ(7, std::sscanf(grab.output.c_str() + said + ply.string().size() + 8,
                             "%zu points, x %f .. %f, y %f .. %f, z %f .. %f", &points, &bounds[0],
                             &bounds[1], &bounds[2], &bounds[3], &bounds[4], &bounds[5]))
        << grab.output;
    EXPECT_GT(points, 1000u);
    EXPECT_NEAR(40.0f, bounds[4], 0.5f) << "the box top";
    EXPECT_NEAR(40.0f, bounds[5], 0.5f);

    ToolRun probe = RunShell("/usr/bin/python3 -c 'import open3d'");
    if (probe.status != 0) {
        GTEST_SKIP() << "Open3D cannot be imported by /usr/bin/python3 (install python3-open3d): "
                     << probe.output;
    }
    const auto script = dir_ / "read_ply.py";
    std::ofstream(script) << "import sys\nimport numpy\nimport open3d\n"
                             "cloud = open3d.io.read_point_cloud(sys.argv[1])\n"
                             "p = numpy.asarray(cloud.points)\n"
                             "print(len(p), *('%.6f %.6f' % (p[:, a].min(), p[:, a].max())"
                             " for a in range(3)))\n";
    ToolRun read = RunShell("/usr/bin/python3 " + script.string() + " " + ply.string());
    ASSERT_EQ(0, read.status) << read.output;
    std::istringstream seen(
        read.output.substr(read.output.rfind('\n', read.output.size() - 2) + 1));
    size_t readPoints = 0;
    seen >> readPoints;
    EXPECT_EQ(points, readPoints) << read.output;
    for (float printed : bounds) {
        double value = NAN;
        seen >> value;
        EXPECT_NEAR(printed, value, 1e-3) << read.output;
    }
}

// A host cannot tell from the points whether Y is encoder travel or a scan
// count, nor whether a calibration failed: the tool says so with each file.
TEST_F(HostTool, PointCloudGrabSaysWhatYMeasuresAndWhyPointsAreUncalibrated) {
    const std::string scene = (dir_ / "corrupt-calibration.xml").string();
    std::string text = ReadFile(std::string(VAVEZAZ_SCENES) + "/flat-box.xml");
    const std::string device = "noise=\"0.05\">";
    text.replace(text.find(device), device.size(), "noise=\"0.05\" calibration=\"corrupt\">");
    std::filesystem::create_directories(dir_);
    std::ofstream(scene) << text;
    const std::string dir = "--system-dir " + dir_.string() + " ";
    ToolRun list = RunShell(OnTestCameras(dir + "list"));
    ASSERT_EQ(0, list.status) << list.output;
    const size_t first = list.output.find("  ") + 2;
    const std::string camera =
        "'" + list.output.substr(first, list.output.find('\n', first) - first) + "'";
    ASSERT_EQ(0, RunShell(OnTestCameras(dir + "settings " + camera +
                                        " 'ImageFormat=3D (XYZ)' CalibrationFilter=Enabled"))
                     .status);
    ToolRun valid = RunShell(OnTestCameras(dir + "--camera " + camera + " --count 1"));
    ASSERT_EQ(0, valid.status) << valid.output;
    EXPECT_NE(std::string::npos,
              valid.output.find("; Y: millimetres of encoder travel; calibration: millimetres\n"))
        << valid.output;
    ToolRun corrupt = RunShell(OnTestCameras(dir + "--camera " + camera + " --count 1", scene));
    ASSERT_EQ(0, corrupt.status) << corrupt.output;
    EXPECT_NE(std::string::npos,
              corrupt.output.find("; calibration: FAILED, points are uncalibrated sensor "
                                  "positions: Init calibration filter from flash user data"))
        << corrupt.output;
    EXPECT_NE(std::string::npos, corrupt.output.find("\nCalibration:\tFAILED"))
        << "the statistics say it too";
}

TEST_F(HostTool, SettingsWriteTheImageSectionAndKeepEveryOtherByte) {
    std::filesystem::create_directories(dir_);
    const std::string before =
        "; written by hand\n[General]\nLogLevel=2\n\n[Cam.1]\n; the first image\nImage=1\n"
        "imageformat=Grayscale\n[Other]\nKey=Value\n";
    std::ofstream(dir_ / "VaveZAZ.ini", std::ios::binary) << before;
    const std::string settings = "--system-dir " + dir_.string() + " settings Cam.1 ";
    for (const char* wrong :
         {"LaserPlaneAngle=95", "Unknown=1", "'ImageFormat=Colour'", "Image=first", "MinHeight"}) {
        ToolRun refused = RunTool(settings + "CalibrationFilter=Enabled " + wrong);
        EXPECT_NE(0, refused.status) << wrong;
        EXPECT_NE(std::string::npos, refused.output.find("cvl-host: ")) << refused.output;
    }
    EXPECT_EQ(before, ReadFile(dir_ / "VaveZAZ.ini")) << "nothing is written after an error";
    EXPECT_NE(std::string::npos,
              RunTool(settings + "ImageFormat=Colour").output.find("\"3D (XYZCI)\""))
        << "the choices are named";

    ToolRun run =
        RunTool(settings + "'ImageFormat=3d (xyz)' calibrationfilter=enabled LaserPlaneAngle=-30");
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_EQ(
        "; written by hand\n[General]\nLogLevel=2\n\n[Cam.1]\n; the first image\nImage=1\n"
        "imageformat=3D (XYZ)\nCalibrationFilter=1\nLaserPlaneAngle=-30\n[Other]\nKey=Value\n",
        ReadFile(dir_ / "VaveZAZ.ini"));
    EXPECT_NE(std::string::npos, run.output.find("  RectificationFilter = (not set)\n"))
        << run.output;
}

TEST_F(HostTool, SettingsWriteCameraAndLogKeysAsTheDriverChecksAndReadsThem) {
    const std::string dir = "--system-dir " + dir_.string() + " ";
    ToolRun list = RunShell(OnTestCameras(dir + "--quiet list"));
    ASSERT_EQ(0, list.status) << list.output;
    const std::string configuration = list.output.substr(0, list.output.find('\n'));
    const std::string camera = configuration.substr(0, configuration.rfind('.'));
    const std::string settings = dir + "settings '" + configuration + "' ";
    for (const char* wrong : {"NumberOfScans=0", "BufferSize=3001", "LogLevel=two",
                              "ConfigurationType=Other", "LogIntoFile=1"}) {
        ToolRun refused = RunTool(settings + "NumberOfScans=64 " + wrong);
        EXPECT_EQ(2, WEXITSTATUS(refused.status)) << wrong << ": " << refused.output;
        EXPECT_FALSE(std::filesystem::exists(dir_ / "VaveZAZ.ini")) << wrong;
    }
    ToolRun run = RunTool(settings + "numberofscans=64 LogLevel=2 BufferSize=40");
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_EQ("[" + camera + "]\nNumberOfScans=64\nBufferSize=40\n[General]\nLogLevel=2\n",
              ReadFile(dir_ / "VaveZAZ.ini"));
    EXPECT_NE(std::string::npos, run.output.find("[General] in ")) << run.output;

    // The driver opens the camera with what was written.
    ToolRun props = RunShell(OnTestCameras(dir + "props --camera '" + configuration + "'"));
    ASSERT_EQ(0, props.status) << props.output;
    EXPECT_NE(std::string::npos, props.output.find("NumberOfScans = 64 ")) << props.output;
    EXPECT_NE(std::string::npos, props.output.find("LogLevel = 2 ")) << props.output;
    EXPECT_EQ(std::string::npos, RunTool("help settings").output.find("first offered"))
        << "settings has no default configuration";
}
