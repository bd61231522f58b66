// The CVL driver interface. Every guarded entry point turns an exception into
// a level 1 log line and its failure result: nothing thrown may reach the host.

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "camera/CameraList.h"
#include "camera/HostNames.h"
#include "driver/ApiErrorHandler.h"
#include "icon/Api.h"
#include "image/RowReadGate.h"
#include "platform/LocalTime.h"
#include "vavezaz/CvlDriver.h"

namespace {

constexpr const char* kVersionText = "1,0,0,7";

// Host texts go into log lines as data; a null one is shown, not dereferenced.
const char* Text(const char* text) {
    return text != nullptr ? text : "(null)";
}

template <typename Result, typename Body, typename OnError, typename OnUnknown>
Result Guarded(Result failure, Body body, OnError onError, OnUnknown onUnknown) {
    try {
        return body();
    } catch (const std::exception& e) {
        onError(e.what());
    } catch (...) {
        onUnknown();
    }
    return failure;
}

bool IsUndefinedCamera(const char* name) {
    return name == nullptr || name[0] == '\0' || NamesEqual(name, "Undefined") ||
           NamesEqual(name, "Udefinert");
}

// A host pointer the call cannot do without; logs and answers false when null.
bool Present(DriverContext* context, const void* pointer, const char* function, const char* what,
             int grabberNo, int portNo) {
    if (pointer != nullptr) {
        return true;
    }
    WriteLog(context, 1, "%s: ERROR: %s is null, grabberNo=%d, portNo=%d\n", function, what,
             grabberNo, portNo);
    return false;
}

// Bytes to copy for a row: the requested columns, cut to what the row holds.
// An inverted or negative range copies nothing.
bool RowCopySize(const RowAccess& access, int firstColumn, int lastColumn, size_t* bytes) {
    if (firstColumn < 0 || lastColumn < firstColumn) {
        return false;
    }
    const size_t columns = static_cast<size_t>(lastColumn) - static_cast<size_t>(firstColumn) + 1;
    *bytes = std::min(columns * static_cast<size_t>(access.bitsPerPixel / 8), access.rowBytes);
    return true;
}

// The row copied with no lock taken, when nothing is amiss: the port open on
// a camera, an image read without a hold, the row and the columns in range.
// Otherwise false, and the locked path does the read and says what is wrong,
// outside the gate.
bool CopyRowInsideGate(int portNo, int row, int firstColumn, int lastColumn, void* buffer) {
    RowReadGate::Pass pass(RowReadGate::Instance());
    if (!pass.Passed()) {
        return false;
    }
    CameraList* list = CameraList::InstanceInsideGate();
    Camera* camera = list == nullptr ? nullptr : list->FindByPortInsideGate(portNo);
    if (camera == nullptr) {
        return false;
    }
    const RowAccess access = camera->GetRowInsideGate(portNo, row);
    size_t bytes = 0;
    if (access.data == nullptr || !RowCopySize(access, firstColumn, lastColumn, &bytes)) {
        return false;
    }
    std::memcpy(buffer, access.data, bytes);
    return true;
}

enum class RowCopy { kCopied, kNoRow, kBadColumns };

// The row copied under the holds of its port and image. A row that cannot be
// given comes back with the reason in `problem`, for the caller to log once
// the holds are gone: the host's debug procedure may close the port.
RowCopy CopyRowLocked(int portNo, int row, int firstColumn, int lastColumn, void* buffer,
                      std::string* problem) {
    CameraList::Hold list = CameraList::GetInstance();
    RowAccess access = list->GetByPort(portNo)->GetRow(portNo, row);
    if (access.data == nullptr) {
        *problem = std::move(access.problem);
        return RowCopy::kNoRow;
    }
    size_t bytes = 0;
    if (!RowCopySize(access, firstColumn, lastColumn, &bytes)) {
        return RowCopy::kBadColumns;
    }
    std::memcpy(buffer, access.data, bytes);
    return RowCopy::kCopied;
}

// Ports are the host's numbers from 0 up; -1 means every port inside the
// driver and must not come from the host.
bool ValidPort(DriverContext* context, const char* function, int grabberNo, int portNo,
               const char* cameraName) {
    if (portNo >= 0) {
        return true;
    }
    if (cameraName != nullptr) {
        WriteLog(context, 1, "%s: ERROR: invalid port, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 function, grabberNo, portNo, cameraName);
    } else {
        WriteLog(context, 1, "%s: ERROR: invalid port, grabberNo=%d, portNo=%d\n", function,
                 grabberNo, portNo);
    }
    return false;
}

// The claim of a port for one open; mapped when the open succeeded.
class PortClaim {
  public:
    PortClaim(CameraList* list, int port, Camera* camera)
        : list_(list), port_(port), camera_(camera) {}
    ~PortClaim() { list_->EndClaim(port_, camera_, opened_); }

    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

    void Opened() { opened_ = true; }

  private:
    CameraList* list_;
    int port_;
    Camera* camera_;
    bool opened_ = false;
};

// Initialize and finalize one at a time; a finalize logs while it holds this,
// as it closes the cameras. A thread inside a completion callback or the
// host's debug procedure only tries: a finalize on another thread may be
// waiting for that callback, or for the log lock that thread holds.
std::unique_lock<std::recursive_mutex> LockLifetime() {
    static std::recursive_mutex lifetime;
    if (!CameraList::InsideCompletionCallback() && !InsideDebugProcedure()) {
        return std::unique_lock<std::recursive_mutex>(lifetime);
    }
    std::unique_lock<std::recursive_mutex> lock(lifetime, std::try_to_lock);
    if (!lock.owns_lock()) {
        throw std::runtime_error(
            "the driver is being initialized or finalized on another thread; from inside a "
            "completion callback or the debug procedure it does not wait for that");
    }
    return lock;
}

// Camera calls are refused from the moment the list starts to go: one that
// came after would open a camera that no finalize closes.
void DestroyCameraList(DriverContext* context) {
    context->finalized = true;
    if (Camera::EndOpenDialog()) {
        WriteLog(context, 1,
                 "finalize: WARNING: a configuration dialog is open; it ends as Cancel\n");
    }
    try {
        CameraList::DestroyInstance();
    } catch (...) {
        context->finalized = false;
        throw;
    }
}

bool OpenPort(DriverContext* context, int grabberNo, int portNo, const char* cameraName,
              int* imageSize) {
    CameraList::Hold list = CameraList::GetInstance();
    if (list->isIpAddress(cameraName) &&
        list->GetDiscoveryState() != CameraList::kDiscoveryStarted) {
        WriteLog(context, 1, "openCVLPort: Manual camera IP name:%s\n", cameraName);
        if (!list->IsCameraAvailable(cameraName)) {
            WriteLog(context, 1, "openCVLPort: Adding manual camera:%s\n", cameraName);
            list->Create(StripImageSuffix(cameraName));
        }
    } else {
        list->Init();
    }
    if (!list->IsCameraAvailable(cameraName)) {
        WriteLog(context, 1, "openCVLPort: ERROR: cannot find camera by name:%s\n", cameraName);
        return false;
    }
    Camera* camera = list->GetByName(cameraName);
    std::string suffix = GetImageSuffix(cameraName);
    const std::string refusal = list->ClaimPort(portNo, camera);
    if (!refusal.empty()) {
        WriteLog(context, 1, "openCVLPort: ERROR: %s, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 refusal.c_str(), grabberNo, portNo, cameraName);
        return false;
    }
    PortClaim claim(list.operator->(), portNo, camera);
    if (!camera->Open(portNo, imageSize, suffix)) {
        WriteLog(context, 1,
                 "openCVLPort: ERROR: camera not opened, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 grabberNo, portNo, cameraName);
        return false;
    }
    claim.Opened();
    WriteLog(context, 2, "openCVLPort: leaving -- Camera %s OPENED on port %d\n",
             camera->GetName().c_str(), portNo);
    return true;
}

}  // namespace

extern "C" {

int initialize(const char* systemPath, DebugMsgProc proc) {
    DriverContext* context = DriverContext::Instance();
    return Guarded(
        0,
        [&] {
            if (systemPath != nullptr && systemPath[0] != '\0') {
                context->SetSystemPath(systemPath);
            }
            context->debugMsgProc = proc;
            WriteLog(context, 2, "===============\ninitialize: \n");
            int count = 0;
            {
                std::unique_lock<std::recursive_mutex> lifetime = LockLifetime();
                if (context->refCount == 0) {
                    icon::setErrorHandler(ErrorHandlerInstance());
                }
                context->finalized = false;
                count = ++context->refCount;
            }
            platform::LocalTime now = platform::GetLocalTime();
            WriteLog(context, 1,
                     "initialize: VaveZAZ camera driver V%s, refcount=%d, %d-%d-%d %d:%d:%d\n",
                     kVersionText, count, now.year, now.month, now.day, now.hour, now.minute,
                     now.second);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1, "initialize: --EXCEPTION caught : %s\n", what);
        },
        [&] { WriteLog(context, 1, "initialize: VaveZAZ camera driver -- EXCEPTION occured\n"); });
}

int finalize(void) {
    DriverContext* context = DriverContext::Instance();
    return Guarded(
        0,
        [&] {
            WriteLog(context, 2, "finalize: entering, refcount=%d\n", context->refCount.load());
            int count = 0;
            bool tooOften = false;
            {
                std::unique_lock<std::recursive_mutex> lifetime = LockLifetime();
                count = context->refCount.load();
                tooOften = count <= 0;
                // The count changes only once the teardown has succeeded: from
                // inside a completion callback the list refuses to go, and the
                // host's next finalize must still be the last one.
                if (count == 1) {
                    DestroyCameraList(context);
                    icon::removeErrorHandler();
                    icon::closeApi();
                }
                if (!tooOften) {
                    count = --context->refCount;
                }
            }
            if (tooOften) {
                WriteLog(context, 1,
                         "finalize: ERROR: called more often than initialize, refcount=%d\n",
                         count);
                return 0;
            }
            WriteLog(context, 2, "finalize: leaving, refcount=%d\n", count);
            return 1;
        },
        [&](const char* what) { WriteLog(context, 1, "finalize: --EXCEPTION caught: %s\n", what); },
        [&] { WriteLog(context, 1, "finalize: --EXCEPTION occured \n"); });
}

int setSystemPath(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    DriverContext* context = DriverContext::Instance();
    return Guarded(
        0,
        [&] {
            context->SetSystemPath(path);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1, "setSystemPath: --EXCEPTION caught: %s\n", what);
        },
        [&] { WriteLog(context, 1, "setSystemPath: --EXCEPTION caught \n"); });
}

void setDebugMsgProc(DebugMsgProc proc) {
    DriverContext::Instance()->debugMsgProc = proc;
}

int getCVLMaxNoOfGrabbers(void) {
    return 1;
}

int getCVLMaxNoOfPorts(void) {
    return 20;
}

int getCVLNoOfSupportedCameras(void) {
    try {
        return CameraList::GetInstanceForListing()->GetConfigCount();
    } catch (...) {
        return 0;
    }
}

const char** getCVLCameraConfigNames(void) {
    try {
        return CameraList::GetInstanceForListing()->GetConfigNames();
    } catch (...) {
        return nullptr;
    }
}

int openCVLPort(int grabberNo, int portNo, const char* cameraName, int* imageSize) {
    DriverContext* context = DriverContext::Instance();
    if (!Present(context, imageSize, "openCVLPort", "imageSize", grabberNo, portNo)) {
        return 0;
    }
    imageSize[1] = 0;
    imageSize[0] = 0;
    WriteLog(context, 2, "openCVLPort: entering grabberNo=%d, portNo=%d, cameraName=%s\n",
             grabberNo, portNo, Text(cameraName));
    const int opened = Guarded(
        0,
        [&] {
            if (!ValidPort(context, "openCVLPort", grabberNo, portNo, Text(cameraName))) {
                return 0;
            }
            if (IsUndefinedCamera(cameraName)) {
                WriteLog(context, 1,
                         "openCVLPort: ERROR: undefined camera, grabberNo=%d, portNo=%d, "
                         "cameraName=%s\n",
                         grabberNo, portNo, Text(cameraName));
                return 0;
            }
            return OpenPort(context, grabberNo, portNo, cameraName, imageSize) ? 1 : 0;
        },
        [&](const char* what) {
            WriteLog(context, 1, "openCVLPort: --EXCEPTION caught grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] {
            WriteLog(context, 1,
                     "openCVLPort: --EXCEPTION caught grabberNo=%d, portNo=%d, cameraName=%s\n",
                     grabberNo, portNo, Text(cameraName));
        });
    if (opened == 0) {
        imageSize[1] = 0;
        imageSize[0] = 0;
    }
    return opened;
}

void closeCVLPort(int grabberNo, int portNo) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 2, "closeCVLPort: entering grabberNo=%d, portNo=%d\n", grabberNo, portNo);
    Guarded(
        0,
        [&] {
            if (!ValidPort(context, "closeCVLPort", grabberNo, portNo, nullptr)) {
                return 0;
            }
            CameraList::Hold list = CameraList::GetInstance();
            Camera* camera = list->GetByPort(portNo);
            camera->Close(portNo);
            list->UnmapCamera(portNo, camera);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1, "closeCVLPort: --EXCEPTION caught  grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] {
            WriteLog(context, 1, "closeCVLPort: --EXCEPTION caught  grabberNo=%d, portNo=%d\n",
                     grabberNo, portNo);
        });
    WriteLog(context, 2, "closeCVLPort: leaving grabberNo=%d, portNo=%d\n", grabberNo, portNo);
}

int doCVLGrab(int grabberNo, int portNo) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 2, "doCVLGrab entering grabberNo=%d portNo=%d\n", grabberNo, portNo);
    return Guarded(
        0,
        [&] {
            if (!CameraList::GetInstance()->GetByPort(portNo)->Grab()) {
                return 0;
            }
            WriteLog(context, 2, "doCVLGrab: leaving grabberNo=%d portNo=%d\n", grabberNo, portNo);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1, "doCVLGrab: --EXCEPTION caught  grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] {
            WriteLog(context, 1, "doCVLGrab: --EXCEPTION caught  grabberNo=%d portNo=%d\n",
                     grabberNo, portNo);
        });
}

