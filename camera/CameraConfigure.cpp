// The configuration dialog of a camera: working copies of its settings, the
// dialog over them, and what becomes of the values the user confirms.

#include <atomic>
#include <boost/format.hpp>
#include <mutex>
#include <stdexcept>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "config/CameraDefaults.h"
#include "config/Param.h"
#include "config/dialog/DialogService.h"
#include "platform/ModuleState.h"

namespace {

const char* const kRunningText =
    "Configuring camera properties while inspection is running may cause undesired effects. "
    "Continue anyway ?";
const char* const kRestartText = "Camera configuration changed. Please reset all cameras.";
const char* const kLogIntoFileDescription =
    "Set by the host application through its property \"LogIntoFile\"; it is not kept in the "
    "settings file, so it cannot be changed here";

// One configuration dialog at a time in the process, whichever host thread
// and camera ask: a second request fails while the first is open.
std::mutex dialogOpen;
// Whether a dialog holds dialogOpen, for finalize on any thread, also on the
// dialog's own (from the host's debug procedure), where the mutex cannot be
// tried.
std::atomic<bool> dialogShown{false};

// Set when finalize ends the open dialog: what the dialog answers after that
// is not kept.
std::atomic<bool> dialogEnded{false};

struct DialogShown {
    DialogShown() {
        dialogEnded = false;
        dialogShown = true;
    }
    ~DialogShown() { dialogShown = false; }
};

const char* const kSavedBeforeFinalize =
    "Camera::Configure: WARNING: the driver was finalized while the configuration dialog was "
    "open; the values confirmed before were saved\n";
const char* const kEndedByFinalize =
    "Camera::Configure: WARNING: the driver was finalized while the configuration dialog was "
    "open; it ended as Cancel by finalize and nothing was saved\n";

// Shows a modal window with the camera list let go, so that finalize does
// not wait for the user. `kept` turns false when the list, and this camera
// with it, went meanwhile: the caller then touches nothing of the camera.
template <typename Show>
bool LettingTheListGo(Show show, bool* kept) {
    CameraList::UserWait wait;
    const bool answer = show();
    *kept = wait.Resume();
    return answer;
}

// Answers the empty text when both sets were saved, else the notice for the
// user.
std::string SaveWorkingCopies(CameraParameters& cameraSet, CameraParameters& imageSet,
                              const std::string& camera) {
    if (cameraSet.Save() && imageSet.Save()) {
        return "";
    }
    DriverContext* context = DriverContext::Instance();
    const std::string path = context->SettingsFilePath();
    WriteLog(context, 1,
             "Camera::Configure: ERROR: the settings of camera %s could not be saved to %s\n",
             camera.c_str(), path.c_str());
    return "The settings could not be saved to " + path +
           ".\nMake sure the file is not read-only, the file and its directory can be written "
           "and the disk is not full, then press OK again, or Cancel to drop the changes.";
}

// "LogIntoFile" lives only in memory: the settings file never holds it and
// the dialog's values reach only the file. Shown read-only, with how it is
// set, so that OK does not suggest an edit that would be lost.
void ShowLogSettingsInForce(CameraParameters& cameraSet, DriverContext& context) {
    dynamic_cast<Param<int>&>(cameraSet.GetParam("LogLevel")).value = context.logLevel;
    Param_& logIntoFile = cameraSet.GetParam("LogIntoFile");
    dynamic_cast<Param<bool>&>(logIntoFile).value = context.logIntoFile;
    logIntoFile.enabled = false;
    logIntoFile.description = kLogIntoFileDescription;
    dynamic_cast<Param<int>&>(cameraSet.GetParam("DebugViewOutput")).value =
        context.debugViewOutput;
}

// A changed parameter file, scan count or buffer size takes effect only when
// the camera is set up again.
bool NeedsRestart(const CameraParameters& edited, const CameraParameters& live) {
    return edited.GetParameter<std::string>("ConfigurationFile") !=
               live.GetParameter<std::string>("ConfigurationFile") ||
           edited.GetParameter<int>("NumberOfScans") != live.GetParameter<int>("NumberOfScans") ||
           edited.GetParameter<int>("BufferSize") != live.GetParameter<int>("BufferSize");
}

}  // namespace

