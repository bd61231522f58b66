#include "config/propertygrid/windows/PropertyGridWindow.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "config/propertygrid/windows/GridEditorDialogs.h"
#include "config/propertygrid/windows/WideText.h"
#include "platform/ModuleState.h"

namespace {

const wchar_t* const kClassName = L"VaveZAZPropertyGrid";
constexpr UINT kEndChoiceMessage = WM_APP + 1;
constexpr UINT kEndDateMessage = WM_APP + 2;
constexpr int kEditorId = 1;
constexpr UINT_PTR kTextEditor = 1;
constexpr UINT_PTR kChoiceEditor = 2;
constexpr UINT_PTR kDateEditor = 3;
// Values that failed the owner's check, in the row's bar and text.
constexpr COLORREF kInvalidColour = RGB(255, 0, 0);
// Wide enough for a description to wrap into a few readable lines.
constexpr int kToolTipWidth = 480;

// The class is registered in the driver's module while it is loaded; a class
// left behind by an unloaded module would point at code that is gone.
class GridWindowClass {
  public:
    explicit GridWindowClass(HINSTANCE module, WNDPROC procedure) : module_(module) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = module;
        windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        windowClass.lpszClassName = kClassName;
        ::RegisterClassExW(&windowClass);
    }
    ~GridWindowClass() { ::UnregisterClassW(kClassName, module_); }
    GridWindowClass(const GridWindowClass&) = delete;
    GridWindowClass& operator=(const GridWindowClass&) = delete;

  private:
    HINSTANCE module_;
};

HINSTANCE Module() {
    return static_cast<HINSTANCE>(platform::CurrentResourceModule());
}

COLORREF System(int colour) {
    return ::GetSysColor(colour);
}

void FillWith(HDC dc, const RECT& box, COLORREF colour) {
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
}

void Fill(HDC dc, const RECT& box, int colour) {
    FillWith(dc, box, System(colour));
}

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}

// The tooltip's description of one of the grid's tools; the size of the
// structure every version of the common controls takes.
TTTOOLINFOW Tool(HWND window, UINT_PTR slot) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window;
    tool.uId = slot;
    return tool;
}

void DrawTextIn(HDC dc, const std::wstring& text, RECT box) {
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// "Description (*.ext)|*.ext||" as the file dialog wants it: each part ended
// by a null, the whole by two.
std::wstring FileDialogFilter(const std::string& filter) {
    std::wstring pairs = Wide(filter.empty() ? "All files (*.*)|*.*||" : filter);
    std::replace(pairs.begin(), pairs.end(), L'|', L'\0');
    return pairs + L'\0';
}

std::wstring FileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return Wide(separator == std::string::npos ? path : path.substr(separator + 1));
}

// The folder browser opens on the folder it is given.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM folder) {
    if (message == BFFM_INITIALIZED && folder != 0) {
        ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, folder);
    }
    return 0;
}

}  // namespace

PropertyGridWindow::PropertyGridWindow(HWND placeholder, CPropertyGrid& grid) : grid_(grid) {
    static GridWindowClass windowClass(Module(), &PropertyGridWindow::WindowProc);
    HWND parent = ::GetParent(placeholder);
    RECT box{};
    ::GetWindowRect(placeholder, &box);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    const int id = ::GetDlgCtrlID(placeholder);
    CreateFonts(parent);
    window_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL, box.left, box.top,
                                box.right - box.left, box.bottom - box.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(), this);
    ::SetWindowPos(window_, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::DestroyWindow(placeholder);
    CreateToolTip();
    grid_.SetView(this);
    UpdateScrollBar();
}

PropertyGridWindow::~PropertyGridWindow() {
    grid_.SetView(nullptr);
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
    // Owned by the sheet, not by this window: it goes with the sheet unless
    // it goes first.
    if (::IsWindow(toolTip_)) {
        ::DestroyWindow(toolTip_);
    }
    if (ownsFont_) {
        ::DeleteObject(font_);
    }
    ::DeleteObject(boldFont_);
}

