#pragma once
// The folder the tool shares with the host: "<temp>/MVTempDir/". It holds the server
// list, the open-document and query result files, and (in "pipe/") the sockets of the
// host servers. Because another program's files and sockets are trusted from here, the
// folder must be private: a directory owned by the current user and writable by nobody
// else. A folder that fails that check is treated as one that cannot be created.
//
// Each function builds its path afresh (creating missing folders, mode 0700) and returns
// empty text when the folder cannot be created or is refused. Nothing here raises.

#include <string>

namespace dz {

// "<temp>/MVTempDir/" with its trailing delimiter, or empty.
std::string MVTempDir();

// "<temp>/MVTempDir/pipe/" where host servers put their sockets, or empty.
std::string PipeSocketFolder();

// The server list file "<temp>/MVTempDir/MVX-EXCHANGELOCALSERVICE.TXT", or empty.
std::string ServerListFileName();

}  // namespace dz
