#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <thread>
#include <utility>

#include "Simulator.h"
#include "icon/Api.h"
#include "icon/FrameGrabber.h"
#include "icon/IconBuffer.h"

namespace icon {
namespace {

using Clock = std::chrono::steady_clock;

// Buffers of the pool; more are never allocated, however large the pool
// size in megabytes is.
constexpr long long kMaxPoolBuffers = 16;
constexpr long long kMaxBufferBytes = 1LL << 30;
// Pool sizes in megabytes that a grabber takes; others are refused, as a
// real grabber refuses a pool it cannot reserve.
constexpr int kMinPoolMegabytes = 1;
constexpr int kMaxPoolMegabytes = 4096;
// How often an idle stream looks again whether the camera measures.
constexpr auto kIdlePoll = std::chrono::milliseconds(2);
// How long after its time a scan may still be rendered, beyond the time its
// buffer takes to fill; older scans are skipped and counted late. A thread
// held up for less (a loaded host) catches up within milliseconds, since a
// cached scan renders far faster than scans arrive.
constexpr double kMaxLagSeconds = 0.5;
// Lost and late scans are reported at once, then at most once per this
// interval with the count since: a stream that keeps losing scans would
// otherwise send the host's log a line for every buffer.
constexpr auto kReportInterval = std::chrono::seconds(1);

std::atomic<int> nextGrabberPort{49152};

std::string rateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

// A count of scans that is said at once, then at most once per interval.
class ThrottledCount {
  public:
    // Adds `count`; true when what is unsaid is due to be said now.
    bool add(long long count) {
        unsaid_ += count;
        const Clock::time_point now = Clock::now();
        if (said_ != Clock::time_point() && now - said_ < kReportInterval) {
            return false;
        }
        said_ = now;
        return true;
    }
    // What is unsaid, now taken.
    long long take() { return std::exchange(unsaid_, 0); }

  private:
    long long unsaid_ = 0;
    Clock::time_point said_;
};

struct StreamSetup {
    std::shared_ptr<detail::Device> device;
    DataFormat format;
    int scans = 0;
    int poolSize = 0;
    CallbackFunction callback = nullptr;
    void* userData = nullptr;
    FrameGrabber* owner = nullptr;
};

// The running part of a grabber: its buffers and its two threads. The
// receiving thread renders the camera's scans at the line rate into free
// buffers; the delivering thread hands full buffers to the callback. Both
// hold the stream alive, so a callback that outlasts its grabber finishes
// safely.
class GrabberStream : public detail::Stream, public std::enable_shared_from_this<GrabberStream> {
  public:
    explicit GrabberStream(StreamSetup setup);
    ~GrabberStream() override;

    int start();
    int stop();
    void halt() override { stop(); }
    bool grabbing() const;
    long long lostScans() const { return lostScans_.load(); }
    long long lateScans() const { return lateScans_.load(); }

  private:
    void receive();
    void receiveDue(int64_t due, IconBuffer*& current, int& fill);
    int64_t skipLate(int64_t due);
    void reportLost();
    void reportLate();
    void deliver();
    IconBuffer* nextFull(std::unique_lock<std::mutex>& lock, size_t delivered);
    void sendMessages(size_t delivered) const;
    void callBack(IconBuffer* buffer) const;
    void prerender();

    StreamSetup setup_;
    sim::SceneRenderer renderer_;
    std::vector<std::unique_ptr<IconBuffer>> pool_;
    std::vector<std::unique_ptr<IconBuffer>> replay_;

