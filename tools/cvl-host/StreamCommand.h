#pragma once

#include "tools/cvl-host/Commands.h"

// `cvl-host grab --continuous --duration SECONDS`: streams in continuous
// mode, prints one status line per second and a summary. Returns the exit
// status.
int RunStream(HostSession& session, const CommandOptions& options);
