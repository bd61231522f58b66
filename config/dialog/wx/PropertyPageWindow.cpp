#include "config/dialog/wx/PropertyPageWindow.h"

#include <wx/stattext.h>

#include "config/propertygrid/PropertyGridWindow.h"

namespace {

wxRect DialogUnits(wxWindow* window, int x, int y, int width, int height) {
    return wxRect(window->ConvertDialogToPixels(wxPoint(x, y)),
                  window->ConvertDialogToPixels(wxSize(width, height)));
}

}  // namespace

PropertyPageWindow::PropertyPageWindow(wxWindow* parent, CPropertyGeneral& page)
    : wxPanel(parent, wxID_ANY), page_(page) {
    SetMinSize(ConvertDialogToPixels(wxSize(233, 259)));
    const wxRect gridRect = DialogUnits(this, 3, 3, 225, 223);
    grid_ = new PropertyGridWindow(this, kGridId, page_.Grid());
    grid_->SetSize(gridRect);
    const wxRect frameRect = DialogUnits(this, 3, 229, 225, 26);
    auto* frame = new wxPanel(this, kHelpFrameId, frameRect.GetPosition(), frameRect.GetSize(),
                              wxBORDER_SUNKEN);
    // The lines sit inside the frame; their places are given relative to it.
    const wxRect nameRect = DialogUnits(this, 10 - 3, 232 - 229, 218, 9);
    const wxRect descriptionRect = DialogUnits(this, 10 - 3, 242 - 229, 218, 9);
    name_ = new wxStaticText(frame, kNameId, "(Name)", nameRect.GetPosition(), nameRect.GetSize(),
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    name_->SetFont(name_->GetFont().Bold());
    description_ =
        new wxStaticText(frame, kDescriptionId, "(Description)", descriptionRect.GetPosition(),
                         descriptionRect.GetSize(), wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    page_.SetView(this);
}

PropertyPageWindow::~PropertyPageWindow() {
    page_.SetView(nullptr);
}

void PropertyPageWindow::SetLabels(const std::string& name, const std::string& description) {
    name_->SetLabel(wxString::FromUTF8(name));
    name_->SetToolTip(wxString::FromUTF8(name));
    description_->SetLabel(wxString::FromUTF8(description));
    description_->SetToolTip(wxString::FromUTF8(description));
}
