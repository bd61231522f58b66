#pragma once

#include <string>

#include "config/dialog/CSheet1.h"
#include "vavezaz/CvlDriver.h"

class CameraParameters;

// The windows the camera's configuration shows: the modal configuration sheet
// and two message boxes. The toolkit that draws them sits behind this
// interface, so the configuration logic runs, and is tested, without one.
// `parent` is the host's window handle as configureCamera received it; null
// means none. Called on a host thread; each call returns when its window has
// closed.
// Thread-safe: any host thread may ask; each implementation says on which thread the windows run.
class DialogService {
  public:
    virtual ~DialogService() = default;

    // Shows the sheet over the two working copies, which the dialog edits in
    // place. OK calls `save` before the sheet closes (see CSheet1::Confirm);
    // true when the user confirmed with OK and `save` succeeded. Throws
    // std::runtime_error when no dialog can be shown (no display, another
    // dialog open).
    virtual bool RunSheet(HWND parent, const std::string& caption, CameraParameters& cameraSet,
                          CameraParameters& imageSet, const SheetSaver& save) = 0;
    // A question with OK and Cancel and a warning icon; true for OK.
    virtual bool Confirm(HWND parent, const std::string& text, const std::string& caption) = 0;
    // A notice with an OK button and a warning icon.
    virtual void Notify(HWND parent, const std::string& text, const std::string& caption) = 0;
    // Ends the windows open now as Cancel would, from any thread, without
    // waiting for them to close. A toolkit that cannot end them from another
    // thread leaves them to the user; the caller discards what they answer.
    virtual void EndOpenDialogs() {}
};

// The service in use. Until one is installed, every call throws "the
// configuration dialog is not available".
DialogService& GetDialogService();
// Makes `service` (not owned; it must outlive its use) the one in use and
// returns the previous one; null goes back to none. Called while no dialog
// runs: at library load, or by a test.
DialogService* InstallDialogService(DialogService* service);
