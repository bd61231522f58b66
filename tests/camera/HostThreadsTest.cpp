// A host that breaks the rule of calling from one thread: property calls,
// row reads and grabs on a port while another thread closes it, finalizes the
// driver or opens the same port. Each call either works or fails with an
// error; none may crash, deadlock or leave a camera streaming unseen.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

using HostThreads = CameraFixture;

int IgnoreImage(int, int) {
    return 0;
}

}  // namespace

// The adapter registry used to hand out the adapter after letting go of its
// lock: a close on another thread deleted it under the property call.
TEST_F(HostThreads, PropertyCallsRacingACloseOfTheirPortWorkOrFail) {
    Start();
    // Quiet: the statistics printed thousands of times would only fill the log.
    std::ofstream(systemDir_ / "VaveZAZ.ini")
        << "[General]\nLogLevel=0\n[192.168.0.10]\nNumberOfScans=" << kScans << "\nBufferSize=4\n";
    std::atomic<bool> done{false};
    std::atomic<int> wrongWidths{0};
    std::atomic<int> answered{0};
    std::thread prober([&] {
        while (!done) {
            int value = 0;
            if (getProperty(0, 1, "Width", &value) == 1) {
                ++answered;
                if (value != kColumns) {
                    ++wrongWidths;
                }
            }
            setProperty(0, 1, "NumberOfScans", kScans);
            setCompleteCallback(0, 1, &IgnoreImage);
            setProperty(0, 1, "PrintStats", 1);
            setProperty(0, 1, "ResetStats", 1);
        }
    });
    for (int cycle = 0; cycle < 30; ++cycle) {
        int size[2];
        ASSERT_EQ(1, openCVLPort(0, 1, "192.168.0.10.1", size));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        closeCVLPort(0, 1);
    }
    done = true;
    prober.join();
    EXPECT_EQ(0, wrongWidths.load());
    EXPECT_GT(answered.load(), 0) << "the race must have been run";
}

// Row reads find their port's image without a lock while nothing changes:
// opening and closing one port of a camera, over and over, must neither
// free an image under a read of it nor disturb reads of the camera's other
// port. A read copies the whole row, exactly, or fails.
TEST_F(HostThreads, RowReadsRacingOpensAndClosesCopyTheRowOrFail) {
    Start();
    std::ofstream(systemDir_ / "VaveZAZ.ini")
        << "[General]\nLogLevel=0\n[192.168.0.10]\nNumberOfScans=" << kScans << "\nBufferSize=4\n";
    int size[2];
    ASSERT_EQ(1, openCVLPort(0, 2, "192.168.0.10.2", size));
    ASSERT_EQ(kColumns, size[0]);
    std::atomic<bool> done{false};
    std::atomic<int> wrongRows{0};
    std::atomic<int> copiedOnClosingPort{0};
    std::atomic<int> failedOnOpenPort{0};
    auto reader = [&](int port, std::atomic<int>& counted, bool countSuccess) {
        constexpr unsigned char kUntouched = 0xA5;
        std::vector<unsigned char> row(kColumns + 16);
        int r = 0;
        while (!done) {
            std::fill(row.begin(), row.end(), kUntouched);
            const bool copied = getCVLGrabRow(0, port, row.data(), r, 0, kColumns - 1) == 1;
            if (copied == countSuccess) {
                ++counted;
            }
            // No image was grabbed: a copied row is the zeroed image's, and
            // nothing past it is written; a failed read writes nothing.
            const auto zeros = copied ? kColumns : 0;
            if (std::count(row.begin(), row.begin() + zeros, 0) != zeros ||
                std::count(row.begin() + zeros, row.end(), kUntouched) !=
                    static_cast<long>(row.size()) - zeros) {
                ++wrongRows;
            }
            r = (r + 1) % kScans;
        }
    };
    std::thread closingPortReader(reader, 1, std::ref(copiedOnClosingPort), true);
    std::thread openPortReader(reader, 2, std::ref(failedOnOpenPort), false);
    for (int cycle = 0; cycle < 30; ++cycle) {
        ASSERT_EQ(1, openCVLPort(0, 1, "192.168.0.10.1", size));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        closeCVLPort(0, 1);
    }
    done = true;
    closingPortReader.join();
    openPortReader.join();
    EXPECT_EQ(0, wrongRows.load());
    EXPECT_EQ(0, failedOnOpenPort.load()) << "the port left open reads throughout";
    EXPECT_GT(copiedOnClosingPort.load(), 0) << "the race must have been run";
}

