// A host whose debug procedure calls back into the driver from inside log
// lines: it closes the port it is told about, or lives a whole driver life.
// The log lock is held across the procedure, so a line logged while a driver
// lock is held, or a wait for an operation that logs, deadlocks. Each test
// runs under a watchdog that stops the program instead of hanging; under
// ThreadSanitizer, where everything runs slower, the two-thread test runs
// longer to meet as many interleavings.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/camera/CameraFixture.h"
#include "tests/support/Watchdog.h"
#include "vavezaz/CvlDriver.h"

namespace {

using namespace std::chrono_literals;

#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kUnderThreadSanitizer = true;
#else
constexpr bool kUnderThreadSanitizer = false;
#endif
#else
constexpr bool kUnderThreadSanitizer = false;
#endif

// The host's procedure of the first tests: it closes `portToClose` when told
// that a row does not exist.
std::atomic<int> portToClose{-1};
std::atomic<int> closesFromTheLog{0};

void CloseOnMissingRow(const char* text) {
    LogCapture::Proc()(text);
    if (std::strstr(text, "line index out of range") != nullptr ||
        std::strstr(text, "a point cloud has only row 0") != nullptr) {
        ++closesFromTheLog;
        closeCVLPort(0, portToClose);
    }
}

// The host's procedure of the two-thread test: from inside each line it
// lives a driver life (initialize, finalize) or opens and closes port 2 of
// camera B, and never from a line of its own calls.
thread_local bool insideReentry = false;
std::atomic<int> reentries{0};
std::atomic<int> owedFinalizes{0};
std::atomic<int> extraFinalizes{0};

void ReenterTheDriver(const char* text) {
    if (std::strstr(text, "called more often than initialize") != nullptr) {
        ++extraFinalizes;
    }
    if (insideReentry || text[0] == '\0' || (text[0] >= '0' && text[0] <= '9')) {
        return;
    }
    insideReentry = true;
    if (++reentries % 2 == 0) {
        if (initialize(nullptr, &ReenterTheDriver) == 1) {
            ++owedFinalizes;
        }
    } else {
        int size[2];
        if (openCVLPort(0, 2, "192.168.0.11.1", size) == 1) {
            closeCVLPort(0, 2);
        }
    }
    // A finalize refused here (another thread was initializing or
    // finalizing) is tried again from a later line.
    if (owedFinalizes > 0 && finalize() == 1) {
        --owedFinalizes;
    }
    insideReentry = false;
}

class ReentrantLog : public CameraFixture {
  protected:
    void TearDown() override {
        setDebugMsgProc(LogCapture::Proc());
        CameraFixture::TearDown();
    }

    // Reads a row the port does not have; the procedure closes the port from
    // inside the line that says so.
    void ReadMissingRow(int port, int row) {
        portToClose = port;
        closesFromTheLog = 0;
        setDebugMsgProc(&CloseOnMissingRow);
        std::vector<unsigned char> buffer(1 << 20);
        FinishesWithin(30s, "row read closing its port",
                       [&] { EXPECT_EQ(0, getCVLGrabRow(0, port, buffer.data(), row, 0, 0)); });
        setDebugMsgProc(LogCapture::Proc());
        EXPECT_EQ(1, closesFromTheLog.load());
        EXPECT_TRUE(
            Logged("closeCVLPort: leaving grabberNo=0, portNo=" + std::to_string(port) + "\n"));
        int width = 0;
        EXPECT_EQ(0, getProperty(0, port, "Width", &width)) << "the port is closed";
    }
};

}  // namespace

// The row read logged its error while it held the adapter map shared; the
// close from the log waited for the map's exclusive lock for ever.
TEST_F(ReentrantLog, ClosingTheGrayscalePortOnAMissingRowDoesNotHangTheRead) {
    Start();
    OpenPort(1, kCameraA);
    ReadMissingRow(1, 100000);
    EXPECT_TRUE(LoggedContaining("ImageBuffer::GetLine: ERROR: line index out of range: 100000"));
}

// The same with the point cloud's own hold of its image as well.
TEST_F(ReentrantLog, ClosingThePointCloudPortOnAMissingRowDoesNotHangTheRead) {
    Start("");
    std::ofstream(systemDir_ / "VaveZAZ.ini", std::ios::app)
        << "[" << kCameraA << ".1]\nImageFormat=3D (XYZ)\n";
    OpenPort(1, kCameraA);
    ReadMissingRow(1, 1);
}

// Thread X, inside a log line, initialized, finalized, opened or closed
// while thread Y held the lock of that operation and logged: each waited for
// the other. One thread here lives whole driver lives, another makes
// property calls, and the procedure re-enters the driver from every line.
TEST_F(ReentrantLog, DriverLivesAndPropertyCallsWithAReenteringProcedureDoNotDeadlock) {
    Start();
    ASSERT_EQ(1, finalize());
    context_->logLevel = 3;
    const auto runFor = kUnderThreadSanitizer ? 10s : 2s;
    std::atomic<bool> stop{false};
    std::atomic<int> livesOpened{0};
    FinishesWithin(runFor + 60s, "driver lives beside property calls", [&] {
        std::thread properties([&] {
            while (!stop) {
                int value = 0;
                int minimum = 0;
                getProperty(0, 1, "Width", &value);
                setProperty(0, 1, "NumberOfScans", kScans);
                getPropertyRange(0, 1, "NumberOfScans", &minimum, &value);
            }
        });
        const auto end = std::chrono::steady_clock::now() + runFor;
        while (std::chrono::steady_clock::now() < end) {
            EXPECT_EQ(1, initialize(systemDir_.string().c_str(), &ReenterTheDriver));
            int size[2];
            if (openCVLPort(0, 1, "192.168.0.10.1", size) == 1) {
                ++livesOpened;
                closeCVLPort(0, 1);
            }
            EXPECT_EQ(1, finalize());
        }
        stop = true;
        properties.join();
    });
    setDebugMsgProc(LogCapture::Proc());
    for (; owedFinalizes > 0; --owedFinalizes) {
        EXPECT_EQ(1, finalize());
    }
    EXPECT_GT(livesOpened.load(), 0);
    EXPECT_GT(reentries.load(), 0);
    EXPECT_EQ(0, extraFinalizes.load()) << "every finalize matched an initialize";
    EXPECT_EQ(0, context_->refCount.load());
}
