#include "config/dialog/windows/PropertyPageWindow.h"

#include <commctrl.h>

#include "config/dialog/CSheet1.h"
#include "config/propertygrid/windows/PropertyGridWindow.h"
#include "config/propertygrid/windows/WideText.h"

namespace {

constexpr UINT_PTR kFilterSubclassId = 1;
// The sheet gives the keyboard to the page's first control, the filter box,
// once the page is made: posted, the grid takes it back after that.
constexpr UINT kFocusGridMessage = WM_APP + 1;

// The page whose keys the thread's message filter looks at: a hook carries
// no pointer of its own, and the thread shows one sheet at a time.
thread_local PropertyPageWindow* shownPage = nullptr;

bool IsKeyDown(int key) {
    return (::GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

PropertyPageWindow::PropertyPageWindow(CPropertyGeneral& page, CSheet1& sheet)
    : page_(page), sheet_(sheet) {}

PropertyPageWindow::~PropertyPageWindow() {
    OnDestroy();
}

PROPSHEETPAGEW PropertyPageWindow::Description(HINSTANCE module) {
    PROPSHEETPAGEW description{};
    description.dwSize = sizeof(description);
    description.dwFlags = PSP_DEFAULT;
    description.hInstance = module;
    description.pszTemplate = MAKEINTRESOURCEW(kTemplateId);
    description.pfnDlgProc = &PropertyPageWindow::DialogProc;
    description.lParam = reinterpret_cast<LPARAM>(this);
    return description;
}

INT_PTR CALLBACK PropertyPageWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<PropertyPageWindow*>(
            reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->OnInitDialog(window);
        // The grid is to have the keyboard: the system must not move it.
        return FALSE;
    }
    auto* self = reinterpret_cast<PropertyPageWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_NOTIFY:
            ::SetWindowLongPtrW(window, DWLP_MSGRESULT,
                                self->OnNotify(*reinterpret_cast<const NMHDR*>(lParam)));
            return TRUE;
        case WM_COMMAND:
            return self->OnCommand(wParam) ? TRUE : FALSE;
        case kFocusGridMessage:
            if (self->grid_) {
                ::SetFocus(self->grid_->Handle());
            }
            return TRUE;
        case WM_SIZE:
            if (self->layout_) {
                self->layout_->Resize(LOWORD(lParam), HIWORD(lParam));
            }
            return FALSE;
        case WM_DESTROY:
            self->OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

void PropertyPageWindow::OnInitDialog(HWND window) {
    window_ = window;
    filter_ = ::GetDlgItem(window, kFilterId);
    ::SetWindowSubclass(filter_, &PropertyPageWindow::FilterProc, kFilterSubclassId,
                        reinterpret_cast<DWORD_PTR>(this));
    grid_ = std::make_unique<PropertyGridWindow>(::GetDlgItem(window, kGridId), page_.Grid());
    LayOut();
    shownPage = this;
    keyHook_ = ::SetWindowsHookExW(WH_MSGFILTER, &PropertyPageWindow::KeyFilter, nullptr,
                                   ::GetCurrentThreadId());
    page_.SetView(this);
    page_.OnInitDialog();
    ::PostMessageW(window, kFocusGridMessage, 0, 0);
}

void PropertyPageWindow::OnDestroy() {
    if (keyHook_ != nullptr) {
        ::UnhookWindowsHookEx(keyHook_);
        keyHook_ = nullptr;
        shownPage = nullptr;
    }
    page_.SetView(nullptr);
    layout_.reset();
    grid_.reset();
    filter_ = nullptr;
    window_ = nullptr;
}

void PropertyPageWindow::LayOut() {
    layout_ = std::make_unique<ChildLayout>(window_);
    layout_->Add(filter_, ChildLayout::kWider);
    layout_->Add(grid_->Handle(), ChildLayout::kWider | ChildLayout::kTaller);
    for (int id : {kHelpFrameId, kNameId, kDescriptionId}) {
        layout_->Add(::GetDlgItem(window_, id), ChildLayout::kDown | ChildLayout::kWider);
    }
    layout_->Add(::GetDlgItem(window_, kResetId), ChildLayout::kRight | ChildLayout::kDown);
}

bool PropertyPageWindow::OnCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == kFilterId && code == EN_CHANGE) {
        page_.Grid().SetFilter(Narrow(WindowText(filter_)));
        return true;
    }
    if (id == kResetId && code == BN_CLICKED) {
        Reset();
        return true;
    }
    return false;
}

void PropertyPageWindow::Reset() {
    if (!grid_) {
        return;
    }
    // A value still being typed is taken first, so that the reset is the
    // last word on the item.
    grid_->CommitEdit();
    page_.ResetFocused();
    ::SetFocus(grid_->Handle());
}

LRESULT CALLBACK PropertyPageWindow::FilterProc(HWND filter, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR id, DWORD_PTR self) {
    auto* page = reinterpret_cast<PropertyPageWindow*>(self);
    switch (message) {
        case WM_GETDLGCODE: {
            // Escape and Enter are the box's: the sheet must neither cancel
            // nor press OK.
            const MSG* pending = reinterpret_cast<const MSG*>(lParam);
            const bool own = pending != nullptr && pending->message == WM_KEYDOWN &&
                             (pending->wParam == VK_ESCAPE || pending->wParam == VK_RETURN);
            return (own ? DLGC_WANTMESSAGE : 0) |
                   ::DefSubclassProc(filter, message, wParam, lParam);
        }
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                ::SetWindowTextW(filter, L"");
                return 0;
            }
            if (wParam == VK_RETURN && page->grid_) {
                ::SetFocus(page->grid_->Handle());
                return 0;
            }
            break;
        case WM_CHAR:
            // The keys above make no character of their own: no beep.
            if (wParam == 27 || wParam == L'\r') {
                return 0;
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(filter, &PropertyPageWindow::FilterProc, id);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(filter, message, wParam, lParam);
}

LRESULT CALLBACK PropertyPageWindow::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    PropertyPageWindow* page = shownPage;
    if (code == MSGF_DIALOGBOX && page != nullptr && page->window_ != nullptr &&
        message->message == WM_KEYDOWN && message->wParam == 'F' && IsKeyDown(VK_CONTROL) &&
        !IsKeyDown(VK_MENU) && ::IsChild(page->window_, message->hwnd)) {
        page->FocusFilter();
        return TRUE;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void PropertyPageWindow::FocusFilter() {
    ::SetFocus(filter_);
    ::SendMessageW(filter_, EM_SETSEL, 0, -1);
}

LRESULT PropertyPageWindow::OnNotify(const NMHDR& notice) {
    switch (notice.code) {
        case PSN_KILLACTIVE:
            // A value still being typed is taken first; it may make the
            // sheet invalid. The sheet then keeps the values, or says over
            // itself why it could not. TRUE keeps the sheet open.
            if (grid_) {
                grid_->CommitEdit();
            }
            return sheet_.Confirm() ? FALSE : TRUE;
        case PSN_APPLY:
            confirmed_ = true;
            return PSNRET_NOERROR;
        default:
            return 0;
    }
}

void PropertyPageWindow::SetLabels(const std::string& name, const std::string& description) {
    if (window_ == nullptr) {
        return;
    }
    ::SetDlgItemTextW(window_, kNameId, Wide(name).c_str());
    ::SetDlgItemTextW(window_, kDescriptionId, Wide(description).c_str());
}

void PropertyPageWindow::EnableReset(bool enable) {
    if (window_ == nullptr) {
        return;
    }
    HWND reset = ::GetDlgItem(window_, kResetId);
    // A button that goes grey with the keyboard would leave it nowhere.
    if (!enable && ::GetFocus() == reset && grid_) {
        ::SetFocus(grid_->Handle());
    }
    ::EnableWindow(reset, enable);
}
