#include "tools/cvl-host/DriverStatistics.h"

#include <cstdlib>

namespace {

constexpr const char* kHeading = "Camera statistics";

// The count after "`name`:" in `block`; false when it is not there.
bool ReadCount(const std::string& block, const std::string& name, long& count) {
    const size_t at = block.find("\n" + name + ":");
    if (at == std::string::npos) {
        return false;
    }
    const char* start = block.c_str() + at + name.size() + 2;
    char* end = nullptr;
    count = std::strtol(start, &end, 10);
    return end != start && (*end == '\n' || *end == '\0');
}

// The text after "`name`:" and its tabs in `block`, to the line's end.
std::string ReadText(const std::string& block, const std::string& name) {
    const size_t at = block.find("\n" + name + ":");
    if (at == std::string::npos) {
        return std::string();
    }
    const size_t start = block.find_first_not_of('\t', at + name.size() + 2);
    return start == std::string::npos ? std::string()
                                      : block.substr(start, block.find('\n', start) - start);
}

DriverStatistics ParseBlock(const std::string& block) {
    DriverStatistics statistics;
    statistics.known = ReadCount(block, "Frames", statistics.frames) &&
                       ReadCount(block, "Dropped", statistics.dropped) &&
                       ReadCount(block, "GrabInProgress", statistics.grabInProgress) &&
                       ReadCount(block, "PacketsLost", statistics.packetsLost) &&
                       ReadCount(block, "Overtrigs", statistics.overtrigs) &&
                       ReadCount(block, "CorvaneCB", statistics.completed);
    if (statistics.known) {
        statistics.yMeaning = ReadText(block, "Y");
        statistics.calibration = ReadText(block, "Calibration");
        statistics.text = block.substr(block.find(kHeading));
    }
    return statistics;
}

}  // namespace

DriverStatistics ParseStatistics(const std::vector<std::string>& messages) {
    for (auto message = messages.rbegin(); message != messages.rend(); ++message) {
        if (message->find(kHeading) == std::string::npos) {
            continue;
        }
        DriverStatistics statistics = ParseBlock("\n" + message->substr(message->find(kHeading)));
        if (statistics.known) {
            return statistics;
        }
    }
    return DriverStatistics{};
}

DriverStatistics ReadStatistics(HostSession& session, int port) {
    session.Capture(true);
    session.Driver().setProperty(0, port, "PrintStats", 1);
    session.Capture(false);
    return ParseStatistics(session.Captured());
}
