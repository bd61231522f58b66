#include "tools/cvl-host/StreamCommand.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "tools/cvl-host/CameraChoice.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/InterruptGuard.h"
#include "tools/cvl-host/LiveStatus.h"

namespace {

using Clock = std::chrono::steady_clock;

// A signal is noticed within this time.
constexpr auto kSlice = std::chrono::milliseconds(50);

// Sleeps until `until`; false when interrupted first.
bool SleepUntil(Clock::time_point until) {
    while (Clock::now() < until) {
        if (InterruptGuard::Interrupted()) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, until - Clock::now()));
    }
    return !InterruptGuard::Interrupted();
}

StreamSample Sample(HostSession& session, int port, Clock::time_point start, int imagesBefore) {
    StreamSample sample;
    sample.driver = ReadStatistics(session, port);
    sample.images = session.ImagesAnnounced(port) - imagesBefore;
    sample.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return sample;
}

// Streams until the duration has passed or a signal came; returns the last
// sample and whether the stream was stopped early.
std::pair<StreamSample, bool> Stream(HostSession& session, const CommandOptions& options,
                                     Console& console, int imagesBefore) {
    const InterruptGuard guard;
    const Clock::time_point start = Clock::now();
    StreamSample previous;
    console.Progress() << StatusHeader() << "\n" << std::flush;
    for (int second = 1;; ++second) {
        const double target = std::min<double>(second, options.durationSeconds);
        const bool completed = SleepUntil(start + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(target)));
        const StreamSample now = Sample(session, options.port, start, imagesBefore);
        console.Progress() << StatusLine(previous, now) << "\n" << std::flush;
        if (!completed || target >= options.durationSeconds) {
            return {now, !completed};
        }
        previous = now;
    }
}

}  // namespace

int RunStream(HostSession& session, const CommandOptions& options) {
    Console& console = session.Out();
    HostLibrary& driver = session.Driver();
    const std::string camera = ChooseCamera(driver, options.camera);
    const auto [width, height] = OpenPort(session, camera, options.port);
    const ScopedPort opened(driver, options.port);
    console.Progress() << "opened " << camera << " on port " << options.port << ": " << width
                       << " x " << height << "\nstreaming for " << options.durationSeconds
                       << " s; Ctrl-C stops early\n";
    // The counters start with the stream: buffers dropped before continuous
    // mode was on are not the stream's.
    driver.setProperty(0, options.port, "continuous", 1);
    driver.setProperty(0, options.port, "ResetStats", 1);
    const int imagesBefore = session.ImagesAnnounced(options.port);
    const auto [end, stopped] = Stream(session, options, console, imagesBefore);
    driver.setProperty(0, options.port, "continuous", 0);
    console.Result() << StreamSummary(end, stopped) << "\n";
    if (stopped) {
        return Status(ExitCode::kInterrupted);
    }
    if (end.images == 0) {
        std::ostringstream message;
        message << "no image arrived in " << options.durationSeconds << " s of streaming";
        throw ToolError(ExitCode::kTimeout, message.str());
    }
    return Status(ExitCode::kOk);
}