int getCVLGrabRow(int grabberNo, int portNo, void* buffer, int row, int firstColumn,
                  int lastColumn) {
    DriverContext* context = DriverContext::Instance();
    // Rows are read by the thousand per image: a filtered-out line must not
    // cost a call.
    if (context->Logs(4)) {
        WriteLog(context, 4, "getCVLGrabRow: entering row=%d  grabberNo=%d  portNo=%d\n", row,
                 grabberNo, portNo);
    }
    if (!Present(context, buffer, "getCVLGrabRow", "buffer", grabberNo, portNo)) {
        return 0;
    }
    if (CopyRowInsideGate(portNo, row, firstColumn, lastColumn, buffer)) {
        if (context->Logs(4)) {
            WriteLog(context, 4, "getCVLGrabRow: leaving row=%d  grabberNo=%d  portNo=%d\n", row,
                     grabberNo, portNo);
        }
        return 1;
    }
    return Guarded(
        0,
        [&] {
            std::string problem;
            const RowCopy copy =
                CopyRowLocked(portNo, row, firstColumn, lastColumn, buffer, &problem);
            if (copy == RowCopy::kNoRow) {
                if (!problem.empty()) {
                    WriteLog(context, 1, "%s", problem.c_str());
                }
                return 0;
            }
            if (copy == RowCopy::kBadColumns) {
                WriteLog(context, 1,
                         "getCVLGrabRow: ERROR: invalid column range %d to %d, grabberNo=%d, "
                         "portNo=%d\n",
                         firstColumn, lastColumn, grabberNo, portNo);
                return 0;
            }
            WriteLog(context, 4, "getCVLGrabRow: leaving row=%d  grabberNo=%d  portNo=%d\n", row,
                     grabberNo, portNo);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1, "getCVLGrabRow: --EXCEPTION caught grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] { WriteLog(context, 1, "getCVLGrabRow: --EXCEPTION caught \n"); });
}

int setHWTrigger(int grabberNo, int portNo) {
    DriverContext* context = DriverContext::Instance();
    return Guarded(
        0,
        [&] {
            WriteLog(context, 2, "setHWTrigger: ");
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1, "setHWTrigger: --EXCEPTION caught grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] { WriteLog(context, 1, "setHWTrigger: --EXCEPTION caught \n"); });
}

int setCompleteCallback(int grabberNo, int portNo, CompleteCallback callback) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 2, "setCompleteCallback: entering grabberNo=%d   portNo=%d\n", grabberNo,
             portNo);
    return Guarded(
        0,
        [&] {
            CameraList::GetInstance()->GetByPort(portNo)->SetCompleteCallback(portNo, callback);
            WriteLog(context, 2, "setCompleteCallback: leaving grabberNo=%d   portNo=%d\n",
                     grabberNo, portNo);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1,
                     "setCompleteCallback: --EXCEPTION caught grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] { WriteLog(context, 1, "setCompleteCallback: --EXCEPTION caught \n"); });
}

int getPropertyRange(int grabberNo, int portNo, const char* property, int* minimum, int* maximum) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 2, "getPropertyRange: entering grabberNo=%d   portNo=%d\n", grabberNo,
             portNo);
    if (!Present(context, property, "getPropertyRange", "property", grabberNo, portNo) ||
        !Present(context, minimum, "getPropertyRange", "minimum", grabberNo, portNo) ||
        !Present(context, maximum, "getPropertyRange", "maximum", grabberNo, portNo)) {
        return 0;
    }
    return Guarded(
        0,
        [&] {
            CameraList::Hold list = CameraList::GetInstance();
            Camera* camera = list->GetByPort(portNo);
            if (!camera->GetRange(portNo, property, minimum, maximum)) {
                return 0;
            }
            WriteLog(context, 2, "getPropertyRange: leaving grabberNo=%d   portNo=%d\n", grabberNo,
                     portNo);
            return 1;
        },
        [&](const char* what) {
            WriteLog(context, 1,
                     "getPropertyRange: --EXCEPTION caught grabberNo=%d, portNo=%d: %s\n",
                     grabberNo, portNo, what);
        },
        [&] { WriteLog(context, 1, "getPropertyRange: --EXCEPTION caught \n"); });
}

int getProperty(int grabberNo, int portNo, const char* property, int* value) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 3, "getProperty: portNo=%d, prop=%s\n", portNo, Text(property));
    if (!Present(context, property, "getProperty", "property", grabberNo, portNo) ||
        !Present(context, value, "getProperty", "value", grabberNo, portNo)) {
        return 0;
    }
    return Guarded(
        0,
        [&] {
            CameraList::Hold list = CameraList::GetInstance();
            Camera* camera = list->GetByPort(portNo);
            return camera->GetProperty(portNo, property, value) ? 1 : 0;
        },
        [&](const char* what) {
            WriteLog(context, 1,
                     "getProperty: --EXCEPTION caught grabberNo=%d, portNo=%d, property=%s: %s\n",
                     grabberNo, portNo, property, what);
        },
        [&] { WriteLog(context, 1, "--EXCEPTION caught at getProperty\n"); });
}

