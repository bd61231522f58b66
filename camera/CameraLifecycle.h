#pragma once

#include <atomic>

// Where a camera is between its first open and its last close, and whether
// its delivered buffers may reach the adapters. Thread-safe: the phase moves
// only under the camera's open/close mutex, and is read by any thread without
// a lock (the grabber's thread for every buffer, host threads on entry to an
// operation).
//
//   Closed --first open--> Opening --acquisition started--> Open
//   Opening --first open failed--> Closed
//   Open --last port closing--> Closing --released--> Closed
//
// Further ports open and close while the camera stays Open. Every close under
// way, of any port, stops buffers meanwhile; so does refusing them, which is
// for good (the camera is about to be destroyed).
class CameraLifecycle {
  public:
    enum class Phase { Closed, Opening, Open, Closing };

    Phase Current() const { return phase_.load(); }
    bool IsOpen() const { return Current() == Phase::Open; }
    // True while the camera's device and grabber exist: from the start of
    // the first open to the end of the last close.
    bool HasDevice() const { return Current() != Phase::Closed; }
    // Moves to `next`; throws std::logic_error for a move the diagram above
    // does not have, naming both phases.
    void MoveTo(Phase next);

    // Open, with no close under way and buffers not refused.
    bool AcceptsBuffers() const { return IsOpen() && stops_.load() == 0; }
    void RefuseBuffers();

    // A close under way, while this lives: buffers stop meanwhile.
    class CloseUnderWay {
      public:
        explicit CloseUnderWay(CameraLifecycle& lifecycle);
        ~CloseUnderWay();
        CloseUnderWay(const CloseUnderWay&) = delete;
        CloseUnderWay& operator=(const CloseUnderWay&) = delete;

      private:
        CameraLifecycle& lifecycle_;
    };

    static const char* Name(Phase phase);

  private:
    static bool IsLegal(Phase from, Phase to);

    std::atomic<Phase> phase_{Phase::Closed};
    // Closes under way, and 1 more once buffers are refused for good.
    std::atomic<int> stops_{0};
    std::atomic<bool> refusing_{false};
};
