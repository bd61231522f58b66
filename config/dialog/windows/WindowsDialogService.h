#pragma once

#include "config/dialog/DialogService.h"

// The driver's windows on the system's own controls: the property sheet and
// the message boxes. Each runs modally on the host thread that asks for it,
// with that thread's message loop, as Windows hosts expect. Installed when the
// driver's DLL is loaded.
// Thread-safe.
class WindowsDialogService : public DialogService {
  public:
    bool RunSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                  CameraParameters& imageSet, const SheetSaver& save) override;
    bool Confirm(HWND parent, const std::string& text, const std::string& caption) override;
    void Notify(HWND parent, const std::string& text, const std::string& caption) override;
    // Ends the open sheet as Cancel; a message box stays until it is answered.
    void EndOpenDialogs() override;
};
