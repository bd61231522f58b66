#pragma once

// The CVL driver interface: the 18 functions a host calls, and its two
// callback types. Installed as <vavezaz/CvlDriver.h>; it includes nothing and
// compiles as C and as C++.

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
CVL_EXPORT int getCVLGrabRow(int grabberNo, int portNo, void* buffer, int row, int firstColumn,
                             int lastColumn);
CVL_EXPORT int setHWTrigger(int grabberNo, int portNo);
CVL_EXPORT int setCompleteCallback(int grabberNo, int portNo, CompleteCallback callback);
CVL_EXPORT int getProperty(int grabberNo, int portNo, const char* property, int* value);
CVL_EXPORT int getPropertyRange(int grabberNo, int portNo, const char* property, int* minimum,
                                int* maximum);
CVL_EXPORT int setProperty(int grabberNo, int portNo, const char* property, int value);
CVL_EXPORT int configureCamera(HWND parent, const char* cameraName);

#ifdef __cplusplus
}
#endif
