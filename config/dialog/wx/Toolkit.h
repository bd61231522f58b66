#pragma once

#include <string>

// Starts the GUI toolkit on the calling thread, which becomes the toolkit's
// thread for good. Never exits or aborts the process: without a usable
// display it returns false and says why in `error`. The process's C locale is
// left as it was. Called only by ToolkitThread.
bool StartToolkit(std::string& error);

// Queues `call` for the toolkit's thread, from any thread, once the toolkit
// has started.
void PostToToolkit(void (*call)());

// Lets the toolkit finish what the last window left behind (destroyed
// windows, pending deletions, requests not yet sent to the display).
void SettleToolkit();
