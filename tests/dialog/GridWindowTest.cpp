// The grid's window on its own, laid out by a sizer as the dialog's page
// lays it out, on a virtual display of the test's own, typed into with
// synthetic key presses.

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/sizer.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "config/propertygrid/PropertyGridWindow.h"
#include "tests/dialog/XvfbDisplay.h"

namespace {

using namespace std::chrono_literals;

class Owner : public PropertyGridOwner {
  public:
    int32_t OnGridNotify(int32_t message, int32_t item) override {
        if (message == kGridItemChanged) {
            changes.push_back(item);
        }
        return 0;
    }
    std::vector<int32_t> changes;
};

// Runs the toolkit's loop until `done`, at most 30 s.
void PumpUntil(const std::atomic<bool>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done && std::chrono::steady_clock::now() < deadline) {
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(10ms);
    }
    for (int i = 0; i < 50; ++i) {
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(10ms);
    }
}

}  // namespace

TEST(GridWindow, UnderASizerATypedValueIsTakenWholeWithOneNotice) {
    ASSERT_FALSE(FindProgram("xdotool").empty()) << "xdotool is not installed";
    XvfbDisplay display;
    ASSERT_FALSE(display.Name().empty()) << display.Error();
    ::setenv("DISPLAY", display.Name().c_str(), 1);
    ::setenv("NO_AT_BRIDGE", "1", 1);
    wxApp::SetInstance(new wxApp);
    static char name[] = "grid_window_tests";
    char* arguments[] = {name, nullptr};
    int count = 1;
    ASSERT_TRUE(wxEntryStart(count, arguments));
    wxTheApp->CallOnInit();

    CPropertyGrid grid;
    Owner owner;
    grid.SetOwner(&owner);
    const int32_t item = grid.AddIntegerItem(grid.AddSection("Camera"), "BufferSize", 20);
    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "grid under test", wxDefaultPosition, wxSize(400, 300));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new PropertyGridWindow(frame, wxID_ANY, grid), 1, wxEXPAND | wxALL, 4);
    frame->SetSizer(sizer);
    frame->Show();
    grid.SetFocusedItem(item);
    std::atomic<bool> done{false};
    std::thread user([&] {
        RunOnDisplay(display.Name(),
                     "xdotool search --sync --onlyvisible --name '^grid under test$' "
                     "windowfocus --sync key --delay 50 Return 1 2 3 Return");
        done = true;
    });
    PumpUntil(done);
    user.join();

    int64_t value = 0;
    ASSERT_TRUE(grid.GetItemValue(item, value));
    EXPECT_EQ(123, value);
    EXPECT_EQ(std::vector<int32_t>{item}, owner.changes) << "one notice for one edit";
    frame->Destroy();
    wxTheApp->Yield(true);
    wxEntryCleanup();
}
