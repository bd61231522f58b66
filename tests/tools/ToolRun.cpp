#include "tests/tools/ToolRun.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

std::string ToolPath() {
    const char* tool = std::getenv("CVL_HOST");
    return tool != nullptr ? tool : "cvl-host";
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

ToolRun RunTool(const std::string& arguments, const std::string& prefix) {
    return RunShell(prefix + ToolPath() + " " + arguments);
}

std::string OnTestCameras(const std::string& arguments, const std::string& scene) {
    return "ICONSIM_CONFIG=" + scene + " " + ToolPath() + " " + arguments;
}

void HostTool::SetUp() {
    dir_ = std::filesystem::temp_directory_path() /
           ("vavezaz-tool-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
}

void HostTool::TearDown() {
    std::filesystem::remove_all(dir_);
}
