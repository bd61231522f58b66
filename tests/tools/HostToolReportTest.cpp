// What the host tool says when the driver fails, finds nothing, or is asked
// its version, run as a user runs it: a failure names its cause without
// --verbose, and the log it points to exists.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "tests/tools/ToolRun.h"

namespace {

// Found on the network, but silent to every command.
const char* const kSilentCamera = R"(<simulation notRespondingDelayMs="20">
  <device model="Testbench TB-3" ip="192.168.0.10" mac="02:5e:10:00:00:01" unreachable="true">
    <sensor columns="64" rows="32"/>
  </device>
</simulation>
)";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class HostToolReport : public HostTool {
  protected:
    std::string Scene(const char* name, const char* text) {
        std::filesystem::create_directories(dir_);
        const auto path = dir_ / name;
        std::ofstream(path) << text;
        return path.string();
    }

    std::string Dir() const { return "--system-dir " + dir_.string() + " "; }
};

}  // namespace

TEST_F(HostToolReport, AFailedOpenShowsTheDriversCauseAndTheLogThatHoldsIt) {
    const std::string scene = Scene("silent.xml", kSilentCamera);
    ToolRun run = RunShell(OnTestCameras(Dir() + "grab --count 1", scene));
    EXPECT_EQ(4, WEXITSTATUS(run.status)) << run.output;
    const std::regex cause(R"(cvl-host: cannot open .* on port 1\n(  driver: .*\n)*)"
                           R"(  driver: .*Init camera.*E_CAMERA_NOT_RESPONDING)");
    EXPECT_TRUE(std::regex_search(run.output, cause)) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("VaveZAZ.log")) << "no run writes that file";
    const auto log = dir_ / "cvl-host.log";
    EXPECT_NE(std::string::npos, run.output.find(log.string())) << run.output;
    EXPECT_NE(std::string::npos, ReadFile(log).find("E_CAMERA_NOT_RESPONDING")) << ReadFile(log);
}

TEST_F(HostToolReport, AFailedDialogSaysWhyWithoutVerbose) {
    ToolRun run =
        RunTool(Dir() + "configure 192.168.0.10.1 --open", "env -u DISPLAY -u WAYLAND_DISPLAY ");
    EXPECT_EQ(1, WEXITSTATUS(run.status)) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("nothing saved")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("  driver: ")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("DISPLAY is not set")) << run.output;
}

TEST_F(HostToolReport, ListWithoutACameraFailsAndListNamesEachCamerasModelAndAddress) {
    const std::string none = Scene("none.xml", "<simulation/>\n");
    ToolRun empty = RunShell(OnTestCameras(Dir() + "list", none));
    EXPECT_EQ(4, WEXITSTATUS(empty.status)) << empty.output;
    EXPECT_NE(std::string::npos, empty.output.find("cvl-host: no camera found")) << empty.output;

    ToolRun list = RunShell(OnTestCameras(Dir() + "list"));
    ASSERT_EQ(0, list.status) << list.output;
    EXPECT_NE(std::string::npos,
              list.output.find("Testbench TB-3 - 010000105e02: model Testbench TB-3, MAC "
                               "address 02:5e:10:00:00:01\n  Testbench TB-3 - 010000105e02.1\n"))
        << list.output;
}

TEST_F(HostToolReport, VersionNamesTheToolsAndTheDriversVersion) {
    ToolRun run = RunTool(Dir() + "--version");
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_TRUE(std::regex_match(
        run.output,
        std::regex(
            R"(cvl-host \d+\.\d+\.\d+\.\d+\n)"
            R"(driver: /.*libvavezaz\.so[.0-9]* \(VaveZAZ camera driver V\d+,\d+,\d+,\d+\)\n)")))
        << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir_)) << "asking the version writes nothing";
}
