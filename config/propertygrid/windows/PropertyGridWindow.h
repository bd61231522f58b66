#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>

#include "config/propertygrid/CPropertyGrid.h"

// The grid drawn in a window of the project's own class: two columns (name,
// value) under section titles, the focused row highlighted, read-only items
// greyed, values that are not their default in bold, the item that failed its
// check in red, each row's hint (range and unit) at the right of its value and
// its whole story in a tooltip. A click on the value of an editable item,
// Enter, F2 or a typed character opens the item's editor; Delete empties a
// path; the arrow, page, Home and End keys move the focus; the wheel and the
// scroll bar scroll. The grid model decides everything: this window only shows
// it and hands it the user's input. Bound to the thread that created it (the
// dialog's); the model is borrowed and outlives the window.
class PropertyGridWindow : public PropertyGridView {
  public:
    // The in-place edit box hands its text to the grid with this message,
    // posted, so that no editor is destroyed inside one of its own handlers.
    static constexpr UINT kEndEditMessage = WM_USER + 0x1E8;

    // Takes the place of `placeholder`, a control of a dialog: its rectangle,
    // its ID and its place in the tab order. The placeholder is destroyed.
    PropertyGridWindow(HWND placeholder, CPropertyGrid& grid);
    ~PropertyGridWindow() override;
    PropertyGridWindow(const PropertyGridWindow&) = delete;
    PropertyGridWindow& operator=(const PropertyGridWindow&) = delete;

    HWND Handle() const { return window_; }
    void Repaint() override;
    void ScrollIntoView(size_t row) override;
    // Ends an open in-place edit as Enter would, so that a value being typed
    // is not lost when the sheet is confirmed from the keyboard.
    void CommitEdit();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR kind, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnEditorKey(HWND editor, UINT_PTR kind, WPARAM key);

    void CreateFonts(HWND parent);
    int RowHeight() const { return rowHeight_; }
    int NameWidth() const;
    int VisibleRows() const;
    // The row under a point of the client area, or -1.
    int RowAt(int y) const;
    RECT ValueRect(size_t row) const;
    void UpdateScrollBar();
    void ScrollTo(int firstRow);
    void OnScroll(WPARAM request);
    void OnSize(LPARAM size);

    void Paint();
    void DrawRow(HDC dc, const PropertyGridRow& row, const RECT& box, bool focused);
    void DrawItem(HDC dc, const PropertyGridItem& item, const RECT& box, bool focused);
    void DrawValue(HDC dc, const PropertyGridItem& item, RECT value, COLORREF text,
                   COLORREF hintText);
    void CreateToolTip();
    void LayOutToolTips();
    void FillToolTip(NMTTDISPINFOW& request);
    void OnLeftDown(int x, int y);
    bool OnKeyDown(WPARAM key);

    // Opens the editor of a row's item, if it has one. `typed` is a
    // character that starts an in-place edit with itself.
    void StartEdit(size_t row, wchar_t typed = 0);
    void StartTextEdit(size_t row, int32_t item, const std::string& text, wchar_t typed);
    void FinishTextEdit();
    void StartChoiceEdit(size_t row, const PropertyGridItem& item);
    void FinishChoiceEdit(int index);
    void StartDateEdit(size_t row, const PropertyGridItem& item);
    void FinishDateEdit(bool apply);
    void RunModalEditor(const PropertyGridItem& item);
    void EditFile(const PropertyGridItem& item);
    void EditFolder(const PropertyGridItem& item);
    void EditColor(const PropertyGridItem& item);
    void EditFont(const PropertyGridItem& item);
    HWND CreateEditor(const wchar_t* windowClass, DWORD style, const RECT& box, UINT_PTR kind);
    void CloseEditors();

    CPropertyGrid& grid_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    // Fonts this window made and so deletes; the parent's font is borrowed.
    bool ownsFont_ = false;
    int rowHeight_ = 16;
    int firstRow_ = 0;
    SIZE size_{0, 0};
    // The open editor (at most one), a child of this window, and its item.
    HWND textEditor_ = nullptr;
    HWND choiceEditor_ = nullptr;
    HWND dateEditor_ = nullptr;
    int32_t editedItem_ = -1;
    std::wstring editStartText_;
    // The rows' tooltip: one tool per row in sight, and the text it shows.
    HWND toolTip_ = nullptr;
    UINT_PTR toolSlots_ = 0;
    std::wstring toolTipText_;
};
