#include "config/dialog/wx/ConfigurationSheetDialog.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>

#include "config/dialog/CPropertyGeneral.h"
#include "config/dialog/wx/HostWindow.h"
#include "config/dialog/wx/PropertyPageWindow.h"
#include "config/propertygrid/PropertyGridWindow.h"

ConfigurationSheetDialog::ConfigurationSheetDialog(CSheet1& sheet, CPropertyGeneral& page)
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(sheet.Caption()), wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      sheet_(sheet) {
    auto* notebook = new wxNotebook(this, wxID_ANY);
    pageWindow_ = new PropertyPageWindow(notebook, page);
    notebook->AddPage(pageWindow_, wxString::FromUTF8(page.Caption()), true);

    // The sheet has no Apply or Help button; OK and Cancel stand in a column
    // to the right of the page, at the height of its top.
    ok_ = new wxButton(this, kOkId, "&OK");
    auto* cancel = new wxButton(this, kCancelId, "&Cancel");
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->AddSpacer(ConvertDialogToPixels(wxSize(0, 14)).GetHeight());
    buttons->Add(ok_, 0, wxEXPAND | wxBOTTOM, 5);
    buttons->Add(cancel, 0, wxEXPAND);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(notebook, 1, wxEXPAND | wxALL, 7);
    row->Add(buttons, 0, wxTOP | wxBOTTOM | wxRIGHT, 7);

    statusBar_ = new wxStatusBar(this, kStatusBarId, wxSTB_SIZEGRIP);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row, 1, wxEXPAND);
    column->Add(statusBar_, 0, wxEXPAND);
    SetSizerAndFit(column);
    // Fitted to the page at its smallest; the user may make it larger.
    SetMinSize(GetSize());

    SetEscapeId(kCancelId);
    Bind(wxEVT_BUTTON, &ConfigurationSheetDialog::OnOk, this, kOkId);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); }, kCancelId);
    sheet_.SetView(this);
    page.OnInitDialog();
    pageWindow_->GridWindow().SetFocus();
}

ConfigurationSheetDialog::~ConfigurationSheetDialog() {
    sheet_.SetView(nullptr);
}

void ConfigurationSheetDialog::EnableOk(bool enable) {
    ok_->Enable(enable);
}

void ConfigurationSheetDialog::SetStatusText(const std::string& text) {
    // A message longer than the bar is read whole in its tooltip.
    statusBar_->SetStatusText(wxString::FromUTF8(text));
    statusBar_->SetToolTip(wxString::FromUTF8(text));
}

void ConfigurationSheetDialog::ShowNotice(const std::string& text) {
    wxGenericMessageDialog notice(this, wxString::FromUTF8(text),
                                  wxString::FromUTF8(sheet_.Caption()), wxOK | wxICON_EXCLAMATION);
    notice.ShowModal();
}

void ConfigurationSheetDialog::OnOk(wxCommandEvent&) {
    // A value still being typed is taken first; it may make the sheet invalid.
    pageWindow_->GridWindow().CommitEdit();
    if (sheet_.Confirm()) {
        EndModal(wxID_OK);
    }
}

bool ShowConfigurationSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                            CameraParameters& imageSet, const SheetSaver& save) {
    CSheet1 sheet(caption);
    sheet.SetSaver(save);
    CPropertyGeneral page(cameraSet, imageSet, sheet);
    ConfigurationSheetDialog dialog(sheet, page);
    MakeTransientForHost(dialog, parent);
    dialog.CentreOnScreen();
    return dialog.ShowModal() == wxID_OK;
}
