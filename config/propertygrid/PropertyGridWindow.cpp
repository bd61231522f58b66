#include "config/propertygrid/PropertyGridWindow.h"

#include <wx/calctrl.h>
#include <wx/colordlg.h>
#include <wx/dcclient.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/fontdlg.h>
#include <wx/odcombo.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "config/propertygrid/GridEditorDialogs.h"

namespace {

wxString Wide(const std::string& text) {
    return wxString::FromUTF8(text);
}

std::string Narrow(const wxString& text) {
    return text.utf8_str().data();
}

wxColour System(wxSystemColour colour) {
    return wxSystemSettings::GetColour(colour);
}

// "Description (*.ext)|*.ext||" as the file dialog wants it: pairs without
// the closing bars.
wxString FileDialogFilter(const std::string& filter) {
    std::string pairs = filter;
    while (!pairs.empty() && pairs.back() == '|') {
        pairs.pop_back();
    }
    return pairs.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : Wide(pairs);
}

wxFont ToFont(const GridFont& font, const wxFont& fallback) {
    if (font.faceName.empty()) {
        return fallback;
    }
    wxFont made(wxFontInfo(font.pointSize > 0 ? font.pointSize : 10)
                    .FaceName(Wide(font.faceName))
                    .Italic(font.italic)
                    .Underlined(font.underline)
                    .Strikethrough(font.strikeOut));
    made.SetNumericWeight(font.weight);
    return made;
}

GridFont FromFont(const wxFont& font) {
    GridFont result;
    result.faceName = Narrow(font.GetFaceName());
    result.pointSize = font.GetPointSize();
    result.weight = font.GetNumericWeight();
    result.italic = font.GetStyle() == wxFONTSTYLE_ITALIC;
    result.underline = font.GetUnderlined();
    result.strikeOut = font.GetStrikethrough();
    return result;
}

}  // namespace

PropertyGridWindow::PropertyGridWindow(wxWindow* parent, wxWindowID id, CPropertyGrid& grid)
    : wxScrolledCanvas(parent, id, wxDefaultPosition, wxDefaultSize,
                       wxVSCROLL | wxWANTS_CHARS | wxBORDER_SUNKEN),
      grid_(grid) {
    font_ =
        parent->GetFont().IsOk() ? parent->GetFont() : wxFont(wxFontInfo(8.5).FaceName("Tahoma"));
    boldFont_ = font_.Bold();
    SetFont(font_);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetBackgroundColour(System(wxSYS_COLOUR_WINDOW));
    SetScrollRate(0, RowHeight());
    Bind(wxEVT_PAINT, &PropertyGridWindow::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &PropertyGridWindow::OnLeftDown, this);
    Bind(wxEVT_KEY_DOWN, &PropertyGridWindow::OnKeyDown, this);
    Bind(wxEVT_CHAR, &PropertyGridWindow::OnChar, this);
    Bind(wxEVT_SIZE, &PropertyGridWindow::OnSize, this);
    Bind(wxEVT_MOTION, &PropertyGridWindow::OnMotion, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
        Refresh();
        event.Skip();
    });
    grid_.SetView(this);
    UpdateVirtualSize();
}

PropertyGridWindow::~PropertyGridWindow() {
    grid_.SetView(nullptr);
}

int PropertyGridWindow::RowHeight() const {
    wxClientDC dc(const_cast<PropertyGridWindow*>(this));
    dc.SetFont(font_);
    return dc.GetTextExtent("Gg").GetHeight() + 4;
}

int PropertyGridWindow::NameWidth() const {
    return GetClientSize().GetWidth() / 2;
}

void PropertyGridWindow::UpdateVirtualSize() {
    const int rows = static_cast<int>(grid_.Rows().size());
    SetVirtualSize(GetClientSize().GetWidth(), rows * RowHeight());
}

void PropertyGridWindow::Repaint() {
    UpdateVirtualSize();
    Refresh();
}

void PropertyGridWindow::ScrollIntoView(size_t row) {
    int firstX = 0;
    int firstRow = 0;
    GetViewStart(&firstX, &firstRow);
    const int visibleRows = std::max(1, GetClientSize().GetHeight() / RowHeight());
    const int target = static_cast<int>(row);
    if (target < firstRow) {
        Scroll(-1, target);
    } else if (target >= firstRow + visibleRows) {
        Scroll(-1, target - visibleRows + 1);
    }
}

int PropertyGridWindow::RowAt(const wxPoint& point) const {
    const wxPoint logical = CalcUnscrolledPosition(point);
    const int row = logical.y / RowHeight();
    return logical.y >= 0 && row < static_cast<int>(grid_.Rows().size()) ? row : -1;
}

