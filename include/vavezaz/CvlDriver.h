#pragma once

// The CVL driver interface: the 18 functions a host calls, and its two
// callback types. Installed as <vavezaz/CvlDriver.h>; it includes nothing and
// compiles as C and as C++. docs/host-interface.md walks through a host.
//
// Threads: every function may be called from any host thread, also at the
// same time, unless its comment says otherwise. The completion callback runs
// on a thread of the driver (a camera's receiving thread, a 3D port's
// announcing thread), the debug procedure on whichever thread logs, the
// host's own included. Inside a completion callback a host may grab, read
// rows and properties and set a callback, but not open or close a port of
// that camera, finalize or configure: those fail. No function throws; a
// failure is a result of 0 (1 for configureCamera) and a level 1 log line.
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
// Receives each log line up to the LogLevel setting: first its time stamp
// ("dd/mm/yy hh:mm:ss: ", no line feed), then the text, ending in a line
// feed. Called on whichever thread logs, one line at a time; it may call the
// driver back.
typedef void (*DebugMsgProc)(const char* text);
// Called once per image of the port when its rows are ready, on the driver's
// thread for that port; the result is ignored. A 3D port's image keeps its
// point count until the port's next image: read "Width" here.
typedef int (*CompleteCallback)(int grabberNo, int portNo);

#if defined(_WIN32)
#define CVL_EXPORT
#elif defined(__GNUC__)
#define CVL_EXPORT __attribute__((visibility("default")))
#else
#define CVL_EXPORT
#endif

// Starts a session: stores the system directory (where VaveZAZ.ini and
// VaveZAZ.log live; null or empty keeps the one stored) and the debug
// procedure (null for none). Calls nest: each needs its finalize. Returns 1;
// 0 after a failure it logs (from a callback while another thread
// initializes or finalizes).
CVL_EXPORT int initialize(const char* systemPath, DebugMsgProc proc);
// Ends the session begun by the matching initialize; the last one closes
// every open camera, and a configuration dialog still open then ends as
// Cancel would, nothing of it saved. Returns 1; 0 when called more often than
// initialize or from inside a callback.
CVL_EXPORT int finalize(void);
// Stores the system directory. Returns 1; 0 for null or empty text.
CVL_EXPORT int setSystemPath(const char* path);
// Replaces the debug procedure; null for none.
CVL_EXPORT void setDebugMsgProc(DebugMsgProc proc);
// Returns 1: grabberNo is accepted in every call and otherwise unused.
CVL_EXPORT int getCVLMaxNoOfGrabbers(void);
// Returns 20: ports 0 to 19 may each hold one open camera configuration.
CVL_EXPORT int getCVLMaxNoOfPorts(void);
// Searches the network on its first call (up to 2 seconds) and returns the
// number of configuration names, four per camera found.
CVL_EXPORT int getCVLNoOfSupportedCameras(void);
// The configuration names, "<camera>.1" to "<camera>.4" per camera, ending
// in a null entry. The array belongs to the driver and stays valid until
// the next call, a camera opened by address, or the last finalize: copy a
// name before keeping it.
CVL_EXPORT const char** getCVLCameraConfigNames(void);
// Opens cameraName (a configuration name, or "<IPv4 address>.<n>" before any
// search of the network) on portNo. imageSize (2 ints) receives the image's
// width and height in pixels: 0 and 0 on failure; for a 3D port 0 x 1, as
// it has no points until its first cloud, whose point count "Width" gives. Returns 1 when
// open; 0 otherwise. Not for a port of the camera whose callback is running.
CVL_EXPORT int openCVLPort(int grabberNo, int portNo, const char* cameraName, int* imageSize);
// Closes the port; the camera closes with its last port. Waits for a
// callback of that camera in progress. Not from that camera's callback.
CVL_EXPORT void closeCVLPort(int grabberNo, int portNo);
// Asks for the next image of the camera on portNo; its completion callback
// follows on the driver's thread. Returns 1 when asked (also while a grab is
// still pending); 0 for a port without a camera.
CVL_EXPORT int doCVLGrab(int grabberNo, int portNo);
// Copies row `row` (0 to height - 1) of the image last announced by the
// port's completion callback into buffer; that image is not written to until
// the port's next callback. (lastColumn - firstColumn + 1) pixels, lastColumn
// inclusive, always from the row's first pixel, cut to the row's length. A
// pixel is PixelSize / 8 bytes: 1 for grayscale, 12 (X, Y, Z floats) or 20
// (X, Y, Z, contrast, intensity) for a point. A 3D image is one row of
// "Width" points, none before its first cloud. Returns 1 when copied; 0 for a
// port without an image, a row or columns out of range.
CVL_EXPORT int getCVLGrabRow(int grabberNo, int portNo, void* buffer, int row, int firstColumn,
                             int lastColumn);
// Changes nothing; returns 1.
CVL_EXPORT int setHWTrigger(int grabberNo, int portNo);
// Sets the port's completion callback (null for none). Returns 1; 0 for a
// port without a camera.
CVL_EXPORT int setCompleteCallback(int grabberNo, int portNo, CompleteCallback callback);
// Reads the port's property (docs/properties.md) into *value. Returns 1 when
// read; 0 for an unknown name or a port without a camera.
CVL_EXPORT int getProperty(int grabberNo, int portNo, const char* property, int* value);
// Reads the property's range, both ends inclusive. Returns 1 when it has one;
// 0 otherwise.
CVL_EXPORT int getPropertyRange(int grabberNo, int portNo, const char* property, int* minimum,
                                int* maximum);
// Writes the property, in memory only. Returns 1 when stored; 0 otherwise,
// also for a value outside the setting's range (with a level 1 line).
CVL_EXPORT int setProperty(int grabberNo, int portNo, const char* property, int value);
// Shows the modal configuration dialog of a camera the driver knows, as a
// child of parent (null, or on X11 a window ID), and waits for it. Returns 0
// when the user saved the settings, and also for an unknown camera; 1 when
// cancelled or not shown. Not from a callback; one dialog at a time.
CVL_EXPORT int configureCamera(HWND parent, const char* cameraName);

#ifdef __cplusplus
}
#endif
