#pragma once

#include <windows.h>

#include <prsht.h>

#include <memory>

#include "config/dialog/CPropertyGeneral.h"

class CSheet1;
class PropertyGridWindow;

// The page's window, from the template in the driver's module: the grid
// (control 1074), and under it a sunken frame (1075) with the name line (1077)
// and the description line (1076). Shows the page's state; the page and the
// sheet (borrowed, outlive the window) decide it. Bound to the dialog's
// thread.
class PropertyPageWindow : public PageView {
  public:
    static constexpr int kTemplateId = 139;
    static constexpr int kGridId = 1074;
    static constexpr int kDescriptionId = 1076;
    static constexpr int kNameId = 1077;

    PropertyPageWindow(CPropertyGeneral& page, CSheet1& sheet);
    ~PropertyPageWindow() override;
    PropertyPageWindow(const PropertyPageWindow&) = delete;
    PropertyPageWindow& operator=(const PropertyPageWindow&) = delete;

    // What the property sheet needs to make the page.
    PROPSHEETPAGEW Description(HINSTANCE module);
    void SetLabels(const std::string& name, const std::string& description) override;
    // True once the user confirmed the sheet with OK.
    bool Confirmed() const { return confirmed_; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void OnDestroy();
    // The sheet's notices: OK takes a value still being typed and closes
    // only while the values are valid.
    LRESULT OnNotify(const NMHDR& notice);

    CPropertyGeneral& page_;
    CSheet1& sheet_;
    HWND window_ = nullptr;
    std::unique_ptr<PropertyGridWindow> grid_;
    bool confirmed_ = false;
};
