#include "config/dialog/wx/ToolkitThread.h"

#include <unistd.h>

#include <stdexcept>

#include "config/dialog/wx/Toolkit.h"
#include "platform/LocalTime.h"

ToolkitThread& ToolkitThread::Instance() {
    static ToolkitThread instance;
    return instance;
}

ToolkitThread::~ToolkitThread() {
    std::unique_lock<std::mutex> lock(mutex_);
    stop_ = true;
    changed_.notify_all();
    const bool dialogOpen = busy_ || state_ == State::kLost;
    lock.unlock();
    if (!thread_.joinable()) {
        return;
    }
    // A host that unloads the driver while a dialog is still open on another
    // of its threads cannot wait for it, nor can anyone wait for a thread
    // parked after its display was lost; the thread is left to the exit.
    if (dialogOpen) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void ToolkitThread::Run(const std::function<void()>& job) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (busy_) {
        throw std::runtime_error("another configuration dialog is open; close it first");
    }
    busy_ = true;
    try {
        EnsureStarted(lock);
    } catch (...) {
        busy_ = false;
        throw;
    }
    if (state_ == State::kHost) {
        RunOnHost(lock, job);
        return;
    }
    job_ = &job;
    jobDone_ = false;
    jobError_ = nullptr;
    changed_.notify_all();
    changed_.wait(lock, [this] { return jobDone_; });
    busy_ = false;
    if (jobError_) {
        std::rethrow_exception(jobError_);
    }
}

// The lock is let go while the job runs, so that finalize can end its
// dialog meanwhile.
void ToolkitThread::RunOnHost(std::unique_lock<std::mutex>& lock,
                              const std::function<void()>& job) {
    lock.unlock();
    std::exception_ptr error;
    try {
        RunOnHostToolkit(job);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    busy_ = false;
    if (error) {
        std::rethrow_exception(error);
    }
}

void ToolkitThread::EnsureStarted(std::unique_lock<std::mutex>& lock) {
    if (state_ == State::kRunning || state_ == State::kHost) {
        return;
    }
    // Never a second application beside the host's: its GUI thread serves.
    if (state_ == State::kStopped && HostStartedToolkit()) {
        state_ = State::kHost;
        return;
    }
    if (state_ == State::kLost) {
        throw std::runtime_error(
            "the connection to the display was lost; the configuration dialog cannot be shown "
            "again until the host process is restarted");
    }
    // A thread whose start failed has ended; it is joined before a new try.
    if (thread_.joinable()) {
        thread_.join();
    }
    state_ = State::kStarting;
    thread_ = std::thread(&ToolkitThread::Main, this);
    changed_.wait(lock, [this] { return state_ != State::kStarting; });
    if (state_ != State::kRunning) {
        throw std::runtime_error(startError_);
    }
}

void ToolkitThread::DisplayLost() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = State::kLost;
        if (busy_ && !jobDone_) {
            jobError_ = std::make_exception_ptr(std::runtime_error(
                "the connection to the display was lost while the configuration dialog was open; "
                "nothing was saved"));
            jobDone_ = true;
        }
        // Under the lock: this thread never returns, and the object may be
        // destroyed at exit as soon as the lock is free.
        changed_.notify_all();
    }
    for (;;) {
        ::pause();
    }
}

void ToolkitThread::PostWhileBusy(void (*call)()) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (busy_ && (state_ == State::kRunning || state_ == State::kHost)) {
        PostToToolkit(call);
    }
}

bool ToolkitThread::IsToolkitThread() const {
    return toolkitThread_.load() == std::this_thread::get_id();
}

void ToolkitThread::Main() {
    toolkitThread_ = std::this_thread::get_id();
    // Dates in the dialog read as the user's desktop writes them, in the
    // grid's cells and in its pickers alike.
    platform::UseUserTimeFormats();
    std::string error;
    const bool started = StartToolkit(error);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = started ? State::kRunning : State::kStopped;
        startError_ = error;
    }
    changed_.notify_all();
    if (started) {
        Serve();
    }
}

void ToolkitThread::Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || job_ != nullptr; });
        if (job_ == nullptr) {
            return;
        }
        const std::function<void()>* job = job_;
        job_ = nullptr;
        lock.unlock();
        std::exception_ptr error;
        try {
            (*job)();
        } catch (...) {
            error = std::current_exception();
        }
        SettleToolkit();
        lock.lock();
        jobError_ = error;
        jobDone_ = true;
        changed_.notify_all();
    }
}
