#include "config/dialog/windows/ChildLayout.h"

ChildLayout::ChildLayout(HWND parent) : parent_(parent) {
    RECT client{};
    ::GetClientRect(parent, &client);
    laidOut_ = SIZE{client.right, client.bottom};
}

void ChildLayout::Add(HWND child, unsigned follow) {
    if (child == nullptr) {
        return;
    }
    RECT box{};
    ::GetWindowRect(child, &box);
    ::MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&box), 2);
    children_.push_back(Child{child, box, follow});
}

void ChildLayout::Resize(int width, int height) const {
    const int dx = width - laidOut_.cx;
    const int dy = height - laidOut_.cy;
    for (const Child& child : children_) {
        const int x = child.box.left + ((child.follow & kRight) != 0 ? dx : 0);
        const int y = child.box.top + ((child.follow & kDown) != 0 ? dy : 0);
        const int childWidth =
            child.box.right - child.box.left + ((child.follow & kWider) != 0 ? dx : 0);
        const int childHeight =
            child.box.bottom - child.box.top + ((child.follow & kTaller) != 0 ? dy : 0);
        ::SetWindowPos(child.window, nullptr, x, y, childWidth, childHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Frames and labels leave traces where they stood.
    ::InvalidateRect(parent_, nullptr, TRUE);
}
