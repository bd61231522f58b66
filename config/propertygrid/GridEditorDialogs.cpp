#include "config/propertygrid/GridEditorDialogs.h"

#include <wx/button.h>
#include <wx/datectrl.h>
#include <wx/dateevt.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timectrl.h>

namespace {

// The caption of the owner's button `id` (1 OK, 2 Cancel), else `fallback`.
wxString Caption(wxWindow* owner, int id, const char* fallback) {
    wxWindow* top = owner != nullptr ? wxGetTopLevelParent(owner) : nullptr;
    wxWindow* button = top != nullptr ? top->FindWindow(id) : nullptr;
    if (button != nullptr && !button->GetLabel().empty()) {
        return button->GetLabel();
    }
    return fallback;
}

// A rectangle given as left, top, right, bottom in dialog units.
wxRect DialogRect(wxWindow* dialog, int left, int top, int right, int bottom) {
    const wxPoint origin = dialog->ConvertDialogToPixels(wxPoint(left, top));
    const wxSize size = dialog->ConvertDialogToPixels(wxSize(right - left, bottom - top));
    return wxRect(origin, size);
}

void AddButtons(wxDialog& dialog, wxWindow* owner, const wxRect& ok, const wxRect& cancel) {
    auto* okButton =
        new wxButton(&dialog, wxID_OK, Caption(owner, 1, "OK"), ok.GetPosition(), ok.GetSize());
    new wxButton(&dialog, wxID_CANCEL, Caption(owner, 2, "Cancel"), cancel.GetPosition(),
                 cancel.GetSize());
    okButton->SetDefault();
}

}  // namespace

bool EditMultiLineText(wxWindow* owner, const std::string& title, std::string& value) {
    wxDialog dialog(owner, wxID_ANY, wxString::FromUTF8(title));
    const wxRect edit = DialogRect(&dialog, 7, 7, 200, 100);
    auto* text = new wxTextCtrl(&dialog, wxID_ANY, wxString::FromUTF8(value), edit.GetPosition(),
                                edit.GetSize(), wxTE_MULTILINE | wxHSCROLL | wxVSCROLL);
    AddButtons(dialog, owner, DialogRect(&dialog, 56, 106, 106, 120),
               DialogRect(&dialog, 110, 106, 160, 120));
    dialog.SetClientSize(dialog.ConvertDialogToPixels(wxSize(207, 127)));
    text->SetFocus();
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    value = text->GetValue().utf8_str().data();
    return true;
}

bool EditDateTime(wxWindow* owner, const std::string& title, GridDateTime& value) {
    wxDialog dialog(owner, wxID_ANY, wxString::FromUTF8(title));
    const wxDateTime start(static_cast<wxDateTime::wxDateTime_t>(value.day),
                           static_cast<wxDateTime::Month>(value.month - 1), value.year,
                           static_cast<wxDateTime::wxDateTime_t>(value.hour),
                           static_cast<wxDateTime::wxDateTime_t>(value.minute),
                           static_cast<wxDateTime::wxDateTime_t>(value.second));
    auto* date = new wxDatePickerCtrl(&dialog, wxID_ANY, start);
    auto* time = new wxTimePickerCtrl(&dialog, wxID_ANY, start);
    auto* grid = new wxFlexGridSizer(2, 5, 7);
    grid->Add(new wxStaticText(&dialog, wxID_ANY, "Date"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(date, 1, wxEXPAND);
    grid->Add(new wxStaticText(&dialog, wxID_ANY, "Time"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(time, 1, wxEXPAND);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(&dialog, wxID_OK, Caption(owner, 1, "OK")), 0, wxRIGHT, 5);
    buttons->Add(new wxButton(&dialog, wxID_CANCEL, Caption(owner, 2, "Cancel")));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(grid, 1, wxEXPAND | wxALL, 7);
    column->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 7);
    dialog.SetSizerAndFit(column);
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    const wxDateTime day = date->GetValue();
    int hour = 0;
    int minute = 0;
    int second = 0;
    time->GetTime(&hour, &minute, &second);
    value.year = day.GetYear();
    value.month = static_cast<int32_t>(day.GetMonth()) + 1;
    value.day = day.GetDay();
    value.hour = hour;
    value.minute = minute;
    value.second = second;
    return true;
}
