// docs/logging.md against the driver: the host session the page describes is
// run at every log level, and each example line must reach the host's debug
// procedure at its level and not at the level below; at level 0 nothing may.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/camera/CameraFixture.h"
#include "tests/docs/MarkdownPage.h"
#include "vavezaz/CvlDriver.h"

namespace {

class LogReference : public CameraFixture {
  protected:
    // The page's session with "LogLevel" `level` in the settings file: open a
    // camera on port 1, read "Width", grab one image and read its rows, try
    // to open "Undefined" on port 2, close port 1. Returns the calls of the
    // host's procedure from the moment the open made the level take effect.
    std::vector<std::string> Session(int level) {
        Start();
        std::ofstream(systemDir_ / "VaveZAZ.ini")
            << "[General]\nLogLevel=" << level << "\n[" << kCameraA << "]\nNumberOfScans=" << kScans
            << "\nBufferSize=4\n";
        const auto [width, height] = OpenPort(1, kCameraA);
        capture_.Clear();
        int value = 0;
        EXPECT_EQ(1, getProperty(0, 1, "Width", &value));
        EXPECT_EQ(1, doCVLGrab(0, 1));
        EXPECT_TRUE(WaitForImages(1, 1));
        ReadImage(1, width, height);
        int size[2];
        EXPECT_EQ(0, openCVLPort(0, 2, "Undefined", size));
        closeCVLPort(0, 1);
        std::vector<std::string> calls = capture_.Calls();
        finalize();
        return calls;
    }

    static bool Has(const std::vector<std::string>& calls, const std::string& line) {
        for (const std::string& call : calls) {
            if (call == line + "\n") {
                return true;
            }
        }
        return false;
    }

    const MarkdownPage page_{"docs/logging.md"};
};

}  // namespace

TEST_F(LogReference, EachExampleAppearsAtItsLevelAndNotBelow) {
    const MarkdownPage::Table levels = page_.TableIn("Levels");
    ASSERT_EQ(5u, levels.rows.size()) << "levels 0 to 4";
    std::vector<std::vector<std::string>> calls;
    for (int level = 0; level <= 4; ++level) {
        calls.push_back(Session(level));
    }
    EXPECT_TRUE(calls[0].empty()) << "level 0 let through: " << calls[0].front();
    for (const auto& row : levels.rows) {
        const int level = std::stoi(levels.Cell(row, "Level"));
        const std::string example = FirstCode(levels.Cell(row, "Example"));
        if (level == 0) {
            EXPECT_EQ("—", levels.Cell(row, "Example"));
            continue;
        }
        ASSERT_FALSE(example.empty()) << "level " << level << " has no example";
        EXPECT_TRUE(Has(calls[level], example)) << "level " << level << ": " << example;
        EXPECT_FALSE(Has(calls[level - 1], example))
            << example << " already appears at level " << level - 1;
    }
}

TEST_F(LogReference, EveryLineReachesTheHostAsTimestampThenMessage) {
    const MarkdownPage::Table outputs = page_.TableIn("Log");
    ASSERT_FALSE(outputs.rows.empty());
    const std::string stamp = FirstCode(outputs.Cell(outputs.rows[0], "Form"));
    ASSERT_FALSE(stamp.empty()) << "the host procedure's row shows no timestamp";
    // The page's example timestamp, with any digit allowed where it has one.
    const std::regex timestamp(std::regex_replace(stamp, std::regex("[0-9]"), "[0-9]"));
    const std::vector<std::string> calls = Session(2);
    ASSERT_FALSE(calls.empty());
    ASSERT_EQ(0u, calls.size() % 2);
    for (size_t i = 0; i < calls.size(); i += 2) {
        EXPECT_TRUE(std::regex_match(calls[i], timestamp)) << "not a timestamp: " << calls[i];
        EXPECT_FALSE(std::regex_match(calls[i + 1], timestamp)) << calls[i + 1];
    }
    const std::string fileLine = page_.CodeBlocksIn("Log").at(0).text;
    EXPECT_TRUE(std::regex_match(fileLine.substr(0, stamp.size()), timestamp)) << fileLine;
    EXPECT_TRUE(Has(calls, fileLine.substr(stamp.size(), fileLine.size() - stamp.size() - 1)))
        << "the example line of VaveZAZ.log is not a line of the session: " << fileLine;
}
