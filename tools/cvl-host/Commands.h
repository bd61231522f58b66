#pragma once

#include <string>
#include <vector>

#include "tools/cvl-host/HostSession.h"

struct CommandOptions {
    std::string camera;  // configuration name; empty: the first one offered
    int port = 1;
    int count = 3;
    bool continuous = false;
    double durationSeconds = 0.0;  // above 0: stream this long instead of writing images
    std::string outputDir;
    std::vector<std::string> settings;  // NAME=VALUE for props
    int timeoutMs = 10000;
    bool openFirst = false;          // configure: open the port first
    unsigned long parentWindow = 0;  // configure: X11 window the dialog belongs to
    std::string snapshotPng;         // view: the last picture drawn, written on closing
    double closeAfterSeconds = 0.0;  // view: above 0: close the window after this long
};

int RunInfo(HostSession& session);
int RunList(HostSession& session);
int RunGrab(HostSession& session, const CommandOptions& options);
int RunProps(HostSession& session, const CommandOptions& options);
int RunConfigure(HostSession& session, const CommandOptions& options, const std::string& systemDir);
// A live viewer: needs a display.
int RunView(HostSession& session, const CommandOptions& options, const std::string& systemDir);
