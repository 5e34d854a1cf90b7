#pragma once
// Operating-system services used by the layers above. This folder is the only place
// that knows which operating system it runs on.
//
// Failures are reported by return value (empty text, false, -1); nothing here throws.

#include <cstdint>
#include <string>

namespace dz {

// The user's temporary folder with a trailing path delimiter ("$TMPDIR/" or "/tmp/").
std::string TempPath();

// The path delimiter of this platform ("/").
constexpr char PathDelim = '/';

// The folder of the running program, with a trailing path delimiter; empty if unknown.
std::string ProgramDir();

// A fresh random version-4 GUID as upper-case text 8-4-4-4-12, without braces.
std::string NewGuidText();

int CurrentProcessId();
int ParentProcessId();

void SleepMs(int milliseconds);

// Creates the folder (mode 0700) if missing and checks that it is a private folder:
// a directory (not a link) owned by the current user and not writable by group or
// others. Returns false when it cannot be created or fails the check.
bool EnsurePrivateDir(const std::string& path);

// Monotonic clock in seconds, for stopwatches and timeouts.
double MonotonicSeconds();

// Reads a whole file into `out`; false on any failure (out is then empty).
bool ReadWholeFile(const std::string& path, std::string& out);

// Writes a whole file (replacing it); false on any failure.
bool WriteWholeFile(const std::string& path, const std::string& data);

bool FileExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool DeleteFile(const std::string& path);

// Makes a path absolute against the working folder (no link resolution).
std::string AbsolutePath(const std::string& path);

}  // namespace dz