    std::mutex stopMutex_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<IconBuffer*> free_;
    std::deque<IconBuffer*> full_;
    bool running_ = false;
    bool stopping_ = false;
    bool delivering_ = false;
    std::atomic<bool> stopRequested_{false};
    std::atomic<long long> lostScans_{0};
    std::atomic<long long> lateScans_{0};
    // Touched by the receiving thread alone.
    ThrottledCount unsaidLost_;
    ThrottledCount unsaidLate_;
    std::thread receiver_;
    std::thread deliverer_;
};

GrabberStream::GrabberStream(StreamSetup setup)
    : setup_(std::move(setup)), renderer_(setup_.device->config(), setup_.format) {}

void finish(std::thread& thread) {
    if (!thread.joinable()) {
        return;
    }
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
    } else {
        thread.join();
    }
}

GrabberStream::~GrabberStream() {
    finish(receiver_);
    finish(deliverer_);
}

int GrabberStream::start() {
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_ || delivering_) {
        return FrameGrabber::E_FG_START_GRAB;
    }
    if (pool_.empty()) {
        for (int i = 0; i < setup_.poolSize; ++i) {
            pool_.push_back(std::make_unique<IconBuffer>());
            pool_.back()->init(setup_.format, setup_.scans);
        }
        prerender();
    }
    free_.clear();
    full_.clear();
    for (auto& buffer : pool_) {
        free_.push_back(buffer.get());
    }
    running_ = true;
    stopping_ = false;
    delivering_ = true;
    stopRequested_ = false;
    auto self = shared_from_this();
    if (replay_.empty()) {
        receiver_ = std::thread([self] { self->receive(); });
    }
    deliverer_ = std::thread([self] { self->deliver(); });
    return FrameGrabber::E_ALL_OK;
}

void GrabberStream::prerender() {
    const int count = setup_.device->config().replayBuffers;
    for (int i = 0; i < count; ++i) {
        replay_.push_back(std::make_unique<IconBuffer>());
        replay_.back()->init(setup_.format, setup_.scans);
        for (int slot = 0; slot < setup_.scans; ++slot) {
            renderer_.renderScan(*replay_.back(), slot, setup_.device->takeScan());
        }
    }
}

// Waits for a callback in progress only for a bounded time: its thread may be
// blocked by the caller itself, and ends on its own once the callback returns.
int GrabberStream::stop() {
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) {
            return FrameGrabber::E_FG_STOP_GRAB;
        }
        stopping_ = true;
        stopRequested_ = true;
    }
    changed_.notify_all();
    if (receiver_.joinable()) {
        receiver_.join();
    }
    const auto timeout = std::chrono::milliseconds(detail::Simulator::instance().stopTimeoutMs());
    const bool self = deliverer_.get_id() == std::this_thread::get_id();
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ended = !self && changed_.wait_for(lock, timeout, [this] { return !delivering_; });
        running_ = false;
    }
    if (ended) {
        deliverer_.join();
    } else {
        deliverer_.detach();
    }
    return ended || self ? FrameGrabber::E_ALL_OK : FrameGrabber::E_FG_STOP_GRAB;
}

bool GrabberStream::grabbing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

void GrabberStream::receive() {
    const double period = 1.0 / setup_.device->config().lineRate;
    IconBuffer* current = nullptr;
    int fill = 0;
    bool measuring = false;
    Clock::time_point begin;
    int64_t taken = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!setup_.device->measuring()) {
            measuring = false;
            changed_.wait_for(lock, kIdlePoll);
            continue;
        }
        if (!measuring) {
            measuring = true;
            begin = Clock::now();
            taken = 0;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
        const int64_t due = static_cast<int64_t>(elapsed / period) - taken;
        lock.unlock();
        const int64_t skipped = skipLate(due);
        // A bounded batch: the backlog is looked at again after each buffer.
        const int64_t batch = std::min<int64_t>(due - skipped, setup_.scans);
        receiveDue(batch, current, fill);
        taken += skipped + batch;
        lock.lock();
        const int64_t untilFull = setup_.scans - fill;
        const auto next = begin + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>((taken + untilFull) * period));
        changed_.wait_until(lock, std::min(next, Clock::now() + kIdlePoll * 5));
    }
    if (current != nullptr) {
        free_.push_back(current);
    }
    lock.unlock();
    // What the last interval lost or skipped is said too.
    reportLost();
    reportLate();
}

// When rendering falls behind the line rate, the oldest scans of the backlog
// are skipped, so buffers keep their time and the stream its pace; the
// skipped scans advance the stream as lost scans do, are counted late, and
// are reported. Returns the number skipped.
int64_t GrabberStream::skipLate(int64_t due) {
    const int64_t allowed =
        setup_.scans + static_cast<int64_t>(setup_.device->config().lineRate * kMaxLagSeconds);
    const int64_t late = due - allowed;
    if (late <= 0) {
        return 0;
    }
    setup_.device->skipScans(late);
    lateScans_ += late;
    if (unsaidLate_.add(late)) {
        reportLate();
    }
    return late;
}