void PropertyGridWindow::CreateFonts(HWND parent) {
    font_ = reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0));
    HDC screen = ::GetDC(nullptr);
    LOGFONTW description{};
    if (font_ == nullptr || ::GetObjectW(font_, sizeof(description), &description) == 0) {
        description = LOGFONTW{};
        description.lfHeight = -::MulDiv(85, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
        description.lfWeight = FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynW(description.lfFaceName, L"Tahoma", LF_FACESIZE);
        font_ = ::CreateFontIndirectW(&description);
        ownsFont_ = true;
    }
    description.lfWeight = FW_BOLD;
    boldFont_ = ::CreateFontIndirectW(&description);
    HGDIOBJ previous = ::SelectObject(screen, font_);
    SIZE text{};
    ::GetTextExtentPoint32W(screen, L"Gg", 2, &text);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    rowHeight_ = text.cy + 4;
}

LRESULT CALLBACK PropertyGridWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<PropertyGridWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<PropertyGridWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        self->window_ = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT PropertyGridWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && toolTip_ != nullptr) {
        MSG mouse{window_, message, wParam, lParam, 0, {0, 0}};
        ::SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&mouse));
    }
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETDLGCODE: {
            // Arrows and characters move and edit; Enter opens the editor
            // rather than pressing the sheet's default button. Tab and
            // Escape stay the dialog's.
            const MSG* pending = reinterpret_cast<const MSG*>(lParam);
            const bool enter = pending != nullptr && pending->message == WM_KEYDOWN &&
                               pending->wParam == VK_RETURN;
            return DLGC_WANTARROWS | DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(window_, nullptr, FALSE);
            return 0;
        case WM_SIZE:
            OnSize(lParam);
            return 0;
        case WM_VSCROLL:
            OnScroll(wParam);
            return 0;
        case WM_MOUSEWHEEL:
            ScrollTo(firstRow_ - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnLeftDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_KEYDOWN:
            if (OnKeyDown(wParam)) {
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam >= 32 && wParam != 127) {
                if (const std::optional<size_t> focused = grid_.FocusedRowIndex()) {
                    StartEdit(*focused, static_cast<wchar_t>(wParam));
                }
            }
            return 0;
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == choiceEditor_ && choiceEditor_ != nullptr) {
                const WORD code = HIWORD(wParam);
                if (code == CBN_SELENDOK) {
                    const LRESULT index = ::SendMessageW(choiceEditor_, CB_GETCURSEL, 0, 0);
                    ::PostMessageW(window_, kEndChoiceMessage, static_cast<WPARAM>(index), 0);
                } else if (code == CBN_SELENDCANCEL || code == CBN_KILLFOCUS) {
                    ::PostMessageW(window_, kEndChoiceMessage, static_cast<WPARAM>(-1), 0);
                }
            }
            return 0;
        case WM_NOTIFY: {
            const NMHDR* notice = reinterpret_cast<const NMHDR*>(lParam);
            if (notice->code == MCN_SELECT) {
                ::PostMessageW(window_, kEndDateMessage, 1, 0);
            } else if (notice->code == TTN_GETDISPINFOW && notice->hwndFrom == toolTip_) {
                FillToolTip(*reinterpret_cast<NMTTDISPINFOW*>(lParam));
            }
            return 0;
        }
        case kEndEditMessage:
            FinishTextEdit();
            return 0;
        case kEndChoiceMessage:
            FinishChoiceEdit(static_cast<int>(static_cast<INT_PTR>(wParam)));
            return 0;
        case kEndDateMessage:
            FinishDateEdit(wParam != 0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

int PropertyGridWindow::NameWidth() const {
    RECT client{};
    ::GetClientRect(window_, &client);
    return client.right / 2;
}

int PropertyGridWindow::VisibleRows() const {
    RECT client{};
    ::GetClientRect(window_, &client);
    return std::max(1, static_cast<int>(client.bottom) / RowHeight());
}

int PropertyGridWindow::RowAt(int y) const {
    const int row = firstRow_ + y / RowHeight();
    return y >= 0 && row < static_cast<int>(grid_.Rows().size()) ? row : -1;
}

RECT PropertyGridWindow::ValueRect(size_t row) const {
    RECT client{};
    ::GetClientRect(window_, &client);
    const int top = (static_cast<int>(row) - firstRow_) * RowHeight();
    return RECT{NameWidth() + 1, top, client.right, top + RowHeight() - 1};
}

void PropertyGridWindow::UpdateScrollBar() {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = static_cast<int>(grid_.Rows().size()) - 1;
    info.nPage = static_cast<UINT>(VisibleRows());
    info.nPos = firstRow_;
    ::SetScrollInfo(window_, SB_VERT, &info, TRUE);
}

void PropertyGridWindow::ScrollTo(int firstRow) {
    const int rows = static_cast<int>(grid_.Rows().size());
    const int limit = std::max(0, rows - VisibleRows());
    const int target = std::clamp(firstRow, 0, limit);
    if (target == firstRow_) {
        return;
    }
    CloseEditors();
    ::SendMessageW(toolTip_, TTM_POP, 0, 0);
    firstRow_ = target;
    UpdateScrollBar();
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PropertyGridWindow::OnScroll(WPARAM request) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    ::GetScrollInfo(window_, SB_VERT, &info);
    switch (LOWORD(request)) {
        case SB_LINEUP:
            ScrollTo(firstRow_ - 1);
            return;
        case SB_LINEDOWN:
            ScrollTo(firstRow_ + 1);
            return;
        case SB_PAGEUP:
            ScrollTo(firstRow_ - VisibleRows());
            return;
        case SB_PAGEDOWN:
            ScrollTo(firstRow_ + VisibleRows());
            return;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            ScrollTo(info.nTrackPos);
            return;
        case SB_TOP:
            ScrollTo(0);
            return;
        case SB_BOTTOM:
            ScrollTo(static_cast<int>(grid_.Rows().size()));
            return;
        default:
            return;
    }
}

void PropertyGridWindow::OnSize(LPARAM size) {
    // A layout pass that leaves the size as it was must not end an edit
    // being typed; a real change moves the cells, so the editor goes.
    const SIZE now{LOWORD(size), HIWORD(size)};
    if (now.cx != size_.cx || now.cy != size_.cy) {
        CloseEditors();
    }
    size_ = now;
    LayOutToolTips();
    UpdateScrollBar();
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PropertyGridWindow::Repaint() {
    if (window_ == nullptr) {
        return;
    }
    // The filter may have taken rows away under the first one shown.
    const int rows = static_cast<int>(grid_.Rows().size());
    firstRow_ = std::clamp(firstRow_, 0, std::max(0, rows - VisibleRows()));
    UpdateScrollBar();
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PropertyGridWindow::ScrollIntoView(size_t row) {
    const int target = static_cast<int>(row);
    if (target < firstRow_) {
        ScrollTo(target);
    } else if (target >= firstRow_ + VisibleRows()) {
        ScrollTo(target - VisibleRows() + 1);
    }
}

void PropertyGridWindow::Paint() {
    PAINTSTRUCT paint{};
    HDC target = ::BeginPaint(window_, &paint);
    RECT client{};
    ::GetClientRect(window_, &client);
    // Drawn off screen first, so that a repaint does not flicker.
    HDC dc = ::CreateCompatibleDC(target);
    HBITMAP bitmap = ::CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ previousBitmap = ::SelectObject(dc, bitmap);
    HGDIOBJ previousFont = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    Fill(dc, client, COLOR_WINDOW);
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    const std::optional<size_t> focused = grid_.FocusedRowIndex();
    for (size_t row = static_cast<size_t>(firstRow_); row < rows.size(); ++row) {
        const int top = (static_cast<int>(row) - firstRow_) * RowHeight();
        if (top >= client.bottom) {
            break;
        }
        const RECT box{0, top, client.right, top + RowHeight()};
        DrawRow(dc, rows[row], box, focused && *focused == row);
    }
    ::BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, previousFont);
    ::SelectObject(dc, previousBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::EndPaint(window_, &paint);
}

void PropertyGridWindow::DrawRow(HDC dc, const PropertyGridRow& row, const RECT& box,
                                 bool focused) {
    if (!row.isSection) {
        if (const PropertyGridItem* item = grid_.FindItem(row.id)) {
            DrawItem(dc, *item, box, focused);
        }
    } else {
        const PropertyGridSection* section = grid_.FindSection(row.id);
        Fill(dc, box, focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
        ::SelectObject(dc, boldFont_);
        ::SetTextColor(dc, System(focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        DrawTextIn(dc, section != nullptr ? Wide(section->title) : std::wstring(),
                   RECT{box.left + 4, box.top, box.right - 4, box.bottom});
        ::SelectObject(dc, font_);
    }
    if (focused && ::GetFocus() == window_) {
        ::DrawFocusRect(dc, &box);
    }
}

void PropertyGridWindow::DrawItem(HDC dc, const PropertyGridItem& item, const RECT& box,
                                  bool focused) {
    const int nameWidth = NameWidth();
    // A focused item that cannot be edited keeps its grey text on a quiet,
    // framed background, so the focus never suggests an edit.
    const bool highlighted = focused && item.editable;
    if (focused) {
        Fill(dc, box, highlighted ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    }
    const RECT bottom{box.left, box.bottom - 1, box.right, box.bottom};
    const RECT divider{nameWidth, box.top, nameWidth + 1, box.bottom};
    Fill(dc, bottom, COLOR_BTNFACE);
    Fill(dc, divider, COLOR_BTNFACE);
    if (focused && !highlighted) {
        // Inside the dotted focus mark, which is drawn over the row's edge.
        const RECT frame{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
        ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    COLORREF text = System(highlighted     ? COLOR_HIGHLIGHTTEXT
                           : item.editable ? COLOR_WINDOWTEXT
                                           : COLOR_GRAYTEXT);
    if (item.invalid && !highlighted) {
        text = kInvalidColour;
    }
    if (item.invalid) {
        FillWith(dc, RECT{box.left, box.top, box.left + 4, box.bottom}, kInvalidColour);
    }
    ::SetTextColor(dc, text);
    DrawTextIn(dc, Wide(item.name), RECT{box.left + 12, box.top, nameWidth - 2, box.bottom});
    // Grey is lost on the highlight: there the hint takes the row's colour.
    const COLORREF hint = highlighted ? text : System(COLOR_GRAYTEXT);
    DrawValue(dc, item, RECT{nameWidth + 4, box.top, box.right - 4, box.bottom}, text, hint);
}

void PropertyGridWindow::DrawValue(HDC dc, const PropertyGridItem& item, RECT value, COLORREF text,
                                   COLORREF hintText) {
    if (item.kind == GridItemKind::kColor && !item.undefined) {
        const int side = RowHeight() - 6;
        HBRUSH swatch = ::CreateSolidBrush(
            RGB(item.colorValue.red, item.colorValue.green, item.colorValue.blue));
        const RECT square{value.left, value.top + 3, value.left + side, value.top + 3 + side};
        ::FillRect(dc, &square, swatch);
        ::FrameRect(dc, &square, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::DeleteObject(swatch);
        value.left += side + 4;
    }
    // The hint stands at the right while there is room for it beside a
    // short part of the value; the value gives way to it with an ellipsis.
    const std::wstring hint = Wide(item.hint);
    const int hintWidth = hint.empty() ? 0 : TextWidth(dc, hint);
    if (hintWidth > 0 && value.right - hintWidth - 8 > value.left + 3 * RowHeight()) {
        ::SetTextColor(dc, hintText);
        DrawTextIn(dc, hint, RECT{value.right - hintWidth, value.top, value.right, value.bottom});
        value.right -= hintWidth + 8;
    }
    ::SelectObject(dc, item.differsFromDefault ? boldFont_ : font_);
    ::SetTextColor(dc, text);
    DrawTextIn(dc, Wide(grid_.CellText(item.id)), value);
    ::SelectObject(dc, font_);
}

void PropertyGridWindow::CreateToolTip() {
    toolTip_ =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, Module(), nullptr);
    // A width makes the tooltip take several lines: one per part of the
    // text, long descriptions wrapped.
    ::SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, kToolTipWidth);
    LayOutToolTips();
}

void PropertyGridWindow::LayOutToolTips() {
    if (toolTip_ == nullptr) {
        return;
    }
    // One tool per row in sight: moving to another row moves to another
    // tool, which the tooltip asks for its own text.
    for (UINT_PTR slot = 0; slot < toolSlots_; ++slot) {
        TTTOOLINFOW tool = Tool(window_, slot);
        ::SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    RECT client{};
    ::GetClientRect(window_, &client);
    toolSlots_ = static_cast<UINT_PTR>(VisibleRows()) + 1;
    for (UINT_PTR slot = 0; slot < toolSlots_; ++slot) {
        TTTOOLINFOW tool = Tool(window_, slot);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        const int top = static_cast<int>(slot) * RowHeight();
        tool.rect = RECT{0, top, client.right, top + RowHeight()};
        ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void PropertyGridWindow::FillToolTip(NMTTDISPINFOW& request) {
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    const size_t row = static_cast<size_t>(firstRow_) + request.hdr.idFrom;
    const bool item = row < rows.size() && !rows[row].isSection;
    toolTipText_ = item ? Wide(grid_.ToolTipText(rows[row].id)) : std::wstring();
    request.lpszText = toolTipText_.data();
}

void PropertyGridWindow::OnLeftDown(int x, int y) {
    ::SetFocus(window_);
    const int row = RowAt(y);
    if (row < 0) {
        return;
    }
    CloseEditors();
    grid_.FocusRow(static_cast<size_t>(row));
    if (x > NameWidth()) {
        StartEdit(static_cast<size_t>(row));
    }
}

bool PropertyGridWindow::OnKeyDown(WPARAM key) {
    const int page = std::max(1, VisibleRows() - 1);
    const int rows = static_cast<int>(grid_.Rows().size());
    switch (key) {
        case VK_UP:
            grid_.MoveFocus(-1);
            return true;
        case VK_DOWN:
            grid_.MoveFocus(1);
            return true;
        case VK_PRIOR:
            grid_.MoveFocus(-page);
            return true;
        case VK_NEXT:
            grid_.MoveFocus(page);
            return true;
        case VK_HOME:
            grid_.MoveFocus(-rows);
            return true;
        case VK_END:
            grid_.MoveFocus(rows);
            return true;
        case VK_RETURN:
        case VK_F2:
            if (const std::optional<size_t> focused = grid_.FocusedRowIndex()) {
                StartEdit(*focused);
            }
            return true;
        case VK_DELETE:
            // Only a row in sight: a filtered-out item keeps its path.
            if (grid_.FocusedRowIndex()) {
                grid_.ClearItem(grid_.GetFocusedItem());
            }
            return true;
        default:
            return false;
    }
}

void PropertyGridWindow::StartEdit(size_t rowIndex, wchar_t typed) {
    // One editor at a time: the one open ends, and tells the model, before
    // another edit starts.
    CloseEditors();
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

HWND PropertyGridWindow::CreateEditor(const wchar_t* windowClass, DWORD style, const RECT& box,
                                      UINT_PTR kind) {
    HWND editor = ::CreateWindowExW(0, windowClass, L"", WS_CHILD | WS_VISIBLE | style, box.left,
                                    box.top, box.right - box.left, box.bottom - box.top, window_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorId)),
                                    Module(), nullptr);
    ::SendMessageW(editor, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ::SetWindowSubclass(editor, &PropertyGridWindow::EditorProc, kind,
                        reinterpret_cast<DWORD_PTR>(this));
    return editor;
}

void PropertyGridWindow::StartTextEdit(size_t row, int32_t item, const std::string& text,
                                       wchar_t typed) {
    editedItem_ = item;
    editStartText_ = Wide(text);
    textEditor_ = CreateEditor(L"EDIT", ES_AUTOHSCROLL, ValueRect(row), kTextEditor);
    ::SetFocus(textEditor_);
    if (typed != 0) {
        const wchar_t first[2] = {typed, L'\0'};
        ::SetWindowTextW(textEditor_, first);
        ::SendMessageW(textEditor_, EM_SETSEL, 1, 1);
    } else {
        ::SetWindowTextW(textEditor_, editStartText_.c_str());
        ::SendMessageW(textEditor_, EM_SETSEL, 0, -1);
    }
}

LRESULT CALLBACK PropertyGridWindow::EditorProc(HWND editor, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR kind, DWORD_PTR self) {
    auto* grid = reinterpret_cast<PropertyGridWindow*>(self);
    switch (message) {
        case WM_GETDLGCODE:
            // The editor takes Enter, Tab and Escape itself, before the
            // sheet would close or move on.
            return DLGC_WANTALLKEYS | ::DefSubclassProc(editor, message, wParam, lParam);
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_TAB || wParam == VK_ESCAPE) {
                return grid->OnEditorKey(editor, kind, wParam);
            }
            break;
        case WM_CHAR:
            if (kind == kTextEditor && (wParam == L'\r' || wParam == L'\t' || wParam == 27)) {
                return 0;
            }
            break;
        case WM_KILLFOCUS:
            if (kind == kTextEditor) {
                ::PostMessageW(grid->window_, kEndEditMessage, 0, 0);
            } else if (kind == kDateEditor) {
                ::PostMessageW(grid->window_, kEndDateMessage, 0, 0);
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(editor, &PropertyGridWindow::EditorProc, kind);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(editor, message, wParam, lParam);
}

LRESULT PropertyGridWindow::OnEditorKey(HWND editor, UINT_PTR kind, WPARAM key) {
    if (kind == kTextEditor) {
        // Escape puts back the text the edit started with, then ends it as
        // Enter does.
        if (key == VK_ESCAPE) {
            ::SetWindowTextW(editor, editStartText_.c_str());
        }
        ::PostMessageW(window_, kEndEditMessage, 0, 0);
        return 0;
    }
    if (kind == kChoiceEditor) {
        // An open list takes Enter and Escape itself and says what was
        // chosen; a closed one ends here.
        if (::SendMessageW(editor, CB_GETDROPPEDSTATE, 0, 0) != 0) {
            return ::DefSubclassProc(editor, WM_KEYDOWN, key, 0);
        }
        const LRESULT index = key == VK_ESCAPE ? -1 : ::SendMessageW(editor, CB_GETCURSEL, 0, 0);
        ::PostMessageW(window_, kEndChoiceMessage, static_cast<WPARAM>(index), 0);
        return 0;
    }
    if (key != VK_TAB) {
        ::PostMessageW(window_, kEndDateMessage, key == VK_RETURN ? 1 : 0, 0);
    }
    return 0;
}

void PropertyGridWindow::FinishTextEdit() {
    if (textEditor_ == nullptr) {
        return;
    }
    HWND editor = textEditor_;
    textEditor_ = nullptr;
    editedItem_ = -1;
    const std::string text = Narrow(WindowText(editor));
    // The keyboard comes back to the grid only from the editor: when the
    // edit ends because the user went to a button, the button keeps it.
    if (::GetFocus() == editor) {
        ::SetFocus(window_);
    }
    ::DestroyWindow(editor);
    // The grid tells the page, which validates and may change other items.
    grid_.EndInPlaceEdit(text);
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PropertyGridWindow::StartChoiceEdit(size_t row, const PropertyGridItem& item) {
    editedItem_ = item.id;
    std::vector<std::string> choices = item.options;
    int selected = static_cast<int>(item.intValue);
    if (item.kind == GridItemKind::kBool) {
        choices = {"True", "False"};
        selected = item.boolValue ? 0 : 1;
    }
    RECT box = ValueRect(row);
    box.bottom = box.top + RowHeight() * 9;
    choiceEditor_ = CreateEditor(WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL, box, kChoiceEditor);
    // The closed list fits its row.
    ::SendMessageW(choiceEditor_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), RowHeight() - 6);
    for (const std::string& choice : choices) {
        ::SendMessageW(choiceEditor_, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Wide(choice).c_str()));
    }
    if (selected >= 0 && selected < static_cast<int>(choices.size())) {
        ::SendMessageW(choiceEditor_, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }
    ::SetFocus(choiceEditor_);
    ::SendMessageW(choiceEditor_, CB_SHOWDROPDOWN, TRUE, 0);
}

void PropertyGridWindow::FinishChoiceEdit(int index) {
    if (choiceEditor_ == nullptr) {
        return;
    }
    HWND editor = choiceEditor_;
    const int32_t item = editedItem_;
    choiceEditor_ = nullptr;
    editedItem_ = -1;
    if (::GetFocus() == editor) {
        ::SetFocus(window_);
    }
    ::DestroyWindow(editor);
    if (index >= 0) {
        grid_.EndChoiceEdit(item, index);
    }
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PropertyGridWindow::StartDateEdit(size_t row, const PropertyGridItem& item) {
    editedItem_ = item.id;
    dateEditor_ = CreateEditor(MONTHCAL_CLASSW, WS_BORDER, RECT{0, 0, 0, 0}, kDateEditor);
    RECT needed{};
    MonthCal_GetMinReqRect(dateEditor_, &needed);
    RECT client{};
    ::GetClientRect(window_, &client);
    const RECT cell = ValueRect(row);
    const int width = needed.right - needed.left;
    const int height = needed.bottom - needed.top;
    // Under the row when it fits there, else above it; inside the grid.
    int top = cell.bottom + 1;
    if (top + height > client.bottom) {
        top = std::max(0, static_cast<int>(cell.top) - height);
    }
    const int left = std::max(0, static_cast<int>(client.right) - width);
    ::SetWindowPos(dateEditor_, HWND_TOP, std::min(static_cast<int>(cell.left), left), top, width,
                   height, 0);
    SYSTEMTIME start = ToSystemTime(item.dateValue);
    MonthCal_SetCurSel(dateEditor_, &start);
    ::SetFocus(dateEditor_);
}

void PropertyGridWindow::FinishDateEdit(bool apply) {
    if (dateEditor_ == nullptr) {
        return;
    }
    HWND editor = dateEditor_;
    const int32_t item = editedItem_;
    SYSTEMTIME chosen{};
    MonthCal_GetCurSel(editor, &chosen);
    dateEditor_ = nullptr;
    editedItem_ = -1;
    if (::GetFocus() == editor) {
        ::SetFocus(window_);
    }
    ::DestroyWindow(editor);
    const PropertyGridItem* current = grid_.FindItem(item);
    if (apply && current != nullptr) {
        GridDateTime value = current->dateValue;
        value.year = chosen.wYear;
        value.month = chosen.wMonth;
        value.day = chosen.wDay;
        grid_.EndDateEdit(item, value);
    }
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PropertyGridWindow::RunModalEditor(const PropertyGridItem& item) {
    const int32_t id = item.id;
    switch (item.kind) {
        case GridItemKind::kMultiLineText: {
            std::string value = item.textValue;
            if (EditMultiLineText(window_, item.name, value)) {
                grid_.EndTextEdit(id, value);
            }
            return;
        }
        case GridItemKind::kDateTime: {
            GridDateTime value = item.dateValue;
            if (EditDateTime(window_, item.name, value)) {
                grid_.EndDateEdit(id, value);
            }
            return;
        }
        case GridItemKind::kFile:
            EditFile(item);
            return;
        case GridItemKind::kFolder:
            EditFolder(item);
            return;
        case GridItemKind::kColor:
            EditColor(item);
            return;
        case GridItemKind::kFont:
            EditFont(item);
            return;
        case GridItemKind::kCustom:
            grid_.EndCustomEdit(id);
            return;
        default:
            return;
    }
}

void PropertyGridWindow::EditFile(const PropertyGridItem& item) {
    const std::wstring filter = FileDialogFilter(item.options.empty() ? "" : item.options[0]);
    const std::wstring title = Wide(item.name);
    const std::wstring folder = Wide(grid_.ChooserFolder(item.id));
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring current = item.undefined ? std::wstring() : FileNameOf(item.textValue);
    std::copy(current.begin(), current.begin() + std::min(current.size(), file.size() - 1),
              file.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    // The host's working directory is the host's: the dialog leaves it.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (::GetOpenFileNameW(&dialog)) {
        grid_.EndTextEdit(item.id, Narrow(file.data()));
    }
}

void PropertyGridWindow::EditFolder(const PropertyGridItem& item) {
    const std::wstring title = Wide(
        item.options.empty() || item.options[0].empty() ? "Choose a directory" : item.options[0]);
    const std::wstring folder = Wide(grid_.ChooserFolder(item.id));
    // The shell's browser needs COM on this thread; a host that set up
    // COM keeps its own set-up.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t chosen[MAX_PATH] = {};
    BROWSEINFOW browse{};
    browse.hwndOwner = window_;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = &BrowseCallback;
    browse.lParam = folder.empty() ? 0 : reinterpret_cast<LPARAM>(folder.c_str());
    PIDLIST_ABSOLUTE list = ::SHBrowseForFolderW(&browse);
    if (list != nullptr) {
        if (::SHGetPathFromIDListW(list, chosen)) {
            grid_.EndTextEdit(item.id, Narrow(chosen));
        }
        ::CoTaskMemFree(list);
    }
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
}

void PropertyGridWindow::EditColor(const PropertyGridItem& item) {
    static COLORREF customColours[16] = {};
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.rgbResult = RGB(item.colorValue.red, item.colorValue.green, item.colorValue.blue);
    dialog.lpCustColors = customColours;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (::ChooseColorW(&dialog)) {
        grid_.EndColorEdit(item.id,
                           GridColor{GetRValue(dialog.rgbResult), GetGValue(dialog.rgbResult),
                                     GetBValue(dialog.rgbResult)});
    }
}

void PropertyGridWindow::EditFont(const PropertyGridItem& item) {
    HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    LOGFONTW font{};
    const GridFont& current = item.fontValue;
    font.lfHeight = -::MulDiv(current.pointSize > 0 ? current.pointSize : 8, pixelsPerInch, 72);
    font.lfWeight = current.weight;
    font.lfItalic = current.italic;
    font.lfUnderline = current.underline;
    font.lfStrikeOut = current.strikeOut;
    font.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(font.lfFaceName, Wide(current.faceName).c_str(), LF_FACESIZE);
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window_;
    dialog.lpLogFont = &font;
    dialog.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    if (::ChooseFontW(&dialog)) {
        GridFont chosen;
        chosen.faceName = Narrow(font.lfFaceName);
        chosen.pointSize = dialog.iPointSize / 10;
        chosen.weight = font.lfWeight;
        chosen.italic = font.lfItalic != 0;
        chosen.underline = font.lfUnderline != 0;
        chosen.strikeOut = font.lfStrikeOut != 0;
        grid_.EndFontEdit(item.id, chosen);
    }
}

void PropertyGridWindow::CommitEdit() {
    CloseEditors();
}

void PropertyGridWindow::CloseEditors() {
    FinishTextEdit();
    FinishChoiceEdit(-1);
    FinishDateEdit(false);
}
