#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The one thread on which the driver's windows live.
//
// GTK, and wxWidgets over it, must be used from a single thread, while hosts
// call the driver from whichever of their threads they like, with a main loop
// of their own or none. So the toolkit is started on this thread when the
// first window is asked for and stays bound to it: every dialog runs here,
// modally, while the host thread that asked waits for its result. From the
// host's side the call is modal on its own thread. A host that runs
// wxWidgets itself keeps its application and its one GUI thread: the driver
// then starts no toolkit of its own and shows its windows on the host's GUI
// thread instead. Thread-safe.
class ToolkitThread {
  public:
    static ToolkitThread& Instance();

    ToolkitThread(const ToolkitThread&) = delete;
    ToolkitThread& operator=(const ToolkitThread&) = delete;

    // Runs `job` on the toolkit's thread (the host's GUI thread when the host
    // started the toolkit) and returns when it has finished,
    // passing on what it threw. Throws std::runtime_error, without running
    // it, when the toolkit cannot start (no display, or one that cannot be
    // opened; a later call tries again) or while another job runs.
    void Run(const std::function<void()>& job);

    // While a job runs, queues `call` to run on the toolkit's thread between
    // its events; otherwise does nothing. Any thread; does not wait.
    void PostWhileBusy(void (*call)());

    // Called on the toolkit's thread when its display connection broke: the
    // waiting host call fails, later calls fail at once, and the thread never
    // returns (the toolkit cannot go on, and must not end the process).
    [[noreturn]] void DisplayLost();
    // True on the toolkit's thread.
    bool IsToolkitThread() const;

  private:
    ToolkitThread() = default;
    // Ends the thread when the library is unloaded.
    ~ToolkitThread();

    void EnsureStarted(std::unique_lock<std::mutex>& lock);
    void RunOnHost(std::unique_lock<std::mutex>& lock, const std::function<void()>& job);
    void Main();
    void Serve();

    std::mutex mutex_;
    std::condition_variable changed_;
    // All below guarded by mutex_. Written by the host thread that calls Run
    // and by the toolkit thread, read by both.
    std::thread thread_;
    enum class State { kStopped, kStarting, kRunning, kHost, kLost } state_ = State::kStopped;
    std::string startError_;
    const std::function<void()>* job_ = nullptr;
    bool busy_ = false;
    bool jobDone_ = false;
    std::exception_ptr jobError_;
    bool stop_ = false;
    // Written by the toolkit thread as it starts; read by any thread.
    std::atomic<std::thread::id> toolkitThread_{};
};
