#pragma once
// Turning the operating system's requests to stop (SIGTERM, SIGINT, SIGHUP) into a
// descriptor that a server can wait on beside its listening socket, so that it stops in
// order: unregisters, removes its socket file, finishes its open connections.

namespace dz {

// Installs the handlers (once per process) and returns the descriptor that becomes
// readable when a stop was requested; -1 when that could not be set up.
int InstallStopSignals();

// True once a stop was requested.
bool StopRequested();

}  // namespace dz
