#pragma once

#include <windows.h>

#include <vector>

// Keeps a window's children in place as the window is resized: each child
// keeps its distances to the edges it is anchored to, and those it is not
// anchored to move it or stretch it. Bound to the window's thread; the
// windows are borrowed.
class ChildLayout {
  public:
    // How a child follows the parent's client area.
    enum Follow : unsigned {
        kStays = 0,
        kRight = 1,   // moves with the right edge
        kDown = 2,    // moves with the bottom edge
        kWider = 4,   // stretches with the width
        kTaller = 8,  // stretches with the height
    };

    // Takes the parent's client size now as the size the children were
    // laid out for.
    explicit ChildLayout(HWND parent);

    // The child where it is now, to follow as `follow` says.
    void Add(HWND child, unsigned follow);
    // Places every child for the parent's new client size.
    void Resize(int width, int height) const;

  private:
    struct Child {
        HWND window;
        RECT box;
        unsigned follow;
    };

    HWND parent_;
    SIZE laidOut_{0, 0};
    std::vector<Child> children_;
};
