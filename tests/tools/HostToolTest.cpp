// The host tool run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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
