#include "config/propertygrid/windows/DynDialog.h"

#include <cstring>

#include "platform/ModuleState.h"

namespace {

// A dialog template is a run of 16-bit words; its parts start on 32-bit
// boundaries.
class TemplateWriter {
  public:
    void Word(WORD value) { words_.push_back(value); }
    void DoubleWord(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::wstring& text) {
        for (wchar_t character : text) {
            Word(static_cast<WORD>(character));
        }
        Word(0);
    }
    void Align() {
        if (words_.size() % 2 != 0) {
            Word(0);
        }
    }
    void Box(const RECT& box) {
        Word(static_cast<WORD>(box.left));
        Word(static_cast<WORD>(box.top));
        Word(static_cast<WORD>(box.right - box.left));
        Word(static_cast<WORD>(box.bottom - box.top));
    }
    std::vector<DWORD> Finish() {
        Align();
        std::vector<DWORD> aligned(words_.size() / 2);
        std::memcpy(aligned.data(), words_.data(), words_.size() * sizeof(WORD));
        return aligned;
    }

  private:
    std::vector<WORD> words_;
};

}  // namespace

DynDialog::DynDialog(const std::wstring& title, short width, short height)
    : title_(title), width_(width), height_(height) {}

void DynDialog::AddItem(const std::wstring& windowClass, const std::wstring& text, DWORD style,
                        const RECT& box, WORD id) {
    items_.push_back(Item{windowClass, text, style | WS_CHILD | WS_VISIBLE, box, id});
}

void DynDialog::SetFont(const std::wstring& face, WORD points) {
    fontFace_ = face;
    fontPoints_ = points;
}

void DynDialog::ChooseFont(HWND owner, std::wstring& face, WORD& points) const {
    face = L"MS Sans Serif";
    points = 8;
    if (!fontFace_.empty()) {
        face = fontFace_;
        points = fontPoints_;
        return;
    }
    HFONT font = owner != nullptr ? reinterpret_cast<HFONT>(::SendMessageW(owner, WM_GETFONT, 0, 0))
                                  : nullptr;
    LOGFONTW description{};
    if (font != nullptr && ::GetObjectW(font, sizeof(description), &description) != 0) {
        HDC screen = ::GetDC(nullptr);
        const int height = description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
        points = static_cast<WORD>(::MulDiv(height, 72, ::GetDeviceCaps(screen, LOGPIXELSY)));
        ::ReleaseDC(nullptr, screen);
        face = description.lfFaceName;
    }
}

std::vector<DWORD> DynDialog::BuildTemplate(HWND owner) const {
    std::wstring face;
    WORD points = 0;
    ChooseFont(owner, face, points);
    TemplateWriter writer;
    writer.DoubleWord(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    writer.DoubleWord(0);
    writer.Word(static_cast<WORD>(items_.size()));
    writer.Box(RECT{0, 0, width_, height_});
    writer.Word(0);  // no menu
    writer.Word(0);  // the system's dialog class
    writer.Text(title_);
    writer.Word(points);
    writer.Text(face);
    for (const Item& item : items_) {
        writer.Align();
        writer.DoubleWord(item.style);
        writer.DoubleWord(0);
        writer.Box(item.box);
        writer.Word(item.id);
        writer.Text(item.windowClass);
        writer.Text(item.text);
        writer.Word(0);  // no creation data
    }
    return writer.Finish();
}

bool DynDialog::Run(HWND owner, const std::function<void(HWND)>& fill,
                    const std::function<void(HWND)>& take) {
    fill_ = &fill;
    take_ = &take;
    const std::vector<DWORD> dialogTemplate = BuildTemplate(owner);
    const INT_PTR result =
        ::DialogBoxIndirectParamW(static_cast<HINSTANCE>(platform::CurrentResourceModule()),
                                  reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), owner,
                                  &DynDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        ::MessageBoxW(owner, L"Failed to create DlgItem.", title_.c_str(), MB_OK | MB_ICONERROR);
    }
    return result == IDOK;
}

INT_PTR CALLBACK DynDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        (*reinterpret_cast<DynDialog*>(lParam)->fill_)(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<DynDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr || message != WM_COMMAND) {
        return FALSE;
    }
    if (LOWORD(wParam) == IDOK) {
        (*self->take_)(dialog);
        ::EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}
