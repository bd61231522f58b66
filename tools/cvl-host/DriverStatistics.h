#pragma once

#include <string>
#include <vector>

#include "tools/cvl-host/HostSession.h"

// The statistics a port's driver keeps, as its property "PrintStats" writes
// them to the log: "Camera statistics", then one "Name:\t\tcount" line each.
struct DriverStatistics {
    bool known = false;  // false: the driver wrote none (its LogLevel is 0)
    long frames = 0;     // buffers the camera delivered
    long dropped = 0;    // buffers that arrived while no grab was pending
    long grabInProgress = 0;
    long packetsLost = 0;
    long overtrigs = 0;
    long completed = 0;  // images the driver announced to the host
    // What a 3D port's points are, when the block says: what Y measures, and
    // whether X and Z are millimetres or sensor positions (and why).
    std::string yMeaning;
    std::string calibration;
    std::string text;  // the block as the driver wrote it
};

// The last complete statistics block among the driver's log messages.
DriverStatistics ParseStatistics(const std::vector<std::string>& messages);

// Asks the driver for the statistics of `port` and reads them from the log
// messages it sends the host's debug procedure meanwhile.
DriverStatistics ReadStatistics(HostSession& session, int port);
