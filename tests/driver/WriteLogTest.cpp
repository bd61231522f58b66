#include <gtest/gtest.h>

#include <atomic>
#include <boost/thread/locks.hpp>
#include <chrono>
#include <ctime>
#include <mutex>
#include <new>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/DriverLock.h"
#include "base/Log.h"
#include "tests/support/ContextFixture.h"
#include "tests/support/Watchdog.h"

using WriteLogTest = ContextFixture;

namespace {

// A host procedure that, on the line "outer", waits for a thread of the
// driver's that logs, as closing a port waits for its processing thread.
void JoinALoggingThread(const char* text) {
    LogCapture::Proc()(text);
    if (std::string(text) == "outer\n") {
        std::thread([] {
            LogWithoutWaiting processingThread;
            WriteLog(DriverContext::Instance(), 1, "from another thread");
        }).join();
    }
}

}  // namespace

TEST_F(WriteLogTest, LevelsRouteEachLineToItsOutputs) {
    context_->logLevel = 1;
    context_->debugViewOutput = 4;
    WriteLog(context_, 3, "detail %d", 7);
    EXPECT_TRUE(capture_.Calls().empty()) << "a level 3 line must not reach the host at level 1";
    ASSERT_EQ(1u, capture_.DebugOutput().size());
    EXPECT_EQ("detail 7\n", capture_.DebugOutput()[0]) << "debugger output has no timestamp";

    capture_.Clear();
    context_->logLevel = 3;
    context_->debugViewOutput = 0;
    WriteLog(context_, 3, "detail");
    EXPECT_TRUE(capture_.DebugOutput().empty());
    EXPECT_EQ(std::vector<std::string>{"detail\n"}, capture_.Messages());

    capture_.Clear();
    WriteLog(context_, 4, "filtered");
    EXPECT_TRUE(capture_.Calls().empty());
    EXPECT_TRUE(capture_.DebugOutput().empty());
}

TEST_F(WriteLogTest, HostProcedureGetsTheTimestampThenTheMessage) {
    WriteLog(context_, 1, "abc");
    std::vector<std::string> calls = capture_.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_TRUE(std::regex_match(calls[0], std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: )")))
        << calls[0];
    std::time_t now = std::time(nullptr);
    const int year = std::localtime(&now)->tm_year % 100;
    EXPECT_EQ(std::to_string(year / 10) + std::to_string(year % 10), calls[0].substr(6, 2))
        << "the year is shown with two digits";
    EXPECT_EQ("abc\n", calls[1]);
}

TEST_F(WriteLogTest, LineFeedIsAddedOnlyWhereMissing) {
    WriteLog(context_, 1, "abc");
    WriteLog(context_, 1, "def\n");
    WriteLog(context_, 1, "%s", "");
    std::vector<std::string> expected{"abc\n", "def\n", ""};
    EXPECT_EQ(expected, capture_.Messages());
}

TEST_F(WriteLogTest, LineFeedRuleAtTheBufferLimit) {
    const std::string fits(1021, 'x');
    const std::string noRoom(1022, 'y');
    WriteLog(context_, 1, "%s", fits.c_str());
    WriteLog(context_, 1, "%s", noRoom.c_str());
    std::vector<std::string> messages = capture_.Messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(fits + "\n", messages[0]);
    EXPECT_EQ(noRoom, messages[1]);
}

TEST_F(WriteLogTest, OverlongMessagesAreCutAndStillEndTheLine) {
    const std::string huge(5000, 'z');
    WriteLog(context_, 1, "%s", huge.c_str());
    std::vector<std::string> messages = capture_.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(kLogMessageSize - 1, messages[0].size());
    EXPECT_EQ('\n', messages[0].back());
}

TEST_F(WriteLogTest, HostTextIsDataNotAFormat) {
    WriteLog(context_, 1, "name=%s", "%s%n%d");
    EXPECT_TRUE(capture_.Contains("name=%s%n%d\n"));
}

TEST_F(WriteLogTest, FileGetsTimestampedLinesWhenEnabled) {
    context_->logIntoFile = true;
    WriteLog(context_, 1, "first");
    WriteLog(context_, 2, "filtered");
    WriteLog(context_, 1, "second\n");
    std::string text = ReadLogFile();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: first\n)"
                                                  R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: second\n)")))
        << text;
}

TEST_F(WriteLogTest, LinesWaitForTheSystemDirectoryAndKeepTheirOrder) {
    const std::string dir = context_->GetSystemPath();
    context_->SetSystemPath("");
    context_->logIntoFile = true;
    WriteLog(context_, 1, "one");
    WriteLog(context_, 1, "two");
    EXPECT_EQ(2u, context_->pendingLines.size());

    context_->SetSystemPath(dir);
    WriteLog(context_, 1, "three");
    EXPECT_TRUE(context_->pendingLines.empty());
    std::string text = ReadLogFile();
    size_t one = text.find("one\n");
    size_t two = text.find("two\n");
    size_t three = text.find("three\n");
    ASSERT_NE(std::string::npos, one);
    ASSERT_NE(std::string::npos, two);
    ASSERT_NE(std::string::npos, three);
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
}

