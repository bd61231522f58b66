#pragma once

#include "config/dialog/DialogService.h"

// The driver's windows drawn with wxWidgets on GTK. Every window runs on the
// toolkit's own thread (ToolkitThread) while the calling host thread waits;
// one window at a time. Installed when the driver library is loaded.
// Thread-safe.
class WxDialogService : public DialogService {
  public:
    bool RunSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                  CameraParameters& imageSet, const SheetSaver& save) override;
    bool Confirm(HWND parent, const std::string& text, const std::string& caption) override;
    void Notify(HWND parent, const std::string& text, const std::string& caption) override;
    void EndOpenDialogs() override;
};
