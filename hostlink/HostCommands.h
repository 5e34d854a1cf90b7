#pragma once
// The conversation with the host, as the rest of the tool sees it: a command name goes
// in, with optional text and an index, and a text answer comes out. Each call builds its
// own request, finds the host's server name, runs one TIPCClient exchange per attempt
// (5 s to connect) and extracts the reply's "DATA" text. Also the start-up choice of the
// host server that started this tool, and the server list the host keeps.
//
// All texts are 8-bit (Windows-1252); conversions to the wire's UTF-16 happen here.
// Failures are values: a host that is missing, busy or silent gives empty text. The one
// exception is ReadServerList, whose last failed attempt to load an existing but
// unreadable list raises dz::Exception (at once for a list that is no regular file or
// larger than 1 MiB).

#include <cstdint>
#include <string>
#include <vector>

namespace dz {

// Connection time-out of every host call, in milliseconds.
constexpr std::uint32_t HostCallTimeOut = 5000;

// One attempt against the named server: "COMMAND", "INDEX" = -1, "DATA" (left out when
// empty), "SYNC" = true. The answer is the reply's "DATA", also from a reply that was cut
// short; `answered` (optional) receives whether the reply arrived complete.
std::string ReadIPCValueFrom(const std::string& command, const std::string& server,
                             const std::string& data, bool* answered = nullptr);

// Up to three attempts against the current server, 50 ms apart; the last answer counts.
// `answered` (optional) receives whether an attempt got its reply complete: an empty
// answer alone cannot tell a host that said nothing from one that never replied.
std::string ReadIPCValueSync(const std::string& command, const std::string& data,
                             bool* answered = nullptr);

// Delivers `data` with `index` and no "SYNC": up to three attempts, 50 ms apart, ending at
// the first answered one. Empty data sends nothing. Returns whether an attempt was
// answered, so that a caller can tell the user when a delivery did not arrive.
bool WriteIPCValueASync(const std::string& data, std::int32_t index, const std::string& command);

// Loads the server list file (retrying a file that exists but cannot be read, up to 100
// times 100 ms apart, then raising). Fills `lines` (if given) with all its lines and
// returns the first; empty text when there is no list.
std::string ReadServerList(std::vector<std::string>* lines = nullptr);

// The process-wide cached server name, guarded by a lock.
std::string GetCachedServerName();
void SetCachedServerName(const std::string& name);

// The server host calls go to: the cached name, or else the list's first line.
std::string CurrentServerName();

// Picks the server of the host that started this process (the one whose "SERVERPROCESS"
// answer carries our parent's process ID), caches and returns it; empty text when none
// could be told apart, leaving the list's first line in use.
std::string DetectHostServer();

// Cuts `text` at every occurrence of `separator`: empty text gives no parts, and a
// separator at the very end gives no empty last part.
std::vector<std::string> SplitAt(const std::string& text, char separator);

// For tests: attempts and pause for loading an unreadable server list.
void SetServerListRetry(int attempts, int pauseMs);

}  // namespace dz
