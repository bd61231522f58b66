#pragma once

#include <string>
#include <vector>

#include "tools/cvl-host/DriverStatistics.h"

// What a stream looked like at one moment.
struct StreamSample {
    double seconds = 0.0;  // since the stream started
    long images = 0;       // completion callbacks the host received
    DriverStatistics driver;
};

// The names of the status line's columns, in order.
const std::vector<std::string>& StatusColumns();

std::string StatusHeader();

// The line for the interval from `previous` to `now`: the images per second
// in it, then the totals since the stream started. "-" where the driver
// gave no statistics.
std::string StatusLine(const StreamSample& previous, const StreamSample& now);

// The stream's result in one line; `stopped` when it was interrupted.
std::string StreamSummary(const StreamSample& end, bool stopped);
