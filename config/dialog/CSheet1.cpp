#include "config/dialog/CSheet1.h"

#include "config/dialog/CPropertyGeneral.h"

void CSheet1::SetValid(bool valid) {
    valid_ = valid;
    okEnabled_ = valid;
    if (view_ != nullptr) {
        view_->EnableOk(valid);
    }
    if (valid) {
        SetStatus("");
    }
}

void CSheet1::ShowMessage(const CPropertyGeneral& page, const std::string& message) {
    std::string text = page.Caption().substr(0, kMaxStatusText) + ": " + message;
    if (text.size() > kMaxStatusText) {
        text.resize(kMaxStatusText);
    }
    SetStatus(text);
}

bool CSheet1::Confirm() {
    if (!okEnabled_) {
        return false;
    }
    const std::string failure = saver_ ? saver_() : "";
    if (failure.empty()) {
        return true;
    }
    SetStatus(failure.substr(0, kMaxStatusText));
    if (view_ != nullptr) {
        view_->ShowNotice(failure);
    }
    return false;
}

void CSheet1::SetStatus(const std::string& text) {
    statusText_ = text;
    if (view_ != nullptr) {
        view_->SetStatusText(text);
    }
}