wxRect PropertyGridWindow::ValueRect(size_t row) const {
    const wxPoint top = CalcScrolledPosition(wxPoint(0, static_cast<int>(row) * RowHeight()));
    return wxRect(NameWidth() + 1, top.y, GetClientSize().GetWidth() - NameWidth() - 1,
                  RowHeight());
}

void PropertyGridWindow::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    DoPrepareDC(dc);
    const wxSize client = GetClientSize();
    const wxPoint origin = CalcUnscrolledPosition(wxPoint(0, 0));
    dc.SetBrush(wxBrush(System(wxSYS_COLOUR_WINDOW)));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(origin.x, origin.y, client.GetWidth(), client.GetHeight());
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    const std::optional<size_t> focused = grid_.FocusedRowIndex();
    const int height = RowHeight();
    for (size_t row = 0; row < rows.size(); ++row) {
        const int top = static_cast<int>(row) * height;
        if (top + height < origin.y || top > origin.y + client.GetHeight()) {
            continue;
        }
        DrawRow(dc, rows[row], top, focused && *focused == row);
    }
}

void PropertyGridWindow::DrawRow(wxDC& dc, const PropertyGridRow& row, int top, bool focused) {
    if (row.isSection) {
        DrawSection(dc, row, top, focused);
        return;
    }
    const PropertyGridItem* item = grid_.FindItem(row.id);
    if (item == nullptr) {
        return;
    }
    const int width = GetClientSize().GetWidth();
    const int height = RowHeight();
    const int nameWidth = NameWidth();
    // A focused item that cannot be edited keeps its grey text on a quiet
    // background, so the focus never suggests an edit.
    const bool highlighted = focused && item->editable;
    if (focused) {
        dc.SetBrush(
            wxBrush(highlighted ? System(wxSYS_COLOUR_HIGHLIGHT) : System(wxSYS_COLOUR_BTNFACE)));
        dc.SetPen(highlighted ? *wxTRANSPARENT_PEN : wxPen(System(wxSYS_COLOUR_HIGHLIGHT)));
        dc.DrawRectangle(0, top, width, height);
    }
    const wxColour lines = System(wxSYS_COLOUR_BTNFACE);
    dc.SetPen(wxPen(lines));
    dc.DrawLine(0, top + height - 1, width, top + height - 1);
    dc.DrawLine(nameWidth, top, nameWidth, top + height);
    if (item->invalid) {
        dc.SetBrush(wxBrush(*wxRED));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawRectangle(0, top, 4, height);
    }
    wxColour text = highlighted
                        ? System(wxSYS_COLOUR_HIGHLIGHTTEXT)
                        : System(item->editable ? wxSYS_COLOUR_WINDOWTEXT : wxSYS_COLOUR_GRAYTEXT);
    if (item->invalid && !highlighted) {
        text = *wxRED;
    }
    dc.SetFont(font_);
    dc.SetTextForeground(text);
    dc.SetClippingRegion(0, top, nameWidth - 2, height);
    dc.DrawText(wxControl::Ellipsize(Wide(item->name), dc, wxELLIPSIZE_END, nameWidth - 14), 12,
                top + 2);
    dc.DestroyClippingRegion();
    DrawValue(dc, *item, top, text);
}

void PropertyGridWindow::DrawSection(wxDC& dc, const PropertyGridRow& row, int top, bool focused) {
    const PropertyGridSection* section = grid_.FindSection(row.id);
    dc.SetBrush(wxBrush(focused ? System(wxSYS_COLOUR_HIGHLIGHT) : System(wxSYS_COLOUR_BTNFACE)));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(0, top, GetClientSize().GetWidth(), RowHeight());
    dc.SetFont(boldFont_);
    dc.SetTextForeground(System(focused ? wxSYS_COLOUR_HIGHLIGHTTEXT : wxSYS_COLOUR_WINDOWTEXT));
    dc.DrawText(section != nullptr ? Wide(section->title) : wxString(), 4, top + 2);
}

