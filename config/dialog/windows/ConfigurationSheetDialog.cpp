#include "config/dialog/windows/ConfigurationSheetDialog.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

#include "config/propertygrid/windows/WideText.h"
#include "platform/ModuleState.h"

namespace {

// Set up once the sheet has made its controls: posted, so that the sheet's
// own initialisation has finished.
constexpr UINT kLayOutMessage = WM_APP + 1;
constexpr UINT_PTR kSubclassId = 1;

// The sheet's callback carries no pointer of its own: the sheet being
// started on this thread.
thread_local ConfigurationSheetDialog* starting = nullptr;

// The sheet on screen, for finalize on another thread; null while none is.
std::atomic<HWND> openSheet{nullptr};

RECT ChildRect(HWND parent, HWND child) {
    RECT box{};
    ::GetWindowRect(child, &box);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

void Resize(HWND window, int width, int height) {
    ::SetWindowPos(window, nullptr, 0, 0, width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The sheet's template, before the sheet is made from it, gets a resize
// border. A DLGTEMPLATEEX (signature 0xFFFF in its second word) has its style
// after its version, signature, help ID and extended style.
void AddResizeBorder(LPARAM dialogTemplate) {
    auto* bytes = reinterpret_cast<unsigned char*>(dialogTemplate);
    WORD signature = 0;
    std::memcpy(&signature, bytes + sizeof(WORD), sizeof(signature));
    unsigned char* style = bytes + (signature == 0xFFFF ? 12 : 0);
    DWORD value = 0;
    std::memcpy(&value, style, sizeof(value));
    value |= WS_THICKFRAME;
    std::memcpy(style, &value, sizeof(value));
}

SIZE WindowSize(HWND window) {
    RECT box{};
    ::GetWindowRect(window, &box);
    return SIZE{box.right - box.left, box.bottom - box.top};
}

}  // namespace

ConfigurationSheetDialog::ConfigurationSheetDialog(CSheet1& sheet, CPropertyGeneral& page)
    : sheet_(sheet), pageWindow_(page, sheet) {
    sheet_.SetView(this);
}

ConfigurationSheetDialog::~ConfigurationSheetDialog() {
    sheet_.SetView(nullptr);
}

bool ConfigurationSheetDialog::Run(HWND parent) {
    HINSTANCE module = static_cast<HINSTANCE>(platform::CurrentResourceModule());
    if (module == nullptr) {
        throw std::runtime_error(
            "the configuration sheet was asked for outside the driver's module state");
    }
    PROPSHEETPAGEW page = pageWindow_.Description(module);
    const std::wstring caption = Wide(sheet_.Caption());
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | PSH_USECALLBACK;
    header.hwndParent = parent;
    header.hInstance = module;
    header.pszCaption = caption.c_str();
    header.nPages = 1;
    header.ppsp = &page;
    header.pfnCallback = &ConfigurationSheetDialog::SheetCallback;
    starting = this;
    const INT_PTR result = ::PropertySheetW(&header);
    openSheet = nullptr;
    starting = nullptr;
    layout_.reset();
    window_ = nullptr;
    statusBar_ = nullptr;
    if (result < 0) {
        throw std::runtime_error("the configuration sheet could not be shown (error " +
                                 std::to_string(::GetLastError()) + ")");
    }
    return pageWindow_.Confirmed();
}

int CALLBACK ConfigurationSheetDialog::SheetCallback(HWND window, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE && lParam != 0) {
        AddResizeBorder(lParam);
    }
    if (message == PSCB_INITIALIZED && starting != nullptr) {
        openSheet = window;
        starting->window_ = window;
        ::SetWindowSubclass(window, &ConfigurationSheetDialog::SheetProc, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(starting));
        ::PostMessageW(window, kLayOutMessage, 0, 0);
    }
    return 0;
}

LRESULT CALLBACK ConfigurationSheetDialog::SheetProc(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam, UINT_PTR id, DWORD_PTR self) {
    auto* sheet = reinterpret_cast<ConfigurationSheetDialog*>(self);
    switch (message) {
        case kLayOutMessage:
            sheet->LayOut();
            return 0;
        case WM_SIZE:
            sheet->OnSize(LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_GETMINMAXINFO:
            if (sheet->minimum_.cx > 0) {
                auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
                limits->ptMinTrackSize = POINT{sheet->minimum_.cx, sheet->minimum_.cy};
            }
            break;
        default:
            break;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, &ConfigurationSheetDialog::SheetProc, id);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

void ConfigurationSheetDialog::LayOut() {
    for (int id : {kApplyId, kHelpId}) {
        if (HWND button = ::GetDlgItem(window_, id)) {
            ::ShowWindow(button, SW_HIDE);
        }
    }
    HWND ok = ::GetDlgItem(window_, kOkId);
    HWND cancel = ::GetDlgItem(window_, kCancelId);
    SIZE sheet = WindowSize(window_);
    if (ok != nullptr && cancel != nullptr) {
        // The buttons' row goes; they stand in a column right of the page.
        const RECT button = ChildRect(window_, ok);
        const int width = button.right - button.left;
        const int height = button.bottom - button.top;
        sheet = SIZE{sheet.cx + width + 15, sheet.cy - (height + 5)};
        Resize(window_, sheet.cx, sheet.cy);
        RECT client{};
        ::GetClientRect(window_, &client);
        const int x = client.right - width - 17;
        ::MoveWindow(ok, x, 27, width, height, TRUE);
        ::MoveWindow(cancel, x, height + 32, width, height, TRUE);
        ::SetWindowTextW(ok, L"&OK");
        ::SetWindowTextW(cancel, L"&Cancel");
    }
    statusBar_ = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_BOTTOM | SBARS_TOOLTIPS, 0, 0, 0, 0,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)),
        static_cast<HINSTANCE>(platform::CurrentResourceModule()), nullptr);
    Resize(window_, sheet.cx, sheet.cy + WindowSize(statusBar_).cy);
    ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
    layout_ = std::make_unique<ChildLayout>(window_);
    layout_->Add(ok, ChildLayout::kRight);
    layout_->Add(cancel, ChildLayout::kRight);
    layout_->Add(PropSheet_GetTabControl(window_), ChildLayout::kWider | ChildLayout::kTaller);
    layout_->Add(PropSheet_GetCurrentPageHwnd(window_), ChildLayout::kWider | ChildLayout::kTaller);
    minimum_ = WindowSize(window_);
    EnableOk(sheet_.IsOkEnabled());
    SetStatusText(sheet_.StatusText());
}

void ConfigurationSheetDialog::OnSize(int width, int height) {
    if (layout_) {
        layout_->Resize(width, height);
    }
    if (statusBar_ != nullptr) {
        ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
    }
}

void ConfigurationSheetDialog::EnableOk(bool enable) {
    if (window_ != nullptr) {
        ::EnableWindow(::GetDlgItem(window_, kOkId), enable);
    }
}

void ConfigurationSheetDialog::SetStatusText(const std::string& text) {
    if (statusBar_ != nullptr) {
        const std::wstring wide = Wide(text);
        ::SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        // A message longer than the bar is read whole in its tooltip.
        ::SendMessageW(statusBar_, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

void ConfigurationSheetDialog::ShowNotice(const std::string& text) {
    ::MessageBoxW(window_, Wide(text).c_str(), Wide(sheet_.Caption()).c_str(),
                  MB_OK | MB_ICONWARNING);
}

void ConfigurationSheetDialog::CancelOpenSheet() {
    // Posted: the sheet's own thread presses Cancel, as the user would.
    if (HWND sheet = openSheet.load()) {
        ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    }
}

bool ShowConfigurationSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                            CameraParameters& imageSet, const SheetSaver& save) {
    CSheet1 sheet(caption);
    sheet.SetSaver(save);
    CPropertyGeneral page(cameraSet, imageSet, sheet);
    ConfigurationSheetDialog dialog(sheet, page);
    return dialog.Run(parent);
}