bool Camera::Configure(HWND parent, const std::string& imageName) {
    WriteLog(context_, 2, "Camera::Configure: entering\n");
    platform::ModuleStateScope moduleState;
    if (InsideHandOff()) {
        // The hand-off waits for this thread: a dialog here would stop the
        // camera's images until it closes, and a restart could not close it.
        throw std::runtime_error(
            "Camera::Configure: the configuration dialog cannot be opened from inside a "
            "completion callback of camera " +
            state_.name);
    }
    std::unique_lock<std::mutex> onlyDialog(dialogOpen, std::try_to_lock);
    if (!onlyDialog.owns_lock()) {
        throw std::runtime_error(
            "Camera::Configure: another configuration dialog is open; close it first");
    }
    const DialogShown shown;
    if (context_->GetSystemPath().empty()) {
        throw std::runtime_error(
            "Camera::Configure: the host has set no system directory, so no settings file can be "
            "written");
    }
    const std::string title =
        (boost::format("Configure camera: %s.%s") % state_.name % imageName).str();
    DialogService& dialogs = GetDialogService();
    bool kept = true;
    const bool goOn =
        !grabPending_ ||
        LettingTheListGo([&] { return dialogs.Confirm(parent, kRunningText, title); }, &kept);
    // Ended by finalize also when the list is still there: finalize may not
    // have reached it yet when the window closes.
    if (!kept || dialogEnded) {
        WriteLog(DriverContext::Instance(), 1, "%s", kEndedByFinalize);
        return false;
    }
    if (!goOn) {
        return false;
    }
    CameraParameters cameraSet = CameraWorkingCopy();
    CameraParameters imageSet = ImageWorkingCopy(title, imageName);
    ShowLogSettingsInForce(cameraSet, *context_);
    // The sheet keeps the values before it closes, so that a file that cannot
    // be written is reported over the open sheet and no edit is lost. It runs
    // while the camera list is let go, so it reaches nothing of the camera,
    // and after finalize has ended the dialog it keeps nothing.
    bool saved = false;
    const SheetSaver save = [&cameraSet, &imageSet, &saved, name = state_.name] {
        if (dialogEnded) {
            return std::string();
        }
        std::string failure = SaveWorkingCopies(cameraSet, imageSet, name);
        saved = failure.empty();
        return failure;
    };
    const bool confirmed = LettingTheListGo(
        [&] { return dialogs.RunSheet(parent, title, cameraSet, imageSet, save); }, &kept);
    if (!kept || dialogEnded) {
        WriteLog(DriverContext::Instance(), 1, "%s",
                 saved ? kSavedBeforeFinalize : kEndedByFinalize);
        return false;
    }
    if (confirmed) {
        RestartIfNeeded(parent, title, cameraSet);
    }
    WriteLog(context_, 2, "Camera::Configure: leaving\n");
    return confirmed;
}

bool Camera::EndOpenDialog() {
    if (!dialogShown) {
        return false;
    }
    dialogEnded = true;
    GetDialogService().EndOpenDialogs();
    return true;
}

CameraParameters Camera::CameraWorkingCopy() {
    CameraParameters copy = CopyParameters();
    // A camera never opened has no settings in memory yet: the dialog starts
    // from what the file holds, as the first open would.
    if (!copy.HasParam("ConfigurationFile")) {
        CreateDefaultParameters(copy);
        copy.Load();
    }
    return copy;
}

CameraParameters Camera::ImageWorkingCopy(const std::string& title, const std::string& imageName) {
    CameraParameters copy(title);
    // The first adapter by port with that image name, held while the set is
    // copied; a camera-wide set when no port shows that image.
    registry_.CopyParameters(imageName, copy);
    return copy;
}

void Camera::RestartIfNeeded(HWND parent, const std::string& title,
                             const CameraParameters& cameraSet) {
    const size_t ports = registry_.Count();
    bool restart = false;
    {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        restart = ports > 1 && NeedsRestart(cameraSet, state_.parameters);
    }
    if (restart) {
        bool kept = true;
        LettingTheListGo(
            [&] {
                GetDialogService().Notify(parent, kRestartText, title);
                return true;
            },
            &kept);
        // A finalize meanwhile has closed the camera, and taken it away.
        if (!kept) {
            return;
        }
        WriteLog(context_, 2,
                 "WARNING: Camera configuration file changed. All cameras must be restarted.");
        Close(-1);
    }
}
