#pragma once

class Camera;

// The way from a frame grabber's callback to its camera. The camera hands
// its grabber a token, not itself, as the callback's user pointer; a callback
// passes the gate of that token to reach the camera. Closing the gate waits
// for a callback that is inside and turns away every later one, whatever the
// grabber still does: a grabber whose stop timed out may still be inside the
// camera, or call once more, after the camera let it go. So a camera, its
// adapters and its grabber are freed only once the gate is closed.
// Thread-safe: the tokens live in one map under a plain mutex, which no gate holds while a camera
// runs.
class CallbackGate {
  public:
    // Opens a gate to `camera`; its token, never null, is the grabber's user
    // pointer. Tokens are not reused.
    static void* Open(Camera* camera);
    // Once this returns, no callback with `token` is inside the camera or
    // reaches it. Must not run inside a passage of the same token. Null and
    // closed tokens change nothing.
    static void Close(void* token);

    // A callback's way through the gate, while it lives.
    class Passage {
      public:
        explicit Passage(void* token);
        ~Passage();

        Passage(const Passage&) = delete;
        Passage& operator=(const Passage&) = delete;

        // The camera; null when the gate is closed.
        Camera* GetCamera() const { return camera_; }

      private:
        void* token_;
        Camera* camera_;
    };
};