int setProperty(int grabberNo, int portNo, const char* property, int value) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 3, "setProperty: portNo=%d\n", portNo);
    if (!Present(context, property, "setProperty", "property", grabberNo, portNo)) {
        return 0;
    }
    return Guarded(
        0,
        [&] {
            CameraList::Hold list = CameraList::GetInstance();
            Camera* camera = list->GetByPort(portNo);
            return camera->SetProperty(portNo, property, value) ? 1 : 0;
        },
        [&](const char* what) {
            WriteLog(context, 1,
                     "setProperty: --EXCEPTION caught grabberNo=%d, portNo=%d, property=%s, "
                     "value=%d: %s\n",
                     grabberNo, portNo, property, value, what);
        },
        [&] { WriteLog(context, 1, "setProperty: --EXCEPTION caught \n"); });
}

int configureCamera(HWND parent, const char* cameraName) {
    DriverContext* context = DriverContext::Instance();
    WriteLog(context, 2, "configureCamera: entering cameraName=%s\n", Text(cameraName));
    int result = 1;
    try {
        CameraList::Hold list = CameraList::GetInstance();
        if (cameraName == nullptr || !list->IsCameraAvailable(cameraName)) {
            WriteLog(context, 1, "configureCamera: ERROR: cannot find camera by name: %s\n",
                     Text(cameraName));
            return 0;
        }
        Camera* camera = list->GetByName(cameraName);
        if (camera->Configure(parent, GetImageSuffix(cameraName))) {
            result = 0;
        }
    } catch (const std::exception& e) {
        WriteLog(context, 1, "configureCamera: --EXCEPTION caught cameraName=%s: %s\n",
                 Text(cameraName), e.what());
    } catch (...) {
        WriteLog(context, 1, "configureCamera --EXCEPTION , cameraName=%s\n", Text(cameraName));
    }
    WriteLog(context, 2, "configureCamera: leaving cameraName=%s\n", Text(cameraName));
    return result;
}

}  // extern "C"
