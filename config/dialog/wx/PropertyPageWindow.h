#pragma once

#include <wx/panel.h>

#include "config/dialog/CPropertyGeneral.h"

class PropertyGridWindow;
class wxStaticText;

// The page's window: the grid (control 1074), and under it a sunken frame
// (1075) with the name line (1077) and the description line (1076), laid out
// in dialog units as the page's template gives them. Shows the page's state;
// the page (borrowed, outlives the window) decides it. Toolkit thread only.
class PropertyPageWindow : public wxPanel, public PageView {
  public:
    static constexpr int kGridId = 1074;
    static constexpr int kHelpFrameId = 1075;
    static constexpr int kDescriptionId = 1076;
    static constexpr int kNameId = 1077;

    PropertyPageWindow(wxWindow* parent, CPropertyGeneral& page);
    ~PropertyPageWindow() override;

    void SetLabels(const std::string& name, const std::string& description) override;
    PropertyGridWindow& GridWindow() { return *grid_; }

  private:
    CPropertyGeneral& page_;
    PropertyGridWindow* grid_;
    wxStaticText* name_;
    wxStaticText* description_;
};
