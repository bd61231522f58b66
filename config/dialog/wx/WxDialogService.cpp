#include "config/dialog/wx/WxDialogService.h"

#include <wx/dialog.h>
#include <wx/msgdlg.h>

#include "config/dialog/wx/ConfigurationSheetDialog.h"
#include "config/dialog/wx/HostWindow.h"
#include "config/dialog/wx/ToolkitThread.h"

namespace {

// A message box with a warning icon. The generic box is an ordinary dialog,
// so it can be made transient for the host's window before it is shown.
int ShowMessage(HWND parent, const std::string& text, const std::string& caption, long buttons) {
    wxGenericMessageDialog box(nullptr, wxString::FromUTF8(text), wxString::FromUTF8(caption),
                               buttons | wxICON_EXCLAMATION | wxCENTRE);
    MakeTransientForHost(box, parent);
    return box.ShowModal();
}

// Toolkit thread only. The innermost window first: each ends its own modal
// loop, and the sheet's ends once the loops above it have.
void EndModalWindows() {
    for (auto node = wxTopLevelWindows.GetLast(); node != nullptr; node = node->GetPrevious()) {
        auto* dialog = dynamic_cast<wxDialog*>(node->GetData());
        if (dialog != nullptr && dialog->IsModal()) {
            dialog->EndModal(wxID_CANCEL);
        }
    }
}

WxDialogService service;

// Installs the service while the library loads, so the driver's dialogs use
// it from the first call on; removes it again at unload.
struct Installation {
    Installation() { InstallDialogService(&service); }
    ~Installation() { InstallDialogService(nullptr); }
} installation;

}  // namespace

bool WxDialogService::RunSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                               CameraParameters& imageSet, const SheetSaver& save) {
    bool confirmed = false;
    ToolkitThread::Instance().Run(
        [&] { confirmed = ShowConfigurationSheet(parent, caption, cameraSet, imageSet, save); });
    return confirmed;
}

bool WxDialogService::Confirm(HWND parent, const std::string& text, const std::string& caption) {
    bool confirmed = false;
    ToolkitThread::Instance().Run(
        [&] { confirmed = ShowMessage(parent, text, caption, wxOK | wxCANCEL) == wxID_OK; });
    return confirmed;
}

void WxDialogService::Notify(HWND parent, const std::string& text, const std::string& caption) {
    ToolkitThread::Instance().Run([&] { ShowMessage(parent, text, caption, wxOK); });
}

void WxDialogService::EndOpenDialogs() {
    ToolkitThread::Instance().PostWhileBusy(&EndModalWindows);
}
