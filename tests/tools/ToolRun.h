#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Running the built host tool (CVL_HOST names it) through the shell, as a
// user runs it, with its standard output and error together.

struct ToolRun {
    int status;  // as wait() reports it
    std::string output;
};

// The tool's path, for a command line.
std::string ToolPath();

ToolRun RunShell(const std::string& command);

// `prefix` runs before the tool, for example to change its environment.
ToolRun RunTool(const std::string& arguments, const std::string& prefix = "");

// The shell command that runs the tool on the test cameras of
// tests/scenes/flat-box.xml, or of the simulation file `scene`.
std::string OnTestCameras(const std::string& arguments,
                          const std::string& scene = std::string(VAVEZAZ_SCENES) + "/flat-box.xml");

// A directory of the test's own, empty at its start and removed at its end.
class HostTool : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path dir_;
};
