#pragma once
// The wire layout of one message on a host connection, the same in both directions:
//   int64 LE  I = identifier length, then I bytes of identifier (8-bit text)
//   int64 LE  D = data size, then D bytes: the message's value store
// After its last exchange the client sends the farewell, the int64 -1, and closes.
//
// Data moves in pieces of PipePieceSize bytes. A reader never trusts the announced
// sizes for memory: it grows its buffers only by what actually arrived.
//
// Failures are values (false); nothing here raises.

#include <cstddef>
#include <cstdint>
#include <string>

#include "hostlink/MessageData.h"
#include "platform/ByteChannel.h"

namespace dz {

constexpr std::size_t PipePieceSize = 65536;
constexpr std::int64_t PipeFarewell = -1;

// Writes the message: identifier length and identifier in one write, the data size in a
// second, then the store from offset 0 in pieces, one write each.
bool WritePipeMessage(ByteChannel& channel, IMessageData& message);

// The whole message as it goes on the wire, for a sender that writes it in one go.
std::string PipeMessageBytes(IMessageData& message);

// Reads a 64-bit little-endian count; false when fewer than 8 bytes arrived.
bool ReadPipeCount(ByteChannel& channel, std::int64_t& value);

// Reads the rest of a message whose identifier length was already read: the identifier
// (when the length is above 0), the data size and the data (when above 0), appended raw
// to `into`'s store. On failure the bytes that did arrive stay in `into`.
bool ReadPipeMessageBody(ByteChannel& channel, std::int64_t idLength, IMessageData& into);

// Writes the farewell; the result tells whether it went out.
bool WritePipeFarewell(ByteChannel& channel);

}  // namespace dz
