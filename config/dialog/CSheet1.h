#pragma once

#include <functional>
#include <string>

class CPropertyGeneral;

// What the sheet's window shows of its state: the OK button's state and the
// status bar's text.
class SheetView {
  public:
    virtual ~SheetView() = default;
    virtual void EnableOk(bool enable) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // A notice over the open sheet, which stays open; returns when the user
    // has closed it.
    virtual void ShowNotice(const std::string& text) = 0;
};

// Keeps what the user confirmed; answers the empty text on success, else
// what went wrong, for the user to read.
using SheetSaver = std::function<std::string()>;

// The configuration sheet's state: whether both working copies passed the
// last validation (OK is enabled only then) and the status text that says why
// not. Bound to the dialog's thread.
class CSheet1 {
  public:
    // Longest status text, as the sheet's status bar holds it.
    static constexpr size_t kMaxStatusText = 254;

    explicit CSheet1(const std::string& caption) : caption_(caption) {}

    // Not owned; null detaches.
    void SetView(SheetView* view) { view_ = view; }

    // Stores the flag and enables or disables OK; a valid state clears the
    // status text.
    void SetValid(bool valid);
    // Status text: the page's caption, ": " and the message, cut to
    // kMaxStatusText characters.
    void ShowMessage(const CPropertyGeneral& page, const std::string& message);

    // Set before the sheet is shown. Without one, OK keeps nothing itself.
    void SetSaver(SheetSaver saver) { saver_ = std::move(saver); }
    // OK pressed: whether the sheet may close. It may when OK is enabled and
    // the values were kept; when keeping them failed, the user is told over
    // the open sheet, which stays open with every edit.
    bool Confirm();

    const std::string& Caption() const { return caption_; }
    bool IsValid() const { return valid_; }
    bool IsOkEnabled() const { return okEnabled_; }
    const std::string& StatusText() const { return statusText_; }

  private:
    void SetStatus(const std::string& text);

    std::string caption_;
    bool valid_ = true;
    bool okEnabled_ = true;
    std::string statusText_;
    SheetSaver saver_;
    SheetView* view_ = nullptr;
};