TEST_F(WriteLogTest, PendingLinesAreBoundedAndTheLossIsReported) {
    const std::string dir = context_->GetSystemPath();
    context_->SetSystemPath("");
    context_->logIntoFile = true;
    for (size_t i = 0; i < kMaxPendingLines + 5; ++i) {
        WriteLog(context_, 1, "line %zu", i);
    }
    EXPECT_EQ(kMaxPendingLines, context_->pendingLines.size());
    context_->SetSystemPath(dir);
    WriteLog(context_, 1, "after");
    EXPECT_NE(std::string::npos,
              ReadLogFile().find("5 log lines were dropped while no system directory was set"));
}

TEST_F(WriteLogTest, UnopenableFileLosesOnlyTheCurrentLine) {
    const std::string dir = context_->GetSystemPath();
    context_->SetSystemPath("");
    context_->logIntoFile = true;
    WriteLog(context_, 1, "pending");
    context_->SetSystemPath(dir + "/missing/directory");
    WriteLog(context_, 1, "lost");
    EXPECT_EQ(1u, context_->pendingLines.size());
    context_->SetSystemPath(dir);
    WriteLog(context_, 1, "kept");
    std::string text = ReadLogFile();
    EXPECT_NE(std::string::npos, text.find("pending\n"));
    EXPECT_EQ(std::string::npos, text.find("lost"));
    EXPECT_NE(std::string::npos, text.find("kept\n"));
}

namespace {
DriverContext* reentrantContext = nullptr;
std::vector<std::string> reentrantSeen;

void ReentrantProc(const char* text) {
    reentrantSeen.emplace_back(text);
    if (std::string(text) == "outer\n") {
        WriteLog(reentrantContext, 1, "inner");
    }
}
}  // namespace

TEST_F(WriteLogTest, HostProcedureMayLogAgainFromInsideALogCall) {
    reentrantContext = context_;
    reentrantSeen.clear();
    context_->debugMsgProc = &ReentrantProc;
    context_->logIntoFile = true;
    WriteLog(context_, 1, "outer");  // deadlocks if the lock is not re-entrant
    ASSERT_EQ(4u, reentrantSeen.size());
    EXPECT_EQ("outer\n", reentrantSeen[1]);
    EXPECT_EQ("inner\n", reentrantSeen[3]);
    std::string text = ReadLogFile();
    EXPECT_NE(std::string::npos, text.find(": inner\n"));
    EXPECT_NE(std::string::npos, text.find(": outer\n")) << "the outer line must survive intact";
}

TEST_F(WriteLogTest, ConcurrentLinesNeverInterleave) {
    context_->logIntoFile = true;
    context_->logLevel = 2;
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) {
                WriteLog(context_, 1 + (i % 2), "thread %d line %d end", t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::istringstream lines(ReadLogFile());
    std::string line;
    int count = 0;
    const std::regex pattern(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: thread \d line \d+ end)");
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, pattern)) << line;
        ++count;
    }
    EXPECT_EQ(kThreads * kLines, count);
}

namespace {
void OutOfMemoryProc(const char*) {
    throw std::bad_alloc();
}
}  // namespace

// Callers log from destructors, handlers and the grabber's thread: a log call
// that throws there ends the host process.
TEST_F(WriteLogTest, AThrowingHostProcedureNeitherEscapesNorCostsTheFileLine) {
    context_->debugMsgProc = &OutOfMemoryProc;
    context_->logIntoFile = true;
    context_->debugViewOutput = 1;
    EXPECT_NO_THROW(WriteLog(context_, 1, "still written"));
    EXPECT_NE(std::string::npos, ReadLogFile().find(": still written\n"));
    EXPECT_EQ(std::vector<std::string>{"still written\n"}, capture_.DebugOutput());
}

// The other thread waited for the log lock, which the procedure waiting for
// it held: a host procedure that closed a port whose processing thread was
// logging hung.
TEST_F(WriteLogTest, ALineLoggedWhileAnotherThreadRunsTheProcedureIsWrittenAfterIt) {
    context_->debugMsgProc = &JoinALoggingThread;
    FinishesWithin(std::chrono::seconds(30), "procedure joining a logging thread",
                   [&] { WriteLog(context_, 1, "outer"); });
    EXPECT_EQ((std::vector<std::string>{"outer\n", "from another thread\n"}), capture_.Messages());
}

TEST(DriverLocks, CountWhileHeldExceptForAnUpgradableHold) {
    DriverSharedMutex map;
    {
        boost::shared_lock<DriverSharedMutex> lookUp(map);
        EXPECT_EQ(1, DriverLocksHeld());
    }
    {
        boost::upgrade_lock<DriverSharedMutex> handOff(map);
        EXPECT_EQ(0, DriverLocksHeld()) << "held across a whole hand-off, which logs";
        {
            boost::upgrade_to_unique_lock<DriverSharedMutex> change(handOff);
            EXPECT_EQ(1, DriverLocksHeld());
        }
        EXPECT_EQ(0, DriverLocksHeld());
    }
    DriverRecursiveMutex parameters;
    {
        std::lock_guard<DriverRecursiveMutex> outer(parameters);
        std::lock_guard<DriverRecursiveMutex> inner(parameters);
        EXPECT_EQ(2, DriverLocksHeld());
    }
    EXPECT_EQ(0, DriverLocksHeld());
}

#ifndef NDEBUG
TEST_F(WriteLogTest, ALineLoggedUnderADriverLockStopsADebugBuild) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            DriverMutex lock;
            std::lock_guard<DriverMutex> held(lock);
            WriteLog(context_, 1, "under a lock");
        },
        "a line is logged while a driver lock is held");
}
#endif