void GrabberStream::reportLost() {
    if (const long long lost = unsaidLost_.take()) {
        reportMessage(2, "FGEthernet: " + std::to_string(lost) + " scans lost, all buffers full");
    }
}

void GrabberStream::reportLate() {
    if (const long long late = unsaidLate_.take()) {
        reportMessage(2, "FGEthernet: " + std::to_string(late) +
                             " scans late, the simulation falls behind its line rate of " +
                             rateText(setup_.device->config().lineRate) + " scans per second");
    }
}

// Scans that arrive while every buffer is full are lost, as on a real
// grabber whose consumer is too slow.
void GrabberStream::receiveDue(int64_t due, IconBuffer*& current, int& fill) {
    long long lostInRun = 0;
    for (int64_t i = 0; i < due && !stopRequested_; ++i) {
        const int64_t scan = setup_.device->takeScan();
        if (current == nullptr) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                current = free_.front();
                free_.pop_front();
                fill = 0;
            }
        }
        if (current == nullptr) {
            ++lostInRun;
            continue;
        }
        renderer_.renderScan(*current, fill++, scan);
        if (fill == setup_.scans) {
            std::lock_guard<std::mutex> lock(mutex_);
            full_.push_back(current);
            current = nullptr;
            changed_.notify_all();
        }
    }
    if (lostInRun > 0) {
        lostScans_ += lostInRun;
        if (unsaidLost_.add(lostInRun)) {
            reportLost();
        }
    }
}

IconBuffer* GrabberStream::nextFull(std::unique_lock<std::mutex>& lock, size_t delivered) {
    while (!stopping_) {
        if (!replay_.empty()) {
            if (setup_.device->measuring()) {
                return replay_[delivered % replay_.size()].get();
            }
            changed_.wait_for(lock, kIdlePoll);
        } else if (!full_.empty()) {
            IconBuffer* buffer = full_.front();
            full_.pop_front();
            return buffer;
        } else {
            changed_.wait(lock);
        }
    }
    return nullptr;
}

void GrabberStream::sendMessages(size_t delivered) const {
    for (const sim::Message& message : setup_.device->config().messages) {
        if (message.beforeBuffer >= 0 && static_cast<size_t>(message.beforeBuffer) == delivered) {
            reportMessage(message.level, message.text);
        }
    }
}

// An exception must not end the delivering thread: the stream goes on.
void GrabberStream::callBack(IconBuffer* buffer) const {
    try {
        setup_.callback(buffer, setup_.owner, setup_.userData);
    } catch (...) {
        reportMessage(1, "FGEthernet: the callback threw an exception");
    }
}

void GrabberStream::deliver() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (size_t delivered = 0;; ++delivered) {
        IconBuffer* buffer = nextFull(lock, delivered);
        if (buffer == nullptr) {
            break;
        }
        lock.unlock();
        sendMessages(delivered);
        callBack(buffer);
        lock.lock();
        if (replay_.empty()) {
            free_.push_back(buffer);
        }
    }
    delivering_ = false;
    changed_.notify_all();
}

class FGEthernet : public FrameGrabber {
  public:
    explicit FGEthernet(const std::string& name)
        : FrameGrabber(name), parameters_(nextGrabberPort++) {}
    ~FGEthernet() override {
        if (stream_) {
            stream_->stop();
        }
    }

    std::string getFrameGrabberType() const override { return "FGEthernet"; }
    FrameGrabberParameters* getParameters() override { return &parameters_; }
    int connect() override;
    int startGrab() override;
    int stopGrab() override;
    int disconnect() override;
    bool isGrabbing() const override { return stream_ && stream_->grabbing(); }
    bool isConnected() const override { return stream_ != nullptr; }
    long long getLostScans() const override { return stream_ ? stream_->lostScans() : 0; }
    long long getLateScans() const override { return stream_ ? stream_->lateScans() : 0; }

  private:
    int fault(const char* operation) const;
    int checkParameters(StreamSetup& setup) const;

    FGEthernetParameters parameters_;
    std::shared_ptr<GrabberStream> stream_;
};

int FGEthernet::fault(const char* operation) const {
    auto device = detail::Simulator::instance().findDevice(parameters_.getCameraIP());
    return device ? device->fault(operation) : 0;
}

