#pragma once

#include <windows.h>

#include <prsht.h>

#include <memory>

#include "config/dialog/CPropertyGeneral.h"
#include "config/dialog/windows/ChildLayout.h"

class CSheet1;
class PropertyGridWindow;

// The page's window, from the template in the driver's module: a filter box
// (control 1078) over the grid (1074), and under it a sunken frame (1075) with
// the name line (1077), the button that resets the focused value to its
// default (1079) and the description (1076), which wraps over three lines.
// The grid takes the room the page gains; the rest follows the width. Ctrl+F
// anywhere on the page goes to the filter box. Shows the page's state;
// the page and the sheet (borrowed, outlive the window) decide it. Bound to
// the dialog's thread, one page at a time on it.
class PropertyPageWindow : public PageView {
  public:
    static constexpr int kTemplateId = 139;
    static constexpr int kGridId = 1074;
    static constexpr int kHelpFrameId = 1075;
    static constexpr int kDescriptionId = 1076;
    static constexpr int kNameId = 1077;
    static constexpr int kFilterId = 1078;
    static constexpr int kResetId = 1079;

    PropertyPageWindow(CPropertyGeneral& page, CSheet1& sheet);
    ~PropertyPageWindow() override;
    PropertyPageWindow(const PropertyPageWindow&) = delete;
    PropertyPageWindow& operator=(const PropertyPageWindow&) = delete;

    // What the property sheet needs to make the page.
    PROPSHEETPAGEW Description(HINSTANCE module);
    void SetLabels(const std::string& name, const std::string& description) override;
    void EnableReset(bool enable) override;
    // True once the user confirmed the sheet with OK.
    bool Confirmed() const { return confirmed_; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK FilterProc(HWND filter, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void OnDestroy();
    void LayOut();
    // True when the command was the page's own.
    bool OnCommand(WPARAM wParam);
    // The sheet's notices: OK takes a value still being typed and closes
    // only while the values are valid and kept.
    LRESULT OnNotify(const NMHDR& notice);
    void Reset();
    void FocusFilter();

    CPropertyGeneral& page_;
    CSheet1& sheet_;
    HWND window_ = nullptr;
    HWND filter_ = nullptr;
    std::unique_ptr<PropertyGridWindow> grid_;
    std::unique_ptr<ChildLayout> layout_;
    // Sees the page's keys before the dialog manager does, for Ctrl+F.
    HHOOK keyHook_ = nullptr;
    bool confirmed_ = false;
};
