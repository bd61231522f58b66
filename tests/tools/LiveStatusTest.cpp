// The live status of a stream: the driver's statistics read back from its
// log messages, and the lines and summary made of them.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/cvl-host/LiveStatus.h"

namespace {

const char* const kBlock =
    "Camera statistics\nFrames:\t\t120\nDropped:\t\t3\nGrabInProgress:\t1\n"
    "PacketsLost:\t\t640\nOvertrigs:\t\t17\nCorvaneCB:\t\t117\n";

std::vector<std::string> Cells(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> cells;
    for (std::string cell; words >> cell;) {
        cells.push_back(cell);
    }
    return cells;
}

}  // namespace

TEST(DriverStatistics, TheBlockIsFoundAmongTheOtherMessages) {
    const DriverStatistics statistics = ParseStatistics(
        {"08/12/26 10:00:00: ", "WARNING: Overtrigs: 3\n", "08/12/26 10:00:00: ", kBlock});
    ASSERT_TRUE(statistics.known);
    EXPECT_EQ(120, statistics.frames);
    EXPECT_EQ(3, statistics.dropped);
    EXPECT_EQ(1, statistics.grabInProgress);
    EXPECT_EQ(640, statistics.packetsLost);
    EXPECT_EQ(17, statistics.overtrigs);
    EXPECT_EQ(117, statistics.completed);
    EXPECT_EQ(kBlock, statistics.text);
}

TEST(DriverStatistics, TheLastWholeBlockCountsAndAPartOfOneIsNone) {
    const std::string later =
        "Camera statistics\nFrames:\t\t5\nDropped:\t\t0\nGrabInProgress:\t0\n"
        "PacketsLost:\t\t0\nOvertrigs:\t\t0\nCorvaneCB:\t\t5\n";
    EXPECT_EQ(5, ParseStatistics({kBlock, later}).frames);
    // A block cut short by the log's line limit, or with a count that is not
    // a number, gives no statistics rather than a wrong one.
    EXPECT_EQ(120, ParseStatistics({kBlock, "Camera statistics\nFrames:\t\t9\n"}).frames);
    EXPECT_FALSE(ParseStatistics({"Camera statistics\nFrames:\t\t9\n"}).known);
    const std::string garbled =
        std::string(kBlock).replace(std::string(kBlock).find("640"), 3, "x");
    EXPECT_FALSE(ParseStatistics({garbled}).known);
    EXPECT_FALSE(ParseStatistics({}).known);
    EXPECT_FALSE(ParseStatistics({"Frames:\t\t9\n"}).known) << "no heading, no block";
}

TEST(LiveStatus, ALineHoldsTheIntervalsRateAndTheTotalsUnderItsColumns) {
    StreamSample previous;
    previous.seconds = 1.0;
    previous.images = 38;
    StreamSample now;
    now.seconds = 1.5;
    now.images = 58;
    now.driver = ParseStatistics({kBlock});
    const std::vector<std::string> header = Cells(StatusHeader());
    EXPECT_EQ(StatusColumns(), header);
    const std::vector<std::string> cells = Cells(StatusLine(previous, now));
    ASSERT_EQ(header.size(), cells.size());
    const std::vector<std::string> expected = {"1.5", "40.0", "58", "120", "3",
                                               "1",   "640",  "17", "117"};
    EXPECT_EQ(expected, cells);
    EXPECT_EQ(StatusHeader().size(), StatusLine(previous, now).size()) << "columns line up";
}

TEST(LiveStatus, WithoutDriverStatisticsTheirColumnsShowADash) {
    StreamSample now;
    now.seconds = 2.0;
    now.images = 4;
    const std::vector<std::string> cells = Cells(StatusLine(StreamSample{}, now));
    const std::vector<std::string> expected = {"2.0", "2.0", "4", "-", "-", "-", "-", "-", "-"};
    EXPECT_EQ(expected, cells);
    EXPECT_NE(std::string::npos, StreamSummary(now, false).find("no driver statistics"));
    StreamSample instant;
    EXPECT_EQ("0.0", Cells(StatusLine(instant, instant))[1]) << "no interval, no division by 0";
}

TEST(LiveStatus, TheSummarySaysTheTotalsAndWhetherItStoppedEarly) {
    StreamSample end;
    end.seconds = 4.0;
    end.images = 117;
    end.driver = ParseStatistics({kBlock});
    EXPECT_EQ(
        "summary: 4.0 s, 117 images handed to the host (29.2 per second); driver: 120 frames, 3 "
        "dropped, 1 grabs while busy, 640 lost packets, 17 overtriggers, 117 images announced",
        StreamSummary(end, false));
    EXPECT_NE(std::string::npos, StreamSummary(end, true).find("4.0 s (stopped early)"));
}
