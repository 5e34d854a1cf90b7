#pragma once
// The window program: number format, application title, the main window and the event
// loop. main() hands its arguments here when it is not asked for the headless report.

namespace dz {

// The application title, also the caption of message boxes.
inline constexpr const char* kApplicationTitle = "Dirivararez";

// Runs the window until it is closed; returns the event loop's exit code.
int RunWindowProgram(int& argc, char** argv);

}  // namespace dz
