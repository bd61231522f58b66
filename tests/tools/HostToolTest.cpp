// The host tool run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
    int status;
    std::string output;
};

// `prefix` runs before the tool, for example to change its environment.
ToolRun RunTool(const std::string& arguments, const std::string& prefix = "") {
    const char* tool = std::getenv("CVL_HOST");
    std::string command =
        prefix + std::string(tool != nullptr ? tool : "cvl-host") + " " + arguments + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    ToolRun run{-1, ""};
    char chunk[4096];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0) {
        run.output.append(chunk, read);
    }
    run.status = ::pclose(pipe.release());
    return run;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Runs the tool on the test cameras of tests/scenes/flat-box.xml.
std::string OnTestCameras(const std::string& arguments) {
    return std::string("ICONSIM_CONFIG=") + VAVEZAZ_SCENES + "/flat-box.xml " +
           (std::getenv("CVL_HOST") != nullptr ? std::getenv("CVL_HOST") : "cvl-host") + " " +
           arguments;
}

ToolRun RunShell(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
    ToolRun run{-1, ""};
    char chunk[4096];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0) {
        run.output.append(chunk, read);
    }
    run.status = ::pclose(pipe.release());
    return run;
}

class HostTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("vavezaz-tool-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
};

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

TEST_F(HostTool, MissingDriverAndUnknownCameraAreClearErrors) {
    ToolRun missing = RunTool("--system-dir " + dir_.string() + " --library /nonexistent.so info");
    EXPECT_NE(0, missing.status);
    EXPECT_NE(std::string::npos, missing.output.find("cannot load the driver"));
    ToolRun unknown = RunTool("--system-dir " + dir_.string() + " --camera Nobody.1 grab");
    EXPECT_NE(0, unknown.status);
    EXPECT_NE(std::string::npos, unknown.output.find("cannot open Nobody.1 on port 1"));
}

TEST_F(HostTool, ConfigureSaysWhyNothingWasSaved) {
    ToolRun unknown = RunTool("--system-dir " + dir_.string() + " configure Nobody.1");
    EXPECT_NE(0, unknown.status);
    EXPECT_NE(std::string::npos, unknown.output.find("offers no camera configuration Nobody.1"))
        << unknown.output;
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
