#include "tools/cvl-host/LiveStatus.h"

#include <iomanip>
#include <sstream>

namespace {

constexpr int kColumnWidth = 10;

std::string Count(const DriverStatistics& driver, long value) {
    return driver.known ? std::to_string(value) : "-";
}

std::string Rate(long images, double seconds) {
    std::ostringstream rate;
    rate << std::fixed << std::setprecision(1) << (seconds > 0.0 ? images / seconds : 0.0);
    return rate.str();
}

std::string Columns(const std::vector<std::string>& cells) {
    std::ostringstream line;
    for (const std::string& cell : cells) {
        line << std::right << std::setw(kColumnWidth) << cell;
    }
    return line.str();
}

}  // namespace

const std::vector<std::string>& StatusColumns() {
    static const std::vector<std::string> columns = {
        "seconds", "fps", "images", "frames", "dropped", "busy", "lost", "overtrig", "announced"};
    return columns;
}

std::string StatusHeader() {
    return Columns(StatusColumns());
}

std::string StatusLine(const StreamSample& previous, const StreamSample& now) {
    const DriverStatistics& driver = now.driver;
    std::ostringstream seconds;
    seconds << std::fixed << std::setprecision(1) << now.seconds;
    return Columns(
        {seconds.str(), Rate(now.images - previous.images, now.seconds - previous.seconds),
         std::to_string(now.images), Count(driver, driver.frames), Count(driver, driver.dropped),
         Count(driver, driver.grabInProgress), Count(driver, driver.packetsLost),
         Count(driver, driver.overtrigs), Count(driver, driver.completed)});
}

std::string StreamSummary(const StreamSample& end, bool stopped) {
    std::ostringstream summary;
    summary << "summary: " << std::fixed << std::setprecision(1) << end.seconds << " s"
            << (stopped ? " (stopped early)" : "") << ", " << end.images
            << " images handed to the host (" << Rate(end.images, end.seconds) << " per second)";
    const DriverStatistics& driver = end.driver;
    if (!driver.known) {
        summary << "; no driver statistics (its LogLevel is 0)";
    } else {
        summary << "; driver: " << driver.frames << " frames, " << driver.dropped << " dropped, "
                << driver.grabInProgress << " grabs while busy, " << driver.packetsLost
                << " lost packets, " << driver.overtrigs << " overtriggers, " << driver.completed
                << " images announced";
    }
    return summary.str();
}
