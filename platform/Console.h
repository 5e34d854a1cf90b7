#pragma once
// What a command-line program gets from the system at start: its arguments and its
// standard output. Nothing here throws.

#include <string>
#include <vector>

namespace dz {

// Makes standard output carry bytes as they are written: the Windows C runtime would turn
// every line feed into CR LF, and a report must be the same bytes on every system. Call it
// before anything is written to standard output.
void SetBinaryStdout();

// On Windows the window program has no console of its own (the host starts it, and no
// console window must open). Started from a command prompt without redirection, it has no
// standard output or error either: this attaches the missing ones to that prompt's console.
// Handles it was given (a pipe, a file) stay. Elsewhere nothing happens.
void UseParentConsole();

// The program's arguments without the program name, as Windows-1252 text. On Windows they
// are read as UTF-16 from the system, since `argv` there is in the ANSI code page, which need
// not be Windows-1252; elsewhere `argv` holds them as they are.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace dz
