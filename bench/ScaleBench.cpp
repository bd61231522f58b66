// Many simulated cameras streaming through the driver, measured as a host
// sees them: the driver loaded at run time, N cameras × P ports opened by
// name through the C interface, every buffer an image on each port
// (continuous mode), every row of every image read. Prints per port the
// images per second against what the line rate gives, the longest wait
// between two images, the driver's dropped buffers and lost packets; then
// the scans the simulation lost or skipped, the process's CPU time and its
// peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/cvl-host/DriverStatistics.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/HostLibrary.h"

using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int cameras = 10;
    int ports = 2;
    double rate = 5000.0;
    double seconds = 10.0;
    double warmup = 1.0;
    int scans = 512;
    int columns = 1536;
    std::string simulation;
    std::string library;
    std::string systemDir;
};

// What the completion callback saw of one port.
struct PortState {
    std::atomic<long long> images{0};
    std::atomic<long long> lastNs{0};
    std::atomic<long long> maxGapNs{0};
    std::atomic<long long> rowErrors{0};
    int width = 0;
    int height = 0;
    std::vector<unsigned char> row;
};

constexpr int kMaxPorts = 20;
HostLibrary* driver = nullptr;
PortState ports[kMaxPorts];

// The driver's log lines: lost and late scans are counted from the camera
// API's messages; statistics blocks are kept while `capturing`.
std::mutex logMutex;
bool capturing = false;
std::vector<std::string> captured;
std::atomic<long long> lostScans{0};
std::atomic<long long> lateScans{0};

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

void CountScans(const std::string& text, const char* what, std::atomic<long long>& total) {
    const std::string key = std::string(" scans ") + what;
    const size_t at = text.find(key);
    const size_t colon = text.rfind("FGEthernet: ", at);
    if (at != std::string::npos && colon != std::string::npos) {
        total += std::atoll(text.c_str() + colon + 12);
    }
}

void OnMessage(const char* text) {
    const std::string line(text);
    CountScans(line, "lost", lostScans);
    CountScans(line, "late", lateScans);
    std::lock_guard<std::mutex> lock(logMutex);
    if (capturing) {
        captured.push_back(line);
    }
}

int OnImage(int grabber, int port) {
    if (port < 0 || port >= kMaxPorts) {
        return 0;
    }
    PortState& state = ports[port];
    for (int r = 0; r < state.height; ++r) {
        if (driver->getCVLGrabRow(grabber, port, state.row.data(), r, 0, state.width - 1) != 1) {
            ++state.rowErrors;
        }
    }
    const long long now = nowNs();
    const long long last = state.lastNs.exchange(now);
    if (last != 0 && now - last > state.maxGapNs.load()) {
        state.maxGapNs = now - last;
    }
    ++state.images;
    return 0;
}

std::string DefaultLibrary() {
    char exe[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        return "libvavezaz.so";
    }
    exe[length] = '\0';
    return (std::filesystem::path(exe).parent_path() / "../lib/libvavezaz.so")
        .lexically_normal()
        .string();
}

bool ParseOptions(int argc, char** argv, Options& o) {
    o.library = DefaultLibrary();
    CLI::App described(
        "scale_bench: N simulated cameras x P ports through the driver's C "
        "interface, with images per second, drops, CPU and memory");
    described.add_option("--cameras", o.cameras, "simulated cameras")->capture_default_str();
    described.add_option("--ports", o.ports, "ports opened per camera")->capture_default_str();
    described
        .add_option("--rate", o.rate,
                    "line rate, scans per second (of the generated file; with --simulation, the "
                    "rate its cameras run at)")
        ->capture_default_str();
    described.add_option("--duration", o.seconds, "seconds measured")->capture_default_str();
    described.add_option("--warmup", o.warmup, "seconds streamed before measuring")
        ->capture_default_str();
    described.add_option("--scans", o.scans, "scans per buffer (image height)")
        ->capture_default_str();
    described.add_option("--columns", o.columns, "sensor columns")->capture_default_str();
    described.add_option(
        "--simulation", o.simulation,
        "a simulation file to use instead of the generated one; its first cameras are opened");
    described.add_option("--library", o.library, "the driver library")->capture_default_str();
    described.add_option("--system-dir", o.systemDir,
                         "the host's system directory (default: a new one under /tmp)");
    try {
        described.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        described.exit(help);
        return false;
    } catch (const CLI::ParseError& e) {
        throw ToolError(ExitCode::kUsage, e.what());
    }
    if (o.cameras < 1 || o.ports < 1 || o.cameras * o.ports > kMaxPorts) {
        throw ToolError(ExitCode::kUsage, "cameras × ports must be 1 to 20");
    }
    if (!(o.rate > 0.0) || !(o.seconds > 0.0) || o.warmup < 0.0 || o.scans < 1 || o.columns < 1) {
        throw ToolError(ExitCode::kUsage, "rate, duration, scans and columns must be positive");
    }
    return true;
}

