#pragma once

#include <functional>
#include <string>

// Starts the GUI toolkit on the calling thread, which becomes the toolkit's
// thread for good. Never exits or aborts the process: without a usable
// display it returns false and says why in `error`. The process's C locale is
// left as it was. Called only by ToolkitThread.
bool StartToolkit(std::string& error);

// Whether the host process started the toolkit itself (a wxWidgets host has
// its own application object): the driver then starts none of its own.
bool HostStartedToolkit();

// Runs `job` on the host's GUI thread and returns when it has finished,
// passing on what it threw: at once when called on that thread (a dialog is
// then modal in the host's own event loop), else queued to it while the
// calling thread waits. A host whose GUI thread waits for the caller would
// never run it, as with any call queued to a blocked thread.
void RunOnHostToolkit(const std::function<void()>& job);

// Queues `call` for the toolkit's thread, from any thread, once the toolkit
// has started.
void PostToToolkit(void (*call)());

// Lets the toolkit finish what the last window left behind (destroyed
// windows, pending deletions, requests not yet sent to the display).
void SettleToolkit();
