#pragma once

#include "vavezaz/CvlDriver.h"

class wxTopLevelWindow;

// The host's parent handle on this platform: null for none, or the X11 window
// ID of a host window (the XID, cast to the handle type). The driver's window
// is made transient for it, so that a window manager keeps it above the
// host's window and with it. A handle that names no window is logged and
// ignored. Call on the toolkit's thread before the window is shown.
void MakeTransientForHost(wxTopLevelWindow& window, HWND parent);
