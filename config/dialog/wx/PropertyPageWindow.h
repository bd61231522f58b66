#pragma once

#include <wx/panel.h>

#include <string>

#include "config/dialog/CPropertyGeneral.h"

class PropertyGridWindow;
class wxButton;
class wxStaticText;
class wxTextCtrl;

// The page's window: a filter box (control 1078) over the grid (1074), and
// under it a sunken frame (1075) with the name line (1077), the button that
// resets the focused value to its default (1079) and the description (1076),
// which wraps to as many lines as it needs. Everything follows the page's
// size; the grid takes what is left. Shows the page's state; the page
// (borrowed, outlives the window) decides it. Toolkit thread only.
// Bound to the toolkit's thread.
class PropertyPageWindow : public wxPanel, public PageView {
  public:
    static constexpr int kGridId = 1074;
    static constexpr int kHelpFrameId = 1075;
    static constexpr int kDescriptionId = 1076;
    static constexpr int kNameId = 1077;
    static constexpr int kFilterId = 1078;
    static constexpr int kResetId = 1079;

    PropertyPageWindow(wxWindow* parent, CPropertyGeneral& page);
    ~PropertyPageWindow() override;

    void SetLabels(const std::string& name, const std::string& description) override;
    void EnableReset(bool enable) override;
    PropertyGridWindow& GridWindow() { return *grid_; }

  private:
    wxWindow* MakeHelpFrame();
    void WrapDescription();

    CPropertyGeneral& page_;
    wxTextCtrl* filter_;
    PropertyGridWindow* grid_;
    wxStaticText* name_ = nullptr;
    wxButton* reset_ = nullptr;
    wxStaticText* description_ = nullptr;
    std::string descriptionText_;
};
