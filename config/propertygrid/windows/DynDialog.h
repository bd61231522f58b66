#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A modal dialog whose template is built in memory from a list of controls,
// so that the grid's editors need no resources of their own. Bound to the
// thread that runs it.
class DynDialog {
  public:
    // `width` and `height` in dialog units.
    DynDialog(const std::wstring& title, short width, short height);

    // A control of a window class, its text and style, and its box in dialog
    // units as left, top, right, bottom.
    void AddItem(const std::wstring& windowClass, const std::wstring& text, DWORD style,
                 const RECT& box, WORD id);
    // The font of the dialog; without one, the owner's, else "MS Sans Serif"
    // 8 point.
    void SetFont(const std::wstring& face, WORD points);

    // Runs the dialog over `owner`: `fill` sets the controls up when it
    // starts, `take` reads them when OK (IDOK) is pressed. True when the user
    // confirmed. A control that cannot be created is said in a message box.
    bool Run(HWND owner, const std::function<void(HWND)>& fill,
             const std::function<void(HWND)>& take);

  private:
    struct Item {
        std::wstring windowClass;
        std::wstring text;
        DWORD style;
        RECT box;
        WORD id;
    };

    std::vector<DWORD> BuildTemplate(HWND owner) const;
    void ChooseFont(HWND owner, std::wstring& face, WORD& points) const;
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring title_;
    short width_;
    short height_;
    std::wstring fontFace_;
    WORD fontPoints_ = 0;
    std::vector<Item> items_;
    const std::function<void(HWND)>* fill_ = nullptr;
    const std::function<void(HWND)>* take_ = nullptr;
};
