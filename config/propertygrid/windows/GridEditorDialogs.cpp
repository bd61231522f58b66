#include "config/propertygrid/windows/GridEditorDialogs.h"

#include <commctrl.h>

#include "config/propertygrid/windows/DynDialog.h"
#include "config/propertygrid/windows/WideText.h"

namespace {

constexpr WORD kEditId = 100;
constexpr WORD kDateId = 101;
constexpr WORD kTimeId = 102;

std::wstring ButtonCaption(HWND owner, int id, const wchar_t* fallback) {
    HWND button = owner != nullptr ? ::GetDlgItem(::GetAncestor(owner, GA_ROOT), id) : nullptr;
    wchar_t text[64] = {};
    if (button == nullptr || ::GetWindowTextW(button, text, 64) == 0) {
        return fallback;
    }
    return text;
}

void AddButtons(DynDialog& dialog, HWND owner, const RECT& ok, const RECT& cancel) {
    dialog.AddItem(L"BUTTON", ButtonCaption(owner, IDOK, L"OK"), BS_DEFPUSHBUTTON | WS_TABSTOP, ok,
                   IDOK);
    dialog.AddItem(L"BUTTON", ButtonCaption(owner, IDCANCEL, L"Cancel"), BS_PUSHBUTTON | WS_TABSTOP,
                   cancel, IDCANCEL);
}

// The edit box wants "\r\n" between lines; the value keeps "\n".
std::wstring WithReturns(const std::wstring& text) {
    std::wstring result;
    for (wchar_t character : text) {
        if (character == L'\n') {
            result += L'\r';
        }
        result += character;
    }
    return result;
}

std::wstring WithoutReturns(const std::wstring& text) {
    std::wstring result;
    for (wchar_t character : text) {
        if (character != L'\r') {
            result += character;
        }
    }
    return result;
}

std::wstring ControlText(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

SYSTEMTIME ToSystemTime(const GridDateTime& value) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(value.year);
    time.wMonth = static_cast<WORD>(value.month);
    time.wDay = static_cast<WORD>(value.day);
    time.wHour = static_cast<WORD>(value.hour);
    time.wMinute = static_cast<WORD>(value.minute);
    time.wSecond = static_cast<WORD>(value.second);
    return time;
}

GridDateTime FromSystemTime(const SYSTEMTIME& time) {
    return GridDateTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

bool EditMultiLineText(HWND owner, const std::string& title, std::string& value) {
    DynDialog dialog(Wide(title), 167, 127);
    dialog.AddItem(L"EDIT", L"",
                   ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL |
                       WS_HSCROLL | WS_BORDER | WS_TABSTOP,
                   RECT{7, 7, 200, 100}, kEditId);
    AddButtons(dialog, owner, RECT{56, 106, 106, 120}, RECT{110, 106, 160, 120});
    std::wstring edited;
    const bool confirmed = dialog.Run(
        owner,
        [&](HWND window) { ::SetDlgItemTextW(window, kEditId, WithReturns(Wide(value)).c_str()); },
        [&](HWND window) { edited = WithoutReturns(ControlText(window, kEditId)); });
    if (confirmed) {
        value = Narrow(edited);
    }
    return confirmed;
}

bool EditDateTime(HWND owner, const std::string& title, GridDateTime& value) {
    DynDialog dialog(Wide(title), 160, 72);
    dialog.AddItem(L"STATIC", L"Date", SS_LEFT, RECT{7, 9, 40, 19}, 0xFFFF);
    dialog.AddItem(DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP, RECT{45, 7, 153, 21},
                   kDateId);
    dialog.AddItem(L"STATIC", L"Time", SS_LEFT, RECT{7, 29, 40, 39}, 0xFFFF);
    dialog.AddItem(DATETIMEPICK_CLASSW, L"", DTS_TIMEFORMAT | WS_TABSTOP, RECT{45, 27, 153, 41},
                   kTimeId);
    AddButtons(dialog, owner, RECT{45, 51, 95, 65}, RECT{103, 51, 153, 65});
    SYSTEMTIME chosen = ToSystemTime(value);
    const bool confirmed = dialog.Run(
        owner,
        [&](HWND window) {
            DateTime_SetSystemtime(::GetDlgItem(window, kDateId), GDT_VALID, &chosen);
            DateTime_SetSystemtime(::GetDlgItem(window, kTimeId), GDT_VALID, &chosen);
        },
        [&](HWND window) {
            SYSTEMTIME date{};
            SYSTEMTIME time{};
            DateTime_GetSystemtime(::GetDlgItem(window, kDateId), &date);
            DateTime_GetSystemtime(::GetDlgItem(window, kTimeId), &time);
            chosen = date;
            chosen.wHour = time.wHour;
            chosen.wMinute = time.wMinute;
            chosen.wSecond = time.wSecond;
        });
    if (confirmed) {
        value = FromSystemTime(chosen);
    }
    return confirmed;
}
