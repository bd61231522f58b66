#include "config/dialog/windows/WindowsDialogService.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/dialog/windows/ConfigurationSheetDialog.h"
#include "config/propertygrid/windows/WideText.h"

namespace {

// The host's window, when it names one. A handle that names no window would
// make every dialog fail; the dialog is shown without a parent instead.
HWND HostWindow(HWND parent) {
    if (parent == nullptr || ::IsWindow(parent)) {
        return parent;
    }
    WriteLog(DriverContext::Instance(), 1,
             "configuration dialog: WARNING: parent window 0x%lx does not exist; the dialog is "
             "shown without a parent\n",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)));
    return nullptr;
}

int ShowMessage(HWND parent, const std::string& text, const std::string& caption, UINT buttons) {
    return ::MessageBoxW(HostWindow(parent), Wide(text).c_str(), Wide(caption).c_str(),
                         buttons | MB_ICONWARNING);
}

WindowsDialogService service;

// Installs the service while the DLL loads, so the driver's dialogs use it
// from the first call on; removes it again at unload.
struct Installation {
    Installation() { InstallDialogService(&service); }
    ~Installation() { InstallDialogService(nullptr); }
} installation;

}  // namespace

bool WindowsDialogService::RunSheet(HWND parent, const std::string& caption,
                                    CameraParameters& cameraSet, CameraParameters& imageSet,
                                    const SheetSaver& save) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);
    return ShowConfigurationSheet(HostWindow(parent), caption, cameraSet, imageSet, save);
}

bool WindowsDialogService::Confirm(HWND parent, const std::string& text,
                                   const std::string& caption) {
    return ShowMessage(parent, text, caption, MB_OKCANCEL) == IDOK;
}

void WindowsDialogService::Notify(HWND parent, const std::string& text,
                                  const std::string& caption) {
    ShowMessage(parent, text, caption, MB_OK);
}

void WindowsDialogService::EndOpenDialogs() {
    ConfigurationSheetDialog::CancelOpenSheet();
}