std::string Address(int camera) {
    return "10.1." + std::to_string(camera / 250) + "." + std::to_string(camera % 250 + 1);
}

// N cameras at the line rate, each with the sample scene and its own seed.
void WriteSimulation(const Options& o, const std::filesystem::path& path) {
    std::ofstream file(path);
    file << "<?xml version=\"1.0\"?>\n<simulation seed=\"7\">\n";
    for (int i = 0; i < o.cameras; ++i) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "02:56:5a:01:%02x:%02x", i / 256, i % 256);
        file << "  <device ip=\"" << Address(i) << "\" mac=\"" << mac << "\" lineRate=\"" << o.rate
             << "\" pulsesPerMillimeter=\"10\" pulsesPerScan=\"5\" noise=\"0.02\">\n"
             << "    <sensor columns=\"" << o.columns
             << "\" rows=\"512\" fieldWidth=\"600\" heightRange=\"200\" perspective=\"0.0005\"/>\n"
             << "    <scene beltWidth=\"600\" beltReflectance=\"0.5\" length=\"1000\">\n"
             << "      <box x=\"-150\" y=\"100\" width=\"120\" length=\"200\" height=\"60\"/>\n"
             << "      <ramp x=\"50\" y=\"350\" width=\"150\" length=\"250\" height=\"80\"/>\n"
             << "      <cylinder x=\"180\" y=\"50\" radius=\"50\" extent=\"400\" "
                "reflectance=\"0.6\"/>\n"
             << "    </scene>\n    <lostPackets rate=\"0.0001\"/>\n  </device>\n";
    }
    file << "</simulation>\n";
}

// The cameras to open: the generated file's by address; a given file's as
// the driver names them (discovery).
std::vector<std::string> CameraNames(const Options& o) {
    std::vector<std::string> names;
    if (o.simulation.empty()) {
        for (int i = 0; i < o.cameras; ++i) {
            names.push_back(Address(i));
        }
        return names;
    }
    const char** offered = driver->getCVLCameraConfigNames();
    const int count = driver->getCVLNoOfSupportedCameras();
    for (int i = 0; offered != nullptr && i < count && offered[i] != nullptr; ++i) {
        const std::string name(offered[i]);
        const std::string camera = name.substr(0, name.rfind('.'));
        if (std::find(names.begin(), names.end(), camera) == names.end() &&
            static_cast<int>(names.size()) < o.cameras) {
            names.push_back(camera);
        }
    }
    if (static_cast<int>(names.size()) < o.cameras) {
        throw ToolError(ExitCode::kCamera, "the simulation file offers only " +
                                               std::to_string(names.size()) + " cameras");
    }
    return names;
}

// A pool of sixteen buffers per camera, the most a grabber uses: the longer
// the pool, the longer a host may stall before scans are lost.
void WriteSettings(const Options& o, const std::vector<std::string>& cameras,
                   const std::filesystem::path& dir) {
    const double bufferBytes = (4.0 * o.columns + 8.0) * o.scans;
    const int megabytes =
        std::clamp(static_cast<int>(std::ceil(16.0 * bufferBytes / 1048576.0)) + 1, 1, 3000);
    std::ofstream file(dir / "VaveZAZ.ini");
    file << "[General]\nLogLevel=1\n";
    for (const std::string& camera : cameras) {
        file << "[" << camera << "]\nNumberOfScans=" << o.scans << "\nBufferSize=" << megabytes
             << "\n";
    }
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

struct Usage {
    double user = 0.0;
    double system = 0.0;
    long peakKb = 0;
};

Usage ProcessUsage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {Seconds(usage.ru_utime), Seconds(usage.ru_stime), usage.ru_maxrss};
}

DriverStatistics PortStatistics(int port) {
    {
        std::lock_guard<std::mutex> lock(logMutex);
        captured.clear();
        capturing = true;
    }
    driver->setProperty(0, port, "PrintStats", 1);
    std::lock_guard<std::mutex> lock(logMutex);
    capturing = false;
    return ParseStatistics(captured);
}

