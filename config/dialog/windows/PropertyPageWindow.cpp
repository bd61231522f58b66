#include "config/dialog/windows/PropertyPageWindow.h"

#include "config/dialog/CSheet1.h"
#include "config/propertygrid/windows/PropertyGridWindow.h"
#include "config/propertygrid/windows/WideText.h"

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

INT_PTR CALLBACK PropertyPageWindow::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<PropertyPageWindow*>(
            reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->OnInitDialog(window);
        // The grid has the keyboard: the system must not move it.
        return FALSE;
    }
    auto* self = reinterpret_cast<PropertyPageWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NOTIFY) {
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT,
                            self->OnNotify(*reinterpret_cast<const NMHDR*>(lParam)));
        return TRUE;
    }
    if (message == WM_DESTROY) {
        self->OnDestroy();
    }
    return FALSE;
}

void PropertyPageWindow::OnInitDialog(HWND window) {
    window_ = window;
    grid_ = std::make_unique<PropertyGridWindow>(::GetDlgItem(window, kGridId), page_.Grid());
    page_.SetView(this);
    page_.OnInitDialog();
    ::SetFocus(grid_->Handle());
}

void PropertyPageWindow::OnDestroy() {
    page_.SetView(nullptr);
    grid_.reset();
    window_ = nullptr;
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