void PropertyGridWindow::DrawValue(wxDC& dc, const PropertyGridItem& item, int top,
                                   const wxColour& text) {
    const int height = RowHeight();
    int left = NameWidth() + 4;
    const int right = GetClientSize().GetWidth() - 4;
    dc.SetClippingRegion(NameWidth() + 1, top, right - NameWidth(), height);
    if (item.kind == GridItemKind::kColor && !item.undefined) {
        const GridColor& colour = item.colorValue;
        dc.SetBrush(wxBrush(wxColour(colour.red, colour.green, colour.blue)));
        dc.SetPen(wxPen(text));
        dc.DrawRectangle(left, top + 3, height - 6, height - 6);
        left += height - 2;
    }
    // The hint stands at the right while there is room for it beside a
    // short part of the value; the value gives way to it with an ellipsis.
    int valueRight = right;
    if (!item.hint.empty()) {
        dc.SetFont(font_);
        const wxString hint = Wide(item.hint);
        const int hintWidth = dc.GetTextExtent(hint).GetWidth();
        if (right - hintWidth - 8 > left + 3 * RowHeight()) {
            dc.SetTextForeground(
                text == System(wxSYS_COLOUR_HIGHLIGHTTEXT) ? text : System(wxSYS_COLOUR_GRAYTEXT));
            dc.DrawText(hint, right - hintWidth, top + 2);
            valueRight = right - hintWidth - 8;
        }
    }
    dc.SetFont(item.differsFromDefault ? boldFont_ : font_);
    dc.SetTextForeground(text);
    dc.DrawText(
        wxControl::Ellipsize(Wide(grid_.CellText(item.id)), dc, wxELLIPSIZE_END, valueRight - left),
        left, top + 2);
    dc.DestroyClippingRegion();
}

void PropertyGridWindow::OnSize(wxSizeEvent& event) {
    // A sizer lays the grid out again whenever a child appears, an editor
    // included: only a real change of size ends an edit.
    if (event.GetSize() != laidOutSize_) {
        laidOutSize_ = event.GetSize();
        CloseEditors();
    }
    UpdateVirtualSize();
    Refresh();
    event.Skip();
}

void PropertyGridWindow::OnMotion(wxMouseEvent& event) {
    const int row = RowAt(event.GetPosition());
    if (row == toolTipRow_) {
        return;
    }
    toolTipRow_ = row;
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    if (row < 0 || rows[static_cast<size_t>(row)].isSection) {
        UnsetToolTip();
        return;
    }
    SetToolTip(Wide(grid_.ToolTipText(rows[static_cast<size_t>(row)].id)));
}

void PropertyGridWindow::OnLeftDown(wxMouseEvent& event) {
    SetFocus();
    const int row = RowAt(event.GetPosition());
    if (row < 0) {
        return;
    }
    CloseEditors();
    grid_.FocusRow(static_cast<size_t>(row));
    if (event.GetX() > NameWidth()) {
        StartEdit(static_cast<size_t>(row));
    }
}

void PropertyGridWindow::OnKeyDown(wxKeyEvent& event) {
    const int page = std::max(1, GetClientSize().GetHeight() / RowHeight() - 1);
    const int rows = static_cast<int>(grid_.Rows().size());
    switch (event.GetKeyCode()) {
        case WXK_UP:
            grid_.MoveFocus(-1);
            return;
        case WXK_DOWN:
            grid_.MoveFocus(1);
            return;
        case WXK_PAGEUP:
            grid_.MoveFocus(-page);
            return;
        case WXK_PAGEDOWN:
            grid_.MoveFocus(page);
            return;
        case WXK_HOME:
            grid_.MoveFocus(-rows);
            return;
        case WXK_END:
            grid_.MoveFocus(rows);
            return;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
        case WXK_F2:
            if (const std::optional<size_t> focused = grid_.FocusedRowIndex()) {
                StartEdit(*focused);
            }
            return;
        case WXK_DELETE:
        case WXK_NUMPAD_DELETE:
            grid_.ClearItem(grid_.GetFocusedItem());
            return;
        case WXK_TAB:
            Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward
                                       : wxNavigationKeyEvent::IsForward);
            return;
        default:
            event.Skip();
    }
}

void PropertyGridWindow::OnChar(wxKeyEvent& event) {
    const wxChar typed = event.GetUnicodeKey();
    const std::optional<size_t> focused = grid_.FocusedRowIndex();
    if (typed >= 32 && typed != 127 && focused && !event.HasAnyModifiers()) {
        StartEdit(*focused, typed);
        return;
    }
    event.Skip();
}

void PropertyGridWindow::StartEdit(size_t rowIndex, wxChar typed) {
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    if (rowIndex >= rows.size() || rows[rowIndex].isSection) {
        return;
    }
    const int32_t id = rows[rowIndex].id;
    const PropertyGridItem* item = grid_.FindItem(id);
    if (item == nullptr || !grid_.IsEditable(id)) {
        return;
    }
    ScrollIntoView(rowIndex);
    switch (item->kind) {
        case GridItemKind::kText:
        case GridItemKind::kInteger:
        case GridItemKind::kReal:
            if (const std::optional<std::string> text = grid_.BeginInPlaceEdit(id)) {
                StartTextEdit(rowIndex, id, *text, typed);
            }
            return;
        case GridItemKind::kCombo:
        case GridItemKind::kBool:
            StartChoiceEdit(rowIndex, *item);
            return;
        case GridItemKind::kDate:
            StartDateEdit(rowIndex, *item);
            return;
        default:
            RunModalEditor(*item);
    }
}

