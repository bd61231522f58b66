// The live viewer run as a user runs it, on a virtual display of the test's
// own: what it draws is read back from its snapshot files, what it counted
// from its status lines and summary, and what it did to the port from the
// driver's own log lines.

#include <gtest/gtest.h>
#include <wx/image.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "tests/dialog/XvfbDisplay.h"
#include "tests/tools/ToolRun.h"
#include "tools/cvl-host/HeightMap.h"
#include "tools/cvl-host/ViewPictures.h"

namespace {

// The flat box of tests/scenes/flat-box.xml: X -70 to 30 mm, 40 mm high.
constexpr double kBoxLeft = -70.0;
constexpr double kBoxRight = 30.0;
constexpr double kBoxHeight = 40.0;
constexpr double kOnBox = -20.0;
constexpr double kOnBelt = 100.0;

// The height a colour of the colour bar stands for; NaN for one not on it.
double HeightOfColour(const Rgb& colour, double low, double high) {
    double fraction = NAN;
    if (colour.r == 0 && colour.b == 255) {
        fraction = colour.g / 255.0 * 0.25;
    } else if (colour.r == 0 && colour.g == 255) {
        fraction = 0.25 + (255 - colour.b) / 255.0 * 0.25;
    } else if (colour.b == 0 && colour.g == 255) {
        fraction = 0.5 + colour.r / 255.0 * 0.25;
    } else if (colour.r == 255 && colour.b == 0) {
        fraction = 0.75 + (255 - colour.g) / 255.0 * 0.25;
    }
    return low + fraction * (high - low);
}

// What a snapshot line says of a picture: its file, its size, and the
// ranges of X and Z it spans.
struct Picture {
    std::string path;
    int width = 0;
    int height = 0;
    double xMin = 0, xMax = 0, zLow = 0, zHigh = 0;
    wxImage image;

    // The column of `x`, the row of `z` (the profile's, highest at the top).
    int Column(double x) const {
        return static_cast<int>(std::lround((x - xMin) / (xMax - xMin) * (width - 1)));
    }
    Rgb At(int column, int row) const {
        return {image.GetRed(column, row), image.GetGreen(column, row), image.GetBlue(column, row)};
    }
};

Picture ReadPicture(const std::string& output, const std::string& kind) {
    const std::regex line(
        "snapshot: (\\S+): " + kind +
        " (\\d+) x (\\d+)[^\\n]*?, x (\\S+) \\.\\. (\\S+), (?:y \\S+ \\.\\. \\S+, )?"
        "z (\\S+) \\.\\. (\\S+) mm");
    std::smatch match;
    Picture picture;
    if (!std::regex_search(output, match, line)) {
        ADD_FAILURE() << "no " << kind << " snapshot in\n" << output;
        return picture;
    }
    picture.path = match[1];
    picture.width = std::stoi(match[2]);
    picture.height = std::stoi(match[3]);
    picture.xMin = std::stod(match[4]);
    picture.xMax = std::stod(match[5]);
    picture.zLow = std::stod(match[6]);
    picture.zHigh = std::stod(match[7]);
    EXPECT_TRUE(picture.image.LoadFile(picture.path, wxBITMAP_TYPE_PNG)) << picture.path;
    EXPECT_EQ(picture.width, picture.image.GetWidth());
    EXPECT_EQ(picture.height, picture.image.GetHeight());
    return picture;
}

// The height the profile's line shows at `x`: its topmost pixel there.
double ProfileHeight(const Picture& profile, double x) {
    const int column = profile.Column(x);
    for (int row = 0; row < profile.height; ++row) {
        const Rgb pixel = profile.At(column, row);
        if (pixel.r > 200 && pixel.g > 200 && pixel.b > 200) {
            return profile.zHigh -
                   row * (profile.zHigh - profile.zLow) / static_cast<double>(profile.height - 1);
        }
    }
    return NAN;
}

// Whether a row near the height `z` of the profile is mostly the limit's
// dashed line.
bool HasLimitLine(const Picture& profile, double z) {
    const int row = static_cast<int>(
        std::lround((profile.zHigh - z) / (profile.zHigh - profile.zLow) * (profile.height - 1)));
    for (int near = std::max(0, row - 1); near <= std::min(profile.height - 1, row + 1); ++near) {
        int dashes = 0;
        for (int column = 0; column < profile.width; ++column) {
            const Rgb pixel = profile.At(column, near);
            dashes +=
                pixel.r == kLimitLine[0] && pixel.g == kLimitLine[1] && pixel.b == kLimitLine[2]
                    ? 1
                    : 0;
        }
        if (dashes > profile.width / 4) {
            return true;
        }
    }
    return false;
}

// The summary's figures.
struct Summary {
    long images = -1, frames = -1, dropped = -1, drawn = -1, skipped = -1, unread = -1;
};

Summary ReadSummary(const std::string& output) {
    Summary summary;
    std::smatch match;
    if (std::regex_search(output, match,
                          std::regex("(\\d+) images handed to the host .*?driver: (\\d+) "
                                     "frames, (\\d+) dropped,.*"
                                     "viewer: (\\d+) drawn, (\\d+) skipped, (\\d+) unread"))) {
        summary = {std::stol(match[1]), std::stol(match[2]), std::stol(match[3]),
                   std::stol(match[4]), std::stol(match[5]), std::stol(match[6])};
    } else {
        ADD_FAILURE() << "no summary in\n" << output;
    }
    return summary;
}

class Viewer : public HostTool {
  protected:
    static void SetUpTestSuite() {
        display_ = new XvfbDisplay;
        wxImage::AddHandler(new wxPNGHandler);
    }
    static void TearDownTestSuite() {
        delete display_;
        display_ = nullptr;
    }