bool formatFitsSensor(const DataFormat& format, const sim::SensorGeometry& sensor) {
    for (int i = 0; i < format.numComponents(); ++i) {
        const Component& c = *format.getComponent(i);
        const std::string& type = c.getValueType();
        if (type != "COG" && type != "RANGE" && type != "IMAGE") {
            return false;
        }
        for (int s = 0; s < c.numSubComponents(); ++s) {
            const SubComponent& sub = *c.getSubComponent(s);
            const int width = sub.getName() == "Mark" ? 2 : sensor.columns;
            if (sub.getWidth() != width) {
                return false;
            }
        }
    }
    return format.numComponents() > 0;
}

int FGEthernet::checkParameters(StreamSetup& setup) const {
    if (parameters_.getMode() != FrameGrabberParameters::MODE_CALLBACK) {
        return E_FG_INCORRECT_MODE;
    }
    if (parameters_.getRelease() != FGEthernetParameters::RELEASE_AUTOMATIC) {
        return E_FG_NOT_IMPLEMENTED;
    }
    if (parameters_.getCallback() == nullptr) {
        return E_FG_WRONG_CALLBACK_TYPE;
    }
    setup.device = detail::Simulator::instance().findDevice(parameters_.getCameraIP());
    if (!setup.device || setup.device->config().unreachable ||
        setup.device->config().dataPort != parameters_.getCameraPort()) {
        return E_FG_WINSOCK;
    }
    setup.format = DataFormat(parameters_.getDataFormat());
    if (!formatFitsSensor(setup.format, setup.device->config().sensor)) {
        return E_FG_DATAFORMAT;
    }
    setup.scans = parameters_.getNoScans();
    const int poolMegabytes = parameters_.getBufferSize();
    if (poolMegabytes < kMinPoolMegabytes || poolMegabytes > kMaxPoolMegabytes) {
        return E_FG_BUFFER_SIZE;
    }
    const long long bufferBytes =
        static_cast<long long>(setup.format.getScanSize()) * std::max(setup.scans, 0);
    const long long poolBytes = static_cast<long long>(poolMegabytes) * (1LL << 20);
    if (setup.scans <= 0 || bufferBytes > poolBytes || bufferBytes > kMaxBufferBytes) {
        return E_FG_BUFFER_SIZE;
    }
    setup.poolSize = static_cast<int>(std::min(kMaxPoolBuffers, poolBytes / bufferBytes));
    return E_ALL_OK;
}

int FGEthernet::connect() {
    if (int code = fault("FrameGrabber::connect")) {
        return code;
    }
    if (stream_) {
        return E_FG_CONNECTED;
    }
    StreamSetup setup;
    if (int code = checkParameters(setup)) {
        return code;
    }
    setup.callback = parameters_.getCallback();
    setup.userData = parameters_.getUserData();
    setup.owner = this;
    stream_ = std::make_shared<GrabberStream>(std::move(setup));
    detail::Simulator::instance().registerStream(stream_);
    return E_ALL_OK;
}

int FGEthernet::startGrab() {
    if (int code = fault("FrameGrabber::startGrab")) {
        return code;
    }
    if (!stream_) {
        return E_FG_NOT_CONNECTED;
    }
    return stream_->start();
}

int FGEthernet::stopGrab() {
    if (int code = fault("FrameGrabber::stopGrab")) {
        return code;
    }
    if (!stream_) {
        return E_FG_NOT_CONNECTED;
    }
    return stream_->stop();
}

int FGEthernet::disconnect() {
    if (int code = fault("FrameGrabber::disconnect")) {
        return code;
    }
    if (!stream_) {
        return E_FG_NOT_CONNECTED;
    }
    if (stream_->grabbing()) {
        stream_->stop();
    }
    stream_.reset();
    return E_ALL_OK;
}

}  // namespace

FrameGrabber::~FrameGrabber() = default;
FrameGrabberParameters::~FrameGrabberParameters() = default;

FrameGrabber* createFrameGrabber(const std::string& frameGrabberType, const std::string& name) {
    if (frameGrabberType != "FGEthernet" ||
        detail::Simulator::instance().globalFault("createFrameGrabber") != 0) {
        return nullptr;
    }
    return new FGEthernet(name);
}

}  // namespace icon
