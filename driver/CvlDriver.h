#pragma once

// The CVL driver interface: the 18 functions a host calls, and its two
// callback types. Installed as <vavezaz/CvlDriver.h>; it includes nothing and
// compiles as C and as C++.
//
// initialize and finalize nest by count. The finalize that ends the last
// initialize closes every camera. From then until the next initialize, every
// call that names a port or a camera (openCVLPort, closeCVLPort, doCVLGrab,
// getCVLGrabRow, setCompleteCallback, getProperty, getPropertyRange,
// setProperty, configureCamera) is refused: it answers its failure result
// (0; 1 for configureCamera; nothing for closeCVLPort) and logs a level 1
// line saying the driver is finalized. getCVLNoOfSupportedCameras and
// getCVLCameraConfigNames still answer. A host that never calls initialize,
// and sets the system directory and debug procedure itself, is not refused.

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
/* The system's window handle, declared as <windows.h> declares it. */
typedef struct HWND__* HWND;
#else
typedef void* HWND;
#endif
typedef void (*DebugMsgProc)(const char* text);
typedef int (*CompleteCallback)(int grabberNo, int portNo);

#if defined(_WIN32)
#define CVL_EXPORT
#elif defined(__GNUC__)
#define CVL_EXPORT __attribute__((visibility("default")))
#else
#define CVL_EXPORT
#endif

CVL_EXPORT int initialize(const char* systemPath, DebugMsgProc proc);
/* Closes every camera when it ends the last initialize; a configuration
   dialog still open then ends as Cancel would, and nothing of it is saved. */
CVL_EXPORT int finalize(void);
CVL_EXPORT int setSystemPath(const char* path);
CVL_EXPORT void setDebugMsgProc(DebugMsgProc proc);
CVL_EXPORT int getCVLMaxNoOfGrabbers(void);
CVL_EXPORT int getCVLMaxNoOfPorts(void);
CVL_EXPORT int getCVLNoOfSupportedCameras(void);
CVL_EXPORT const char** getCVLCameraConfigNames(void);
CVL_EXPORT int openCVLPort(int grabberNo, int portNo, const char* cameraName, int* imageSize);
CVL_EXPORT void closeCVLPort(int grabberNo, int portNo);
CVL_EXPORT int doCVLGrab(int grabberNo, int portNo);
/* Copies a row of the image last announced by the port's completion
   callback; it is not written to until the port's next callback. A 3D port
   has one row, of "Width" points, none before its first cloud. */
CVL_EXPORT int getCVLGrabRow(int grabberNo, int portNo, void* buffer, int row, int firstColumn,
                             int lastColumn);
CVL_EXPORT int setHWTrigger(int grabberNo, int portNo);
CVL_EXPORT int setCompleteCallback(int grabberNo, int portNo, CompleteCallback callback);
CVL_EXPORT int getProperty(int grabberNo, int portNo, const char* property, int* value);
CVL_EXPORT int getPropertyRange(int grabberNo, int portNo, const char* property, int* minimum,
                                int* maximum);
/* A value outside the setting's range is refused (0, with a level 1 line). */
CVL_EXPORT int setProperty(int grabberNo, int portNo, const char* property, int value);
CVL_EXPORT int configureCamera(HWND parent, const char* cameraName);

#ifdef __cplusplus
}
#endif
