#include "image/RowReadGate.h"

#include <thread>

namespace {

// Gives the thread's slot back when the thread ends.
struct SlotOfThread {
    ~SlotOfThread() {
        if (taken != nullptr) {
            taken->store(false);
        }
    }
    std::atomic<int>* inside = nullptr;
    std::atomic<bool>* taken = nullptr;
};

thread_local SlotOfThread slotOfThisThread;

}  // namespace

RowReadGate& RowReadGate::Instance() {
    static RowReadGate gate;
    return gate;
}

std::atomic<int>& RowReadGate::SlotOfThisThread() {
    SlotOfThread& mine = slotOfThisThread;
    if (mine.inside != nullptr) {
        return *mine.inside;
    }
    for (int n = 0; n < kSlots; ++n) {
        bool expected = false;
        if (slots_[n].taken.compare_exchange_strong(expected, true)) {
            mine.inside = &slots_[n].inside;
            mine.taken = &slots_[n].taken;
            return *mine.inside;
        }
    }
    return slots_[kSlots].inside;
}

bool RowReadGate::AnyReaderInside() const {
    for (const Slot& slot : slots_) {
        if (slot.inside.load() != 0) {
            return true;
        }
    }
    return false;
}

// Both sides announce themselves first and look at the other second, in one
// total order: of a read and a change that start together, at least one sees
// the other, so a read never passes while a change sees no reader.
RowReadGate::Pass::Pass(RowReadGate& gate) : inside_(&gate.SlotOfThisThread()) {
    own_ = inside_ != &gate.slots_[kSlots].inside;
    inside_->fetch_add(1);
    if (gate.changes_.load() != 0) {
        Leave();
    }
}

RowReadGate::Pass::~Pass() {
    Leave();
}

// A slot of its own is written by its thread alone, so the count is lowered
// by a plain store; the shared slot needs a locked instruction.
void RowReadGate::Pass::Leave() {
    if (inside_ == nullptr) {
        return;
    }
    if (own_) {
        inside_->store(inside_->load(std::memory_order_relaxed) - 1, std::memory_order_release);
    } else {
        inside_->fetch_sub(1, std::memory_order_release);
    }
    inside_ = nullptr;
}

// A read inside is a lookup and a copy of one row, so the wait is short;
// yielding lets a read that was preempted inside finish.
RowReadGate::Closed::Closed(RowReadGate& gate) : gate_(gate) {
    gate_.changes_.fetch_add(1);
    while (gate_.AnyReaderInside()) {
        std::this_thread::yield();
    }
}

RowReadGate::Closed::~Closed() {
    gate_.changes_.fetch_sub(1);
}
