#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "config/dialog/CSheet1.h"
#include "config/dialog/windows/ChildLayout.h"
#include "config/dialog/windows/PropertyPageWindow.h"

class CameraParameters;

// The configuration sheet's window: the system's property sheet with the page
// "General", OK (ID 1) and Cancel (ID 2) in a column to the page's right, no
// Apply or Help, and a status bar (ID 105) along the bottom. It can be
// resized, down to the size it opens with; the page takes the room it gains,
// the buttons follow the right edge. Shows the
// sheet's state; the sheet and the page (borrowed, outlive the window) decide
// it. Bound to the thread that runs it, which it keeps modal.
class ConfigurationSheetDialog : public SheetView {
  public:
    static constexpr int kOkId = IDOK;
    static constexpr int kCancelId = IDCANCEL;
    static constexpr int kApplyId = 12321;
    static constexpr int kHelpId = 9;
    static constexpr int kStatusBarId = 105;

    ConfigurationSheetDialog(CSheet1& sheet, CPropertyGeneral& page);
    ~ConfigurationSheetDialog() override;
    ConfigurationSheetDialog(const ConfigurationSheetDialog&) = delete;
    ConfigurationSheetDialog& operator=(const ConfigurationSheetDialog&) = delete;

    // Shows the sheet modally over `parent` (null for none); true when the
    // user confirmed with OK.
    bool Run(HWND parent);
    // Presses Cancel on the sheet open in the process, if any; any thread.
    static void CancelOpenSheet();

    void EnableOk(bool enable) override;
    void SetStatusText(const std::string& text) override;
    void ShowNotice(const std::string& text) override;

  private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
    void LayOut();
    void OnSize(int width, int height);

    CSheet1& sheet_;
    PropertyPageWindow pageWindow_;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    std::unique_ptr<ChildLayout> layout_;
    // The size the sheet opens with, the smallest that shows it whole.
    SIZE minimum_{0, 0};
};

// Builds the sheet over the two working copies, shows it modally on the
// calling thread and answers whether the user confirmed with OK and `save`
// kept the values.
bool ShowConfigurationSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                            CameraParameters& imageSet, const SheetSaver& save);
