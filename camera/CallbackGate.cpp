#include "camera/CallbackGate.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

namespace {

struct Gate {
    Camera* camera = nullptr;
    int inside = 0;
    bool closing = false;
};

struct Gates {
    std::mutex mutex;
    std::condition_variable left;
    std::map<uintptr_t, Gate> open;
    uintptr_t next = 1;
};

// Never destroyed: a grabber thread that outlives every camera may still
// knock at the end of the process.
Gates& TheGates() {
    static Gates* gates = new Gates();
    return *gates;
}

uintptr_t Key(void* token) {
    return reinterpret_cast<uintptr_t>(token);
}

}  // namespace

void* CallbackGate::Open(Camera* camera) {
    Gates& gates = TheGates();
    std::lock_guard<std::mutex> lock(gates.mutex);
    const uintptr_t key = gates.next++;
    gates.open[key].camera = camera;
    // A number, never an address: a late callback's token finds no camera.
    return reinterpret_cast<void*>(key);  // NOLINT(performance-no-int-to-ptr)
}

void CallbackGate::Close(void* token) {
    Gates& gates = TheGates();
    std::unique_lock<std::mutex> lock(gates.mutex);
    const auto found = gates.open.find(Key(token));
    if (found == gates.open.end()) {
        return;
    }
    Gate& gate = found->second;
    gate.closing = true;
    gates.left.wait(lock, [&] { return gate.inside == 0; });
    gates.open.erase(found);
}

CallbackGate::Passage::Passage(void* token) : token_(token), camera_(nullptr) {
    Gates& gates = TheGates();
    std::lock_guard<std::mutex> lock(gates.mutex);
    const auto found = gates.open.find(Key(token));
    if (found != gates.open.end() && !found->second.closing) {
        ++found->second.inside;
        camera_ = found->second.camera;
    }
}

CallbackGate::Passage::~Passage() {
    if (camera_ == nullptr) {
        return;
    }
    Gates& gates = TheGates();
    {
        std::lock_guard<std::mutex> lock(gates.mutex);
        --gates.open[Key(token_)].inside;
    }
    gates.left.notify_all();
}
