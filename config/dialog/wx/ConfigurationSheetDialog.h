#pragma once

#include <wx/dialog.h>

#include "config/dialog/CSheet1.h"
#include "vavezaz/CvlDriver.h"

class CameraParameters;
class CPropertyGeneral;
class PropertyPageWindow;
class wxButton;
class wxStatusBar;

// The configuration sheet's window: the page "General" on a tab, OK (ID 1)
// and Cancel (ID 2) in a column to its right, and a status bar (ID 105) along
// the bottom. Shows the sheet's state; the sheet and the page (borrowed,
// outlive the window) decide it. Toolkit thread only.
// Bound to the toolkit's thread.
class ConfigurationSheetDialog : public wxDialog, public SheetView {
  public:
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kStatusBarId = 105;

    ConfigurationSheetDialog(CSheet1& sheet, CPropertyGeneral& page);
    ~ConfigurationSheetDialog() override;

    void EnableOk(bool enable) override;
    void SetStatusText(const std::string& text) override;
    void ShowNotice(const std::string& text) override;

  private:
    void OnOk(wxCommandEvent& event);

    CSheet1& sheet_;
    PropertyPageWindow* pageWindow_;
    wxButton* ok_;
    wxStatusBar* statusBar_;
};

// Builds the sheet over the two working copies, shows it modally on the
// toolkit's thread and answers whether the user confirmed with OK and `save`
// kept the values.
bool ShowConfigurationSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                            CameraParameters& imageSet, const SheetSaver& save);
