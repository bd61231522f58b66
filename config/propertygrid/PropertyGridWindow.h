#pragma once

#include <wx/calctrl.h>
#include <wx/scrolwin.h>

#include <cstdint>

#include "config/propertygrid/CPropertyGrid.h"

class wxOwnerDrawnComboBox;
class wxTextCtrl;

// The grid drawn in a window: two columns (name, value) under section titles,
// the focused row highlighted, read-only items greyed, values that are not
// their default in bold, the item that failed its check in red, each row's
// hint (range and unit) at the right of its value and its whole story in a
// tooltip. A click on the value of an editable item, Enter or F2 opens the
// item's editor; the arrow keys move the focus; Delete empties a path. The grid model decides
// everything: this window only shows it and hands it the user's input. Lives on the toolkit's
// thread; the model is borrowed and outlives the window.
// Bound to the toolkit's thread.
class PropertyGridWindow : public wxScrolledCanvas, public PropertyGridView {
  public:
    PropertyGridWindow(wxWindow* parent, wxWindowID id, CPropertyGrid& grid);
    ~PropertyGridWindow() override;

    void Repaint() override;
    void ScrollIntoView(size_t row) override;

    // Ends an open in-place edit as Enter would, so that a value being typed
    // is not lost when the dialog is confirmed from the keyboard.
    void CommitEdit();

  private:
    int RowHeight() const;
    int NameWidth() const;
    // The row under a point in window coordinates, or -1.
    int RowAt(const wxPoint& point) const;
    wxRect ValueRect(size_t row) const;
    void UpdateVirtualSize();

    void OnPaint(wxPaintEvent& event);
    void DrawRow(wxDC& dc, const PropertyGridRow& row, int top, bool focused);
    void DrawSection(wxDC& dc, const PropertyGridRow& row, int top, bool focused);
    void DrawValue(wxDC& dc, const PropertyGridItem& item, int top, const wxColour& text);
    void OnMotion(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnChar(wxKeyEvent& event);
    void OnSize(wxSizeEvent& event);

    // Opens the editor of the focused row's item, if it has one. `typed` is a
    // character that starts an in-place edit with itself.
    void StartEdit(size_t row, wxChar typed = 0);
    void StartTextEdit(size_t row, int32_t item, const std::string& text, wxChar typed);
    void FinishTextEdit(bool cancel);
    void StartChoiceEdit(size_t row, const PropertyGridItem& item);
    void FinishChoiceEdit(int index);
    void StartDateEdit(size_t row, const PropertyGridItem& item);
    void FinishDateEdit(bool apply);
    void RunModalEditor(const PropertyGridItem& item);
    void CloseEditors();

    CPropertyGrid& grid_;
    wxFont font_;
    wxFont boldFont_;
    // The open in-place editor (at most one), a child of this window.
    wxTextCtrl* textEditor_ = nullptr;
    wxOwnerDrawnComboBox* choiceEditor_ = nullptr;
    int choiceStart_ = -1;
    wxCalendarCtrl* dateEditor_ = nullptr;
    int32_t editedItem_ = -1;
    // What the last size event found, so that a layout that keeps the size
    // leaves an open edit alone.
    wxSize laidOutSize_;
    int toolTipRow_ = -1;
};
