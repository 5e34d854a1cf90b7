#pragma once
// The folder the tool shares with the host: "<temp>/MVTempDir/". It holds the server
// list and the open-document and query result files (and, where pipes are stood in for
// by sockets, those too). Because another program's files are trusted from here, the
// folder must be private: owned by the current user and writable by nobody else. A folder
// that fails that check is treated as one that cannot be created.
//
// Each function builds its path afresh (creating missing folders, private) and returns
// empty text when the folder cannot be created or is refused. Nothing here raises.

#include <string>

namespace dz {

// "<temp>/MVTempDir/" with its trailing delimiter, or empty.
std::string MVTempDir();

// The server list file "<temp>/MVTempDir/MVX-EXCHANGELOCALSERVICE.TXT", or empty.
std::string ServerListFileName();

}  // namespace dz