void PropertyGridWindow::StartTextEdit(size_t row, int32_t item, const std::string& text,
                                       wxChar typed) {
    CloseEditors();
    editedItem_ = item;
    const wxRect cell = ValueRect(row);
    textEditor_ = new wxTextCtrl(this, wxID_ANY, Wide(text), cell.GetPosition(), cell.GetSize(),
                                 wxTE_PROCESS_ENTER | wxTE_PROCESS_TAB | wxBORDER_NONE);
    textEditor_->SetFont(font_);
    // Enter and Tab end the edit; Escape first puts the starting text back
    // and leaves the value as it was. Handled before the dialog sees them, so
    // Escape does not cancel the whole dialog.
    textEditor_->Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (key == WXK_ESCAPE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER || key == WXK_TAB) {
            FinishTextEdit(key == WXK_ESCAPE);
            return;
        }
        event.Skip();
    });
    textEditor_->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        event.Skip();
        FinishTextEdit(false);
    });
    textEditor_->SetFocus();
    if (typed != 0) {
        textEditor_->ChangeValue(wxString(typed));
        textEditor_->SetInsertionPointEnd();
    } else {
        textEditor_->SelectAll();
    }
}

void PropertyGridWindow::FinishTextEdit(bool cancel) {
    if (textEditor_ == nullptr) {
        return;
    }
    wxTextCtrl* editor = textEditor_;
    textEditor_ = nullptr;
    editedItem_ = -1;
    const std::string text = Narrow(editor->GetValue());
    // The edit ends at once, so that keys pressed next reach the grid; the
    // control goes later, as this may run inside one of its own handlers.
    editor->Hide();
    SetFocus();
    CallAfter([editor] { editor->Destroy(); });
    // The grid tells the page, which validates and may change other items.
    if (cancel) {
        grid_.CancelInPlaceEdit();
    } else {
        grid_.EndInPlaceEdit(text);
    }
    Refresh();
}

void PropertyGridWindow::StartChoiceEdit(size_t row, const PropertyGridItem& item) {
    CloseEditors();
    editedItem_ = item.id;
    wxArrayString choices;
    int selected = 0;
    if (item.kind == GridItemKind::kBool) {
        choices.Add("True");
        choices.Add("False");
        selected = item.boolValue ? 0 : 1;
    } else {
        for (const std::string& option : item.options) {
            choices.Add(Wide(option));
        }
        selected = static_cast<int>(item.intValue);
    }
    // Drawn by the toolkit's generic code, so it takes the row's height
    // exactly instead of the taller native one.
    const wxRect cell = ValueRect(row);
    choiceEditor_ = new wxOwnerDrawnComboBox(this, wxID_ANY, wxString(), cell.GetPosition(),
                                             cell.GetSize(), choices, wxCB_READONLY);
    choiceEditor_->SetFont(font_);
    if (selected >= 0 && selected < static_cast<int>(choices.size())) {
        choiceEditor_->SetSelection(selected);
    }
    choiceStart_ = choiceEditor_->GetSelection();
    // The list closing ends the edit, whether a choice or Escape closed it:
    // one Escape leaves both the list and the edit.
    choiceEditor_->Bind(wxEVT_COMBOBOX_CLOSEUP, [this](wxCommandEvent&) {
        CallAfter([this] {
            if (choiceEditor_ != nullptr) {
                const int chosen = choiceEditor_->GetSelection();
                FinishChoiceEdit(chosen != choiceStart_ ? chosen : -1);
            }
        });
    });
    choiceEditor_->Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE) {
            CallAfter([this] { FinishChoiceEdit(-1); });
            return;
        }
        event.Skip();
    });
    choiceEditor_->SetFocus();
    choiceEditor_->Popup();
}

void PropertyGridWindow::FinishChoiceEdit(int index) {
    if (choiceEditor_ == nullptr) {
        return;
    }
    const int32_t item = editedItem_;
    wxOwnerDrawnComboBox* editor = choiceEditor_;
    choiceEditor_ = nullptr;
    editedItem_ = -1;
    editor->Hide();
    SetFocus();
    CallAfter([editor] { editor->Destroy(); });
    if (index >= 0) {
        grid_.EndChoiceEdit(item, index);
    }
    Refresh();
}

