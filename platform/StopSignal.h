#pragma once
// Turning the operating system's requests to stop (SIGTERM, SIGINT, SIGHUP; on Windows the
// console's Ctrl+C, Ctrl+Break and close events) into a handle that a server can wait on
// beside its listener, so that it stops in order: unregisters, removes its pipe, finishes its
// open connections.

#include "platform/NativeHandle.h"

namespace dz {

// Installs the handlers (once per process) and returns the handle that becomes signalled
// (readable) when a stop was requested; kNoHandle when that could not be set up. Only a
// listener's Accept and WaitUntilWoken understand it.
NativeHandle InstallStopSignals();

// True once a stop was requested.
bool StopRequested();

}  // namespace dz