std::string LoadAverage() {
    double load[3] = {0.0, 0.0, 0.0};
    if (getloadavg(load, 3) != 3) {
        return "unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

int Run(const Options& o) {
    namespace fs = std::filesystem;
    const fs::path dir = o.systemDir.empty() ? fs::temp_directory_path() /
                                                   ("scale-bench-" + std::to_string(::getpid()))
                                             : fs::path(o.systemDir);
    fs::create_directories(dir);
    const fs::path simulation =
        o.simulation.empty() ? dir / "simulation.xml" : fs::path(o.simulation);
    if (o.simulation.empty()) {
        WriteSimulation(o, simulation);
    }
    ::setenv("ICONSIM_CONFIG", simulation.c_str(), 1);
    HostLibrary library(o.library);
    driver = &library;
    if (driver->initialize(dir.c_str(), &OnMessage) != 1) {
        throw ToolError(ExitCode::kDriver, "initialize failed");
    }
    const std::vector<std::string> cameras = CameraNames(o);
    WriteSettings(o, cameras, dir);
    const int total = o.cameras * o.ports;
    std::vector<std::string> portNames(static_cast<size_t>(total));
    for (int p = 0; p < total; ++p) {
        portNames[static_cast<size_t>(p)] =
            cameras[static_cast<size_t>(p / o.ports)] + "." + std::to_string(p % o.ports + 1);
        int size[2] = {0, 0};
        if (driver->openCVLPort(0, p, portNames[static_cast<size_t>(p)].c_str(), size) != 1) {
            throw ToolError(ExitCode::kCamera, "cannot open " + portNames[static_cast<size_t>(p)]);
        }
        ports[p].width = size[0];
        ports[p].height = size[1];
        ports[p].row.resize(static_cast<size_t>(std::max(size[0], 1)) * 4);
        driver->setCompleteCallback(0, p, &OnImage);
    }
    for (int c = 0; c < o.cameras; ++c) {
        driver->setProperty(0, c * o.ports, "continuous", 1);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(o.warmup));
    const long long warmLost = lostScans.exchange(0);
    const long long warmLate = lateScans.exchange(0);
    std::vector<long long> before(static_cast<size_t>(total));
    for (int p = 0; p < total; ++p) {
        driver->setProperty(0, p, "ResetStats", 1);
        ports[p].maxGapNs = 0;
        before[static_cast<size_t>(p)] = ports[p].images.load();
    }
    const Usage usageStart = ProcessUsage();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const Usage usageEnd = ProcessUsage();
    const std::string load = LoadAverage();
    const long long lost = lostScans.load();
    const long long late = lateScans.load();

    const double expected = o.rate / o.scans;
    const double bufferMs = 1000.0 * o.scans / o.rate;
    std::printf(
        "scale_bench: %d cameras x %d ports, %g scans/s, %d scans per buffer, %d columns, "
        "%.1f s measured after %.1f s\n",
        o.cameras, o.ports, o.rate, o.scans, o.columns, wall, o.warmup);
    std::printf("%4s  %-28s %8s %9s %9s %10s %8s %8s\n", "port", "camera", "images", "images/s",
                "expected", "max gap ms", "dropped", "pkt lost");
    bool onTime = lost == 0 && late == 0;
    double sum = 0.0;
    for (int p = 0; p < total; ++p) {
        const long long images = ports[p].images.load() - before[static_cast<size_t>(p)];
        const double perSecond = static_cast<double>(images) / wall;
        const double gapMs = static_cast<double>(ports[p].maxGapNs.load()) / 1e6;
        const DriverStatistics stats = PortStatistics(p);
        sum += perSecond;
        onTime = onTime && images + 1 >= static_cast<long long>(expected * wall) &&
                 gapMs < 2.0 * bufferMs && stats.known && stats.dropped == 0 &&
                 ports[p].rowErrors.load() == 0;
        std::printf("%4d  %-28s %8lld %9.2f %9.2f %10.1f %8ld %8ld\n", p,
                    portNames[static_cast<size_t>(p)].c_str(), images, perSecond, expected, gapMs,
                    stats.dropped, stats.packetsLost);
    }
    const double cpu = usageEnd.user + usageEnd.system - usageStart.user - usageStart.system;
    std::printf("images/s, all ports: %.1f of %.1f expected (one buffer every %.1f ms)\n", sum,
                expected * total, bufferMs);
    std::printf(
        "scans lost (all buffers full): %lld; scans late (simulation behind): %lld; "
        "during the warm-up: %lld lost, %lld late\n",
        lost, late, warmLost, warmLate);
    std::printf("process CPU: %.2f s user + %.2f s system in %.2f s = %.1f %% of one core\n",
                usageEnd.user - usageStart.user, usageEnd.system - usageStart.system, wall,
                100.0 * cpu / wall);
    std::printf("peak memory (max RSS): %.1f MB\n", static_cast<double>(usageEnd.peakKb) / 1024.0);
    std::printf("load average: %s (%u cores)\n", load.c_str(), std::thread::hardware_concurrency());
    std::printf("every image on time, none dropped: %s\n", onTime ? "yes" : "no");
    for (int c = 0; c < o.cameras; ++c) {
        driver->setProperty(0, c * o.ports, "continuous", 0);
    }
    for (int p = 0; p < total; ++p) {
        driver->closeCVLPort(0, p);
    }
    driver->finalize();
    driver = nullptr;
    if (o.systemDir.empty()) {
        fs::remove_all(dir);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options;
        if (!ParseOptions(argc, argv, options)) {
            return 0;
        }
        return Run(options);
    } catch (const ToolError& error) {
        std::fprintf(stderr, "scale_bench: %s\n", error.what());
        return Status(error.Code());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "scale_bench: %s\n", error.what());
        return 2;
    }
}
