#pragma once
// The host's side of the server list file: each running server puts its name in while it
// serves and takes it out when it stops. The first line is the default server. Several
// servers edit the file at once, so every edit holds a lock and replaces the file in one
// step (a reader never sees half a list).

#include <string>
#include <vector>

namespace dz::hostsim {

// Adds `name` (first line when `asDefault`, else last line), dropping stale lines of the
// same name first. False when the list cannot be written.
bool RegisterServerName(const std::string& name, bool asDefault);

// Removes the line of `name` (one line: a second server of the same name cannot exist,
// the socket refuses it). False when the list cannot be written.
bool UnregisterServerName(const std::string& name);

// The lines of the list as the host wrote them.
std::vector<std::string> ServerListLines();

}  // namespace dz::hostsim