    void SetUp() override {
        HostTool::SetUp();
        ASSERT_FALSE(display_->Name().empty()) << display_->Error();
        std::filesystem::create_directories(dir_);
        Settings("'ImageFormat=3D (XYZ)' CalibrationFilter=Enabled MinHeight=-10 MaxHeight=60");
    }

    void Settings(const std::string& assignments) {
        const ToolRun run = RunShell(OnTestCameras("--system-dir " + dir_.string() +
                                                   " settings 192.168.0.10.1 " + assignments));
        ASSERT_EQ(0, run.status) << run.output;
    }

    // The shell command that runs the viewer on the display.
    std::string Command(const std::string& arguments, const std::string& prefix = "") {
        // Without the accessibility bridge, as the dialog tests: the display
        // has no session bus for it.
        return "env NO_AT_BRIDGE=1 DISPLAY=" + display_->Name() + " " + prefix + " " +
               OnTestCameras("--system-dir " + dir_.string() + " " + arguments);
    }

    ToolRun View(const std::string& arguments, const std::string& prefix = "") {
        return RunShell("timeout 60 " + Command(arguments, prefix));
    }

    static XvfbDisplay* display_;
};

XvfbDisplay* Viewer::display_ = nullptr;

}  // namespace

TEST_F(Viewer, DrawsTheBoxAndTheBeltAtTheirHeightsAndTheProfileStepsAtTheBox) {
    const std::string png = (dir_ / "view.png").string();
    const ToolRun run = View("view 192.168.0.10.1 --close-after 3 --snapshot-png " + png);
    ASSERT_EQ(0, run.status) << run.output;

    const Picture map = ReadPicture(run.output, "height map");
    ASSERT_TRUE(map.image.IsOk());
    for (int row : {map.height / 4, map.height / 2, 3 * map.height / 4}) {
        EXPECT_NEAR(kBoxHeight,
                    HeightOfColour(map.At(map.Column(kOnBox), row), map.zLow, map.zHigh), 2.0)
            << "row " << row;
        EXPECT_NEAR(0.0, HeightOfColour(map.At(map.Column(kOnBelt), row), map.zLow, map.zHigh), 2.0)
            << "row " << row;
    }

    const Picture profile = ReadPicture(run.output, "profile");
    ASSERT_TRUE(profile.image.IsOk());
    EXPECT_NEAR(kBoxHeight, ProfileHeight(profile, kOnBox), 2.0);
    EXPECT_NEAR(0.0, ProfileHeight(profile, kOnBelt), 2.0);
    // The step up and down, where the box's sides are.
    const double step = (profile.xMax - profile.xMin) / (profile.width - 1);
    double up = NAN;
    double down = NAN;
    for (double x = kBoxLeft - 30; x < kBoxRight + 30; x += step) {
        const bool onBox = ProfileHeight(profile, x) > kBoxHeight / 2;
        up = onBox && std::isnan(up) ? x : up;
        down = onBox ? x : down;
    }
    EXPECT_NEAR(kBoxLeft, up, 4.0);
    EXPECT_NEAR(kBoxRight, down, 4.0);
    EXPECT_TRUE(HasLimitLine(profile, -10.0)) << "no MinHeight line";
    EXPECT_TRUE(HasLimitLine(profile, 60.0)) << "no MaxHeight line";

    // A status line each second, counting the images as they come.
    const std::regex status(
        "status: [\\d.]+ clouds/s, \\d+ points/s \\| (\\d+) received, (\\d+) "
        "drawn, \\d+ skipped \\| dropped 0,");
    long lastReceived = -1;
    int lines = 0;
    for (std::sregex_iterator it(run.output.begin(), run.output.end(), status), end; it != end;
         ++it, ++lines) {
        const long received = std::stol((*it)[1]);
        EXPECT_GT(received, lastReceived);
        lastReceived = received;
    }
    EXPECT_GE(lines, 2) << run.output;
    EXPECT_GT(lastReceived, 0);
    const Summary summary = ReadSummary(run.output);
    EXPECT_LE(lastReceived, summary.images);
    EXPECT_GT(summary.drawn, 0);
    EXPECT_EQ(0, summary.dropped);
}