// The camera list used to be destroyed under the entry points still running
// on the other thread: a lock destroyed while held, and the host terminated.
TEST_F(HostThreads, FinalizeWhileAnotherThreadGrabsAndReadsRows) {
    for (int cycle = 0; cycle < 5; ++cycle) {
        Start();
        const auto [width, height] = OpenPort(1, kCameraA);
        std::atomic<bool> done{false};
        std::atomic<bool> finalized{false};
        std::atomic<int> rowsRead{0};
        std::atomic<int> rowsAfterFinalize{0};
        std::thread host([&, width = width, height = height] {
            std::vector<unsigned char> row(static_cast<size_t>(width));
            while (!done) {
                // Rows are read once the image is announced, as a host does:
                // the next grab's image is written over them.
                const int before = ImagesAnnounced(1);
                if (doCVLGrab(0, 1) == 1) {
                    const auto deadline =
                        std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
                    while (ImagesAnnounced(1) == before &&
                           std::chrono::steady_clock::now() < deadline) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                }
                for (int r = 0; r < height; ++r) {
                    const bool after = finalized;
                    if (getCVLGrabRow(0, 1, row.data(), r, 0, width - 1) == 1) {
                        ++(after ? rowsAfterFinalize : rowsRead);
                    }
                }
            }
        });
        while (rowsRead < height) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(1, finalize());
        finalized = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        done = true;
        host.join();
        EXPECT_EQ(0, rowsAfterFinalize.load()) << "no rows once the cameras are gone";
    }
    // The calls after the last finalize were refused; the driver starts again.
    ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
}

// The first open of a camera used to run on every thread that saw the camera
// closed: four connections, four grabbers, one camera.
TEST_F(HostThreads, FourThreadsOpeningOnePortOfACameraOpenItOnce) {
    Start();
    context_->logLevel = 2;
    for (int cycle = 0; cycle < 5; ++cycle) {
        capture_.Clear();
        std::atomic<int> ready{0};
        std::atomic<int> opened{0};
        std::vector<std::thread> hosts;
        for (int t = 0; t < 4; ++t) {
            hosts.emplace_back([&] {
                ++ready;
                while (ready < 4) {
                    std::this_thread::yield();
                }
                int size[2];
                opened += openCVLPort(0, 1, "192.168.0.10.1", size);
            });
        }
        for (std::thread& host : hosts) {
            host.join();
        }
        EXPECT_EQ(1, opened.load());
        std::vector<std::string> messages = capture_.Messages();
        EXPECT_EQ(1, std::count(messages.begin(), messages.end(),
                                std::string("Camera::Open: leaving, port=1\n")));
        ASSERT_EQ(1, setCompleteCallback(0, 1, &CameraFixture::OnImageComplete));
        const int before = ImagesAnnounced(1);
        ASSERT_EQ(1, doCVLGrab(0, 1));
        EXPECT_TRUE(WaitForImages(1, before + 1));
        closeCVLPort(0, 1);
        EXPECT_TRUE(Logged("Camera::Close: leaving on port 1\n"));
    }
}

TEST_F(HostThreads, FourThreadsOpeningFourPortsOfACameraOpenThemAll) {
    Start();
    std::atomic<int> ready{0};
    std::atomic<int> opened{0};
    std::vector<std::thread> hosts;
    for (int port = 1; port <= 4; ++port) {
        hosts.emplace_back([&, port] {
            ++ready;
            while (ready < 4) {
                std::this_thread::yield();
            }
            int size[2];
            const std::string name = "192.168.0.10." + std::to_string(port);
            if (openCVLPort(0, port, name.c_str(), size) == 1 &&
                setCompleteCallback(0, port, &CameraFixture::OnImageComplete) == 1) {
                ++opened;
            }
        });
    }
    for (std::thread& host : hosts) {
        host.join();
    }
    ASSERT_EQ(4, opened.load());
    ASSERT_EQ(1, doCVLGrab(0, 2));
    for (int port = 1; port <= 4; ++port) {
        EXPECT_TRUE(WaitForImages(port, 1)) << "one grab serves every port of the camera";
    }
}
