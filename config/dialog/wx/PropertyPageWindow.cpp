#include "config/dialog/wx/PropertyPageWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "config/propertygrid/PropertyGridWindow.h"

namespace {

// Room the description keeps, so the grid does not jump as texts change.
constexpr int kDescriptionLines = 3;

}  // namespace

PropertyPageWindow::PropertyPageWindow(wxWindow* parent, CPropertyGeneral& page)
    : wxPanel(parent, wxID_ANY), page_(page) {
    // The page's template size is the smallest that shows it whole.
    SetMinSize(ConvertDialogToPixels(wxSize(233, 259)));
    const int gap = ConvertDialogToPixels(wxSize(3, 0)).GetWidth();
    filter_ =
        new wxTextCtrl(this, kFilterId, "", wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER);
    filter_->SetHint("Filter by name (Ctrl+F)");
    grid_ = new PropertyGridWindow(this, kGridId, page_.Grid());
    // Never laid out smaller than its scroll bar can be drawn in.
    grid_->SetInitialSize(ConvertDialogToPixels(wxSize(225, 100)));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(filter_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap);
    column->Add(grid_, 1, wxEXPAND | wxALL, gap);
    column->Add(MakeHelpFrame(), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, gap);
    SetSizer(column);

    filter_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        page_.Grid().SetFilter(filter_->GetValue().utf8_str().data());
    });
    // Escape empties the box (and leaves the dialog open); Enter goes on to
    // the grid.
    filter_->Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE) {
            filter_->Clear();
            return;
        }
        if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) {
            grid_->SetFocus();
            return;
        }
        event.Skip();
    });
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == 'F' && event.GetModifiers() == wxMOD_CONTROL) {
            filter_->SetFocus();
            filter_->SelectAll();
            return;
        }
        event.Skip();
    });
    page_.SetView(this);
}

PropertyPageWindow::~PropertyPageWindow() {
    page_.SetView(nullptr);
}

wxWindow* PropertyPageWindow::MakeHelpFrame() {
    auto* frame =
        new wxPanel(this, kHelpFrameId, wxDefaultPosition, wxDefaultSize, wxBORDER_SUNKEN);
    name_ = new wxStaticText(frame, kNameId, "(Name)", wxDefaultPosition, wxDefaultSize,
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    name_->SetFont(name_->GetFont().Bold());
    reset_ = new wxButton(frame, kResetId, "&Reset to default", wxDefaultPosition, wxDefaultSize,
                          wxBU_EXACTFIT);
    reset_->Disable();
    reset_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        grid_->CommitEdit();
        page_.ResetFocused();
        grid_->SetFocus();
    });
    description_ = new wxStaticText(frame, kDescriptionId, "(Description)");
    description_->SetMinSize(wxSize(-1, kDescriptionLines * description_->GetCharHeight()));
    const int gap = ConvertDialogToPixels(wxSize(4, 0)).GetWidth();
    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(name_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    nameRow->Add(reset_, 0, wxALIGN_CENTER_VERTICAL);
    auto* lines = new wxBoxSizer(wxVERTICAL);
    lines->Add(nameRow, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap);
    lines->Add(description_, 0, wxEXPAND | wxALL, gap);
    frame->SetSizer(lines);
    frame->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        CallAfter([this] { WrapDescription(); });
    });
    return frame;
}

void PropertyPageWindow::SetLabels(const std::string& name, const std::string& description) {
    name_->SetLabel(wxString::FromUTF8(name));
    name_->SetToolTip(wxString::FromUTF8(name));
    descriptionText_ = description;
    description_->SetToolTip(wxString::FromUTF8(description));
    WrapDescription();
}

void PropertyPageWindow::EnableReset(bool enable) {
    reset_->Enable(enable);
}

void PropertyPageWindow::WrapDescription() {
    // The frame's width, not the line's: a wrapped line is only as wide as
    // its longest part.
    const int width = description_->GetParent()->GetClientSize().GetWidth() -
                      2 * ConvertDialogToPixels(wxSize(4, 0)).GetWidth();
    description_->SetLabel(wxString::FromUTF8(descriptionText_));
    if (width <= 0) {
        return;
    }
    description_->Wrap(width);
    const int height = std::max(kDescriptionLines * description_->GetCharHeight(),
                                description_->GetBestSize().GetHeight());
    if (height != description_->GetMinSize().GetHeight()) {
        description_->SetMinSize(wxSize(-1, height));
        Layout();
    }
}