TEST_F(Viewer, PointsTheHeightWindowDropsAreEmptyCells) {
    Settings("MinHeight=20");
    const std::string png = (dir_ / "view.png").string();
    const ToolRun run = View("view 192.168.0.10.1 --close-after 2 --snapshot-png " + png);
    ASSERT_EQ(0, run.status) << run.output;
    const Picture map = ReadPicture(run.output, "height map");
    ASSERT_TRUE(map.image.IsOk());
    // The map spans the box only now.
    EXPECT_NEAR(kBoxLeft, map.xMin, 3.0);
    EXPECT_NEAR(kBoxRight, map.xMax, 3.0);
    const Rgb middle = map.At(map.width / 2, map.height / 2);
    EXPECT_NEAR(kBoxHeight, HeightOfColour(middle, map.zLow, map.zHigh), 2.0);
    int empty = 0;
    for (int column = 0; column < map.width; ++column) {
        const Rgb cell = map.At(column, map.height / 2);
        empty += cell.r == kEmptyCell.r && cell.g == kEmptyCell.g && cell.b == kEmptyCell.b;
    }
    EXPECT_LT(empty, map.width / 10) << "the box's own cells are drawn";
}

TEST_F(Viewer, ASlowDrawingSkipsImagesWhileTheDriverDropsNone) {
    const ToolRun run =
        View("view 192.168.0.10.1 --close-after 3", "CVL_HOST_VIEW_DRAW_DELAY_MS=250");
    ASSERT_EQ(0, run.status) << run.output;
    const Summary summary = ReadSummary(run.output);
    // Every buffer the camera delivered was handed to the host (the last
    // few may be on their way as the port closes: a sanitizer build takes
    // longer over each), many more than were drawn.
    EXPECT_GE(summary.images, summary.frames - 4);
    EXPECT_LE(summary.drawn, 3000 / 250 + 2);
    EXPECT_GT(summary.images, summary.drawn + 5);
    EXPECT_GE(summary.skipped, summary.images - summary.drawn - 2);
    EXPECT_EQ(0, summary.dropped);
    EXPECT_EQ(0, summary.unread);
}

TEST_F(Viewer, TheDialogShowsInTheViewersLoopAndClosingTheWindowClosesThePort) {
    Settings("LogLevel=2");
    const std::string log = (dir_ / "view.log").string();
    const std::string display = "DISPLAY=" + display_->Name() + " ";
    const std::string find = display + "timeout 20 xdotool search --sync --name ";
    const ToolRun run = RunShell("(timeout 60 " + Command("--verbose view 192.168.0.10.1") + " > " +
                                 log + " 2>&1; echo \"exit $?\" >> " + log + ") & " +
                                 // Opens the dialog, cancels it, waits for images after the
                                 // reopening, then closes the viewer with its key.
                                 "W=$(" + find + "'^cvl-host view' | head -1) && sleep 1.5 && " +
                                 display + "xdotool windowfocus --sync $W key c && D=$(" + find +
                                 "'^Configure camera' | head -1) && " + display +
                                 "xdotool windowfocus --sync $D key Escape && sleep 2.5 && " +
                                 display + "xdotool windowfocus --sync $W key Escape; wait");
    ASSERT_EQ(0, run.status) << run.output;
    std::ifstream file(log);
    const std::string output((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(std::string::npos, output.find("exit 0\n")) << output;
    EXPECT_NE(std::string::npos, output.find("nothing saved; the port was reopened")) << output;
    // Opened, closed for the dialog, opened again, and closed by the window.
    const std::regex closed("closeCVLPort: leaving grabberNo=0, portNo=1");
    EXPECT_EQ(2, std::distance(std::sregex_iterator(output.begin(), output.end(), closed),
                               std::sregex_iterator()))
        << output;
    const std::string afterReopen = output.substr(output.find("nothing saved"));
    EXPECT_TRUE(std::regex_search(afterReopen, std::regex("status: [\\d.]+ clouds/s, [1-9]")))
        << "no image after the reopening:\n"
        << afterReopen;
    EXPECT_GT(ReadSummary(output).images, 0);
}

TEST_F(Viewer, CtrlCEndsItCleanlyAndWithoutADisplayItSaysSo) {
    const ToolRun interrupted =
        RunShell("timeout --preserve-status -s INT 2.5 " + Command("view 192.168.0.10.1"));
    EXPECT_EQ(130, WEXITSTATUS(interrupted.status)) << interrupted.output;
    EXPECT_NE(std::string::npos, interrupted.output.find("(stopped early)")) << interrupted.output;

    const ToolRun blind = RunShell(
        "DISPLAY= " + OnTestCameras("--system-dir " + dir_.string() + " view 192.168.0.10.1"));
    EXPECT_EQ(1, WEXITSTATUS(blind.status)) << blind.output;
    EXPECT_NE(std::string::npos, blind.output.find("view needs a display: DISPLAY is not set"))
        << blind.output;
}
