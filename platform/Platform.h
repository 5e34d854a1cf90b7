#pragma once
// Operating-system services used by the layers above. This folder is the only place
// that knows which operating system it runs on; the implementations live in posix/ and
// win32/ beside this header, one of which the build picks.
//
// Paths are 8-bit (Windows-1252) text everywhere above this layer; where the system wants
// UTF-16 names, the conversion happens inside these functions.
//
// Failures are reported by return value (empty text, false, -1); nothing here throws.

#include <cstdint>
#include <string>

namespace dz {

// The user's temporary folder with a trailing path delimiter ("$TMPDIR/" or "/tmp/" here,
// what GetTempPathW names on Windows).
std::string TempPath();

// The environment variable that steers TempPath, for this process and its children
// ("TMPDIR" or "TMP").
const char* TempFolderVariable();

// The path delimiter of this platform.
#ifdef _WIN32
constexpr char PathDelim = '\\';
#else
constexpr char PathDelim = '/';
#endif

// The file-name ending of programs ("" here, ".exe" on Windows).
const char* ProgramSuffix();

// The folder of the running program, with a trailing path delimiter; empty if unknown.
std::string ProgramDir();

// A fresh random version-4 GUID as upper-case text 8-4-4-4-12, without braces.
std::string NewGuidText();

int CurrentProcessId();
// The process that started this one; 0 when it cannot be told.
int ParentProcessId();

void SleepMs(int milliseconds);

// Creates the folder if missing, private to the current user, and checks that an existing
// one is private: a directory (not a link) owned by the current user that nobody else may
// write to (here: mode without group/other write; on Windows: no access granted to another
// account). Returns false when it cannot be created or fails the check.
bool EnsurePrivateDir(const std::string& path);

// Whether a file another program keeps open may still be deleted or replaced (here yes;
// on Windows an open file blocks that), so that keeping a file open between uses does not
// get in anybody's way.
bool OpenFilesMayBeReplaced();

// Monotonic clock in seconds, for stopwatches and timeouts.
double MonotonicSeconds();

// Reads a whole file into `out`; false on any failure (out is then empty).
bool ReadWholeFile(const std::string& path, std::string& out);

// Writes a whole file (replacing it); false on any failure.
bool WriteWholeFile(const std::string& path, const std::string& data);

// Appends `data` to the file, creating it if missing; false on any failure.
bool AppendToFile(const std::string& path, const std::string& data);

bool FileExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
bool RemoveFile(const std::string& path);

// Creates the folder and every missing parent; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// The path for libraries that take UTF-8 file names on Windows (the database engine): there
// it is converted from Windows-1252, here the bytes stay as they are.
std::string Utf8ApiPath(const std::string& path);

// Makes a path absolute against the working folder (no link resolution).
std::string AbsolutePath(const std::string& path);

// Sets or removes a variable of this process's environment, which children started
// afterwards inherit. False when the system refused.
bool SetEnvironmentValue(const std::string& name, const std::string& value);
bool UnsetEnvironmentValue(const std::string& name);
// The value of a variable; false (and `value` empty) when it is not set.
bool ReadEnvironmentValue(const std::string& name, std::string& value);

// Creates a new folder "<parent><prefix><random>" that did not exist before and returns it
// with a trailing delimiter; empty on failure. `parent` ends with a delimiter.
std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix);

// Removes a folder with everything in it; false when something stayed.
bool RemoveFolderTree(const std::string& path);

// Grants other users write access to an existing folder: how tests make a folder that is
// not private. `everyone` false grants it to a group only (the folder's group here, the
// local users on Windows). False when the system refused.
bool OpenFolderToOthers(const std::string& path, bool everyone);

// True where named FIFOs exist in the file system (they do not on Windows), and making
// one (false where there are none).
bool PlatformHasFifos();
bool MakeFifo(const std::string& path);

// Reads `key` of `section` from an INI file (names compared without regard to case).
// False when the file cannot be read or has no such key; `value` is then empty.
bool ReadIniValue(const std::string& path, const std::string& section, const std::string& key,
                  std::string& value);

// The account this process runs as, as text (the user ID here, the SID string on Windows),
// and whether `identity` names that same account. Servers are only trusted when they run as
// the current user; the comparison is the one that check uses.
std::string CurrentUserIdentity();
bool IsCurrentUserIdentity(const std::string& identity);

}  // namespace dz
