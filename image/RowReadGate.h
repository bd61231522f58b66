#pragma once

#include <atomic>

// Lets the host's row reads find a port's image without taking a lock. A read
// that passes the gate may look the port up in the camera list and in its
// camera's adapters unlocked; every change to those maps, and the list's
// destruction, holds the gate closed, which waits out the reads already
// inside and turns new ones away to the locked path. The changes come with
// open and close and are rare; a read pays one atomic exchange and no wait.
// A read inside the gate must neither wait for anything nor call the host (a
// log line may reach the host's debug procedure, which may open or close
// ports): it leaves the gate first.
// Thread-safe.
class RowReadGate {
  public:
    // The one gate of the process.
    static RowReadGate& Instance();

    // A read inside the gate while this lives, if Passed().
    class Pass {
      public:
        explicit Pass(RowReadGate& gate);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        // False while a change is under way: take the locks instead.
        bool Passed() const { return inside_ != nullptr; }
        // Leaves the gate before the pass goes, e.g. ahead of a log line.
        void Leave();

      private:
        std::atomic<int>* inside_;
        bool own_ = false;
    };

    // The gate closed while this lives: no read is inside. Changes do not
    // wait for one another here.
    class Closed {
      public:
        explicit Closed(RowReadGate& gate);
        ~Closed();
        Closed(const Closed&) = delete;
        Closed& operator=(const Closed&) = delete;

      private:
        RowReadGate& gate_;
    };

  private:
    // A reading thread keeps a slot of its own for its life, so leaving is a
    // plain store; threads beyond the slots share the last one as a count.
    static constexpr int kSlots = 64;
    struct alignas(64) Slot {
        std::atomic<int> inside{0};
        std::atomic<bool> taken{false};
    };

    RowReadGate() = default;
    std::atomic<int>& SlotOfThisThread();
    bool AnyReaderInside() const;

    Slot slots_[kSlots + 1];
    alignas(64) std::atomic<int> changes_{0};
};
