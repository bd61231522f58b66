// The configuration dialog of a camera: working copies of its settings, the
// dialog over them, and what becomes of the values the user confirms.

#include <atomic>
#include <boost/format.hpp>
#include <mutex>
#include <stdexcept>

#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "config/CameraDefaults.h"
#include "config/Param.h"
#include "config/dialog/DialogService.h"
#include "driver/DriverContext.h"
#include "driver/Log.h"
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

struct DialogShown {
    DialogShown() { dialogShown = true; }
    ~DialogShown() { dialogShown = false; }
};

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
    if (!kept) {
        WriteLog(DriverContext::Instance(), 1, "%s", kEndedByFinalize);
        return false;
    }
    if (!goOn) {
        return false;
    }
    CameraParameters cameraSet = CameraWorkingCopy();
    CameraParameters imageSet = ImageWorkingCopy(title, imageName);
    ShowLogSettingsInForce(cameraSet, *context_);
    const bool confirmed = LettingTheListGo(
        [&] { return dialogs.RunSheet(parent, title, cameraSet, imageSet); }, &kept);
    if (!kept) {
        WriteLog(DriverContext::Instance(), 1, "%s", kEndedByFinalize);
        return false;
    }
    const bool result = confirmed && SaveConfiguration(parent, title, cameraSet, imageSet);
    WriteLog(context_, 2, "Camera::Configure: leaving\n");
    return result;
}

bool Camera::EndOpenDialog() {
    if (!dialogShown) {
        return false;
    }
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
    // The first adapter by port with that image name. The map stays held while
    // the set is copied, so a port closed on another thread cannot take the
    // adapter away under the copy.
    boost::shared_lock<DriverSharedMutex> lookUp(registry_.lock);
    for (const auto& entry : registry_.adapters) {
        if (entry.second->GetImageName() == imageName) {
            copy = entry.second->GetParameters();
            break;
        }
    }
    return copy;
}

bool Camera::SaveConfiguration(HWND parent, const std::string& title, CameraParameters& cameraSet,
                               CameraParameters& imageSet) {
    DialogService& dialogs = GetDialogService();
    if (!cameraSet.Save() || !imageSet.Save()) {
        const std::string path = context_->SettingsFilePath();
        WriteLog(context_, 1,
                 "Camera::Configure: ERROR: the settings of camera %s could not be saved to %s\n",
                 state_.name.c_str(), path.c_str());
        const std::string notice =
            "The settings could not be saved to " + path +
            ".\nThe file keeps the values it had. Make sure the file and its directory can be "
            "written and the disk is not full, then configure the camera again.";
        bool kept = true;
        LettingTheListGo(
            [&] {
                dialogs.Notify(parent, notice, title);
                return true;
            },
            &kept);
        return false;
    }
    size_t ports = 0;
    {
        boost::shared_lock<DriverSharedMutex> lookUp(registry_.lock);
        ports = registry_.adapters.size();
    }
    bool restart = false;
    {
        std::lock_guard<DriverRecursiveMutex> lock(parametersLock_);
        restart = ports > 1 && NeedsRestart(cameraSet, state_.parameters);
    }
    if (restart) {
        bool kept = true;
        LettingTheListGo(
            [&] {
                dialogs.Notify(parent, kRestartText, title);
                return true;
            },
            &kept);
        // A finalize meanwhile has closed the camera, and taken it away.
        if (!kept) {
            return true;
        }
        WriteLog(context_, 2,
                 "WARNING: Camera configuration file changed. All cameras must be restarted.");
        Close(-1);
    }
    return true;
}