void PropertyGridWindow::StartDateEdit(size_t row, const PropertyGridItem& item) {
    CloseEditors();
    editedItem_ = item.id;
    const GridDateTime& value = item.dateValue;
    const wxDateTime start(static_cast<wxDateTime::wxDateTime_t>(value.day),
                           static_cast<wxDateTime::Month>(value.month - 1), value.year);
    const wxRect cell = ValueRect(row);
    dateEditor_ = new wxCalendarCtrl(this, wxID_ANY, start, cell.GetBottomLeft());
    dateEditor_->Bind(wxEVT_CALENDAR_DOUBLECLICKED,
                      [this](wxCalendarEvent&) { CallAfter([this] { FinishDateEdit(true); }); });
    dateEditor_->Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (key == WXK_ESCAPE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
            const bool apply = key != WXK_ESCAPE;
            CallAfter([this, apply] { FinishDateEdit(apply); });
            return;
        }
        event.Skip();
    });
    dateEditor_->SetFocus();
}

void PropertyGridWindow::FinishDateEdit(bool apply) {
    if (dateEditor_ == nullptr) {
        return;
    }
    const wxDateTime chosen = dateEditor_->GetDate();
    const int32_t item = editedItem_;
    dateEditor_->Destroy();
    dateEditor_ = nullptr;
    editedItem_ = -1;
    SetFocus();
    const PropertyGridItem* current = grid_.FindItem(item);
    if (apply && current != nullptr) {
        GridDateTime value = current->dateValue;
        value.year = chosen.GetYear();
        value.month = static_cast<int32_t>(chosen.GetMonth()) + 1;
        value.day = chosen.GetDay();
        grid_.EndDateEdit(item, value);
    }
    Refresh();
}

void PropertyGridWindow::RunModalEditor(const PropertyGridItem& item) {
    CloseEditors();
    const int32_t id = item.id;
    switch (item.kind) {
        case GridItemKind::kMultiLineText: {
            std::string value = item.textValue;
            if (EditMultiLineText(this, item.name, value)) {
                grid_.EndTextEdit(id, value);
            }
            return;
        }
        case GridItemKind::kDateTime: {
            GridDateTime value = item.dateValue;
            if (EditDateTime(this, item.name, value)) {
                grid_.EndDateEdit(id, value);
            }
            return;
        }
        case GridItemKind::kFile: {
            const wxFileName current(Wide(item.textValue));
            wxFileDialog dialog(
                this, Wide(item.name), Wide(grid_.ChooserFolder(id)), current.GetFullName(),
                FileDialogFilter(item.options.empty() ? "" : item.options[0]), wxFD_OPEN);
            if (dialog.ShowModal() == wxID_OK) {
                grid_.EndTextEdit(id, Narrow(dialog.GetPath()));
            }
            return;
        }
        case GridItemKind::kFolder: {
            const std::string title = item.options.empty() || item.options[0].empty()
                                          ? "Choose a directory"
                                          : item.options[0];
            wxDirDialog dialog(this, Wide(title), Wide(grid_.ChooserFolder(id)));
            if (dialog.ShowModal() == wxID_OK) {
                grid_.EndTextEdit(id, Narrow(dialog.GetPath()));
            }
            return;
        }
        case GridItemKind::kColor: {
            wxColourData data;
            data.SetColour(
                wxColour(item.colorValue.red, item.colorValue.green, item.colorValue.blue));
            wxColourDialog dialog(this, &data);
            if (dialog.ShowModal() == wxID_OK) {
                const wxColour chosen = dialog.GetColourData().GetColour();
                grid_.EndColorEdit(id, GridColor{chosen.Red(), chosen.Green(), chosen.Blue()});
            }
            return;
        }
        case GridItemKind::kFont: {
            wxFontData data;
            data.SetInitialFont(ToFont(item.fontValue, font_));
            data.EnableEffects(true);
            wxFontDialog dialog(this, data);
            if (dialog.ShowModal() == wxID_OK) {
                grid_.EndFontEdit(id, FromFont(dialog.GetFontData().GetChosenFont()));
            }
            return;
        }
        case GridItemKind::kCustom:
            grid_.EndCustomEdit(id);
            return;
        default:
            return;
    }
}

void PropertyGridWindow::CommitEdit() {
    CloseEditors();
}

void PropertyGridWindow::CloseEditors() {
    FinishTextEdit(false);
    FinishChoiceEdit(-1);
    FinishDateEdit(false);
}
