// The host tool's stream and quiet mode, run as a user runs them: a camera
// that loses packets and counts overtriggers streams 3D images, and the
// status lines, the summary and the exit status must tell what it did.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/ToolRun.h"

namespace {

// Five packets lost every four scans and an overtrigger every third scan:
// 640 and 170 or 171 per buffer of 512 scans.
constexpr long kLostPerBuffer = 640;
constexpr long kFewestOvertrigsPerBuffer = 170;
constexpr long kMostOvertrigsPerBuffer = 171;

const char* const kFaultyCamera = R"(<simulation seed="11" notRespondingDelayMs="20">
  <device model="Testbench TB-3" ip="192.168.0.10" mac="02:5e:10:00:00:01" lineRate="20000"
          pulsesPerMillimeter="10" pulsesPerScan="5">
    <sensor columns="256" rows="128" fieldWidth="300" heightRange="150"/>
    <scene beltWidth="300" length="400">
      <box x="-20" y="0" width="100" length="400" height="40"/>
    </scene>
    <lostPackets rate="0" pattern="0 3 0 2"/>
    <overtrigs rate="0" pattern="0 0 1"/>
  </device>
</simulation>
)";

struct StatusRow {
    double seconds;
    long fps10;  // frames per second, in tenths
    long images, frames, dropped, busy, lost, overtrig, announced;
};

// The rows under the status header, up to the summary.
std::vector<StatusRow> StatusRows(const std::string& output) {
    std::vector<StatusRow> rows;
    std::istringstream lines(output.substr(output.find("announced\n") + 10));
    for (std::string line; std::getline(lines, line) && line.rfind("summary:", 0) != 0;) {
        std::istringstream cells(line);
        StatusRow row{};
        double fps = 0;
        cells >> row.seconds >> fps >> row.images >> row.frames >> row.dropped >> row.busy >>
            row.lost >> row.overtrig >> row.announced;
        EXPECT_TRUE(cells && cells.peek() == EOF) << "not a status line: " << line;
        row.fps10 = static_cast<long>(fps * 10 + 0.5);
        rows.push_back(row);
    }
    return rows;
}

class HostToolStream : public HostTool {
  protected:
    void SetUp() override {
        HostTool::SetUp();
        std::filesystem::create_directories(dir_);
        scene_ = (dir_ / "faulty.xml").string();
        std::ofstream(scene_) << kFaultyCamera;
        options_ = "--system-dir " + dir_.string() + " ";
        ToolRun settings = RunShell(
            OnTestCameras(options_ + "settings 192.168.0.10.1 'ImageFormat=3D (XYZ)'", scene_));
        ASSERT_EQ(0, settings.status) << settings.output;
    }

    ToolRun Run(const std::string& arguments) {
        return RunShell(OnTestCameras(options_ + arguments, scene_));
    }

    std::string scene_;
    std::string options_;
};

}  // namespace

TEST_F(HostToolStream, EachSecondGetsAStatusLineAndTheEndASummaryOfTheSameTotals) {
    ToolRun run = Run("grab --camera 192.168.0.10.1 --continuous --duration 2.5");
    ASSERT_EQ(0, run.status) << run.output;
    const std::vector<StatusRow> rows = StatusRows(run.output);
    ASSERT_EQ(3u, rows.size()) << "at 1 s, 2 s and the end: " << run.output;
    const double targets[] = {1.0, 2.0, 2.5};
    for (size_t i = 0; i < rows.size(); ++i) {
        const StatusRow& row = rows[i];
        EXPECT_GE(row.seconds, targets[i]) << run.output;
        EXPECT_LT(row.seconds, targets[i] + 1.0) << run.output;
        EXPECT_GT(row.images, i == 0 ? 0 : rows[i - 1].images) << "images keep coming";
        EXPECT_EQ(0, row.dropped) << "continuous mode hands on every buffer";
        EXPECT_EQ(0, row.busy);
        EXPECT_LE(std::abs(row.images - row.announced), 1) << run.output;
        // Each delivered buffer's lost packets and overtriggers, give or take
        // the buffer in flight while the counters are read. (A 3D port may
        // announce fewer clouds than it was delivered buffers: a cloud built
        // while the host is still in its callback gives way to the next.)
        EXPECT_GE(row.lost, kLostPerBuffer * (row.frames - 1)) << run.output;
        EXPECT_LE(row.lost, kLostPerBuffer * (row.frames + 1)) << run.output;
        EXPECT_GE(row.overtrig, kFewestOvertrigsPerBuffer * (row.frames - 1)) << run.output;
        EXPECT_LE(row.overtrig, kMostOvertrigsPerBuffer * (row.frames + 1)) << run.output;
    }
    const StatusRow& last = rows.back();
    std::ostringstream summary;
    summary << last.images << " images handed to the host";
    EXPECT_NE(std::string::npos, run.output.find(summary.str())) << run.output;
    summary.str("");
    summary << last.frames << " frames, 0 dropped, 0 grabs while busy, " << last.lost
            << " lost packets, " << last.overtrig << " overtriggers, " << last.announced
            << " images announced";
    EXPECT_NE(std::string::npos, run.output.find(summary.str())) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "images")) << "a stream writes no image";
}

TEST_F(HostToolStream, CtrlCEndsTheStreamWithItsSummaryAndStatus130) {
    const std::string out = (dir_ / "out.txt").string();
    // Interrupted once the stream has started, as a person watching would.
    ToolRun run =
        RunShell("(" + OnTestCameras(options_ + "grab --continuous --duration 600", scene_) + " >" +
                 out + " 2>&1 & pid=$!; for i in $(seq 600); do grep -q announced " + out +
                 " && break; sleep 0.1; done; kill -INT $pid; wait $pid; echo "
                 "status=$?)");
    std::ifstream file(out);
    const std::string output((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, run.output.find("status=130")) << run.output << output;
    EXPECT_NE(std::string::npos, output.find(" s (stopped early), ")) << output;
}

TEST_F(HostToolStream, QuietPrintsOnlyTheResultAndTheErrors) {
    ToolRun stream = Run("--quiet grab --camera 192.168.0.10.1 --continuous --duration 3");
    ASSERT_EQ(0, stream.status) << stream.output;
    EXPECT_EQ(0u, stream.output.find("summary: ")) << stream.output;
    EXPECT_EQ(stream.output.size() - 1, stream.output.find('\n')) << "one line: " << stream.output;

    ToolRun grab = Run("-q grab --camera 192.168.0.10.1 --count 2");
    ASSERT_EQ(0, grab.status) << grab.output;
    EXPECT_EQ("grabbed 2 of 2 images from 192.168.0.10.1 on port 1 into " +
                  (dir_ / "images").string() + "\n",
              grab.output);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "images" / "image-2.ply"));

    ToolRun unknown = Run("-q grab --camera Nobody.1");
    EXPECT_EQ(4, WEXITSTATUS(unknown.status));
    EXPECT_EQ(0u, unknown.output.find("cvl-host: the driver offers no camera configuration"))
        << unknown.output;
}
