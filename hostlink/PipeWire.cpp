#include "hostlink/PipeWire.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace dz {

namespace {

void PutCount(unsigned char* out, std::int64_t value) {
  auto v = static_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

bool WritePipeMessage(ByteChannel& channel, IMessageData& message) {
  const std::string& id = message.ID();
  std::string head(8, '\0');
  PutCount(reinterpret_cast<unsigned char*>(head.data()), static_cast<std::int64_t>(id.size()));
  head += id;
  if (!WriteAll(channel, head.data(), head.size())) return false;

  TStreamStorage& data = message.Data();
  unsigned char size[8];
  PutCount(size, data.Size());
  if (!WriteAll(channel, size, sizeof size)) return false;
  data.SetPosition(0);
  for (;;) {
    std::string_view piece = data.ReadPiece(PipePieceSize);
    if (piece.empty()) break;
    if (!WriteAll(channel, piece.data(), piece.size())) return false;
  }
  return true;
}

std::string PipeMessageBytes(IMessageData& message) {
  const std::string& id = message.ID();
  const std::string& data = message.Data().Bytes();
  std::string out(16 + id.size() + data.size(), '\0');
  auto* p = reinterpret_cast<unsigned char*>(out.data());
  PutCount(p, static_cast<std::int64_t>(id.size()));
  std::memcpy(p + 8, id.data(), id.size());
  PutCount(p + 8 + id.size(), static_cast<std::int64_t>(data.size()));
  std::memcpy(p + 16 + id.size(), data.data(), data.size());
  return out;
}

bool ReadPipeCount(ByteChannel& channel, std::int64_t& value) {
  unsigned char b[8];
  if (!ReadExact(channel, b, sizeof b)) return false;
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  value = static_cast<std::int64_t>(v);
  return true;
}

bool ReadPipeMessageBody(ByteChannel& channel, std::int64_t idLength, IMessageData& into) {
  std::vector<char> buffer;
  // Reads `total` bytes in pieces, handing each to `sink`; the buffer is sized by the
  // piece, never by the announced total.
  auto readPieces = [&](std::int64_t total, auto&& sink) {
    std::int64_t done = 0;
    while (done < total) {
      std::size_t want = static_cast<std::size_t>(
          std::min<std::int64_t>(total - done, static_cast<std::int64_t>(PipePieceSize)));
      if (buffer.size() < want) buffer.resize(PipePieceSize);
      std::ptrdiff_t n = channel.Read(buffer.data(), want);
      if (n <= 0) return false;
      sink(buffer.data(), static_cast<std::size_t>(n));
      done += n;
    }
    return true;
  };

  if (idLength > 0) {
    std::string id;
    bool ok = readPieces(idLength, [&](const char* p, std::size_t n) { id.append(p, n); });
    into.SetID(id);
    if (!ok) return false;
  }
  std::int64_t dataSize = 0;
  if (!ReadPipeCount(channel, dataSize)) return false;
  if (dataSize > 0) {
    TStreamStorage& data = into.Data();
    if (!readPieces(dataSize, [&](const char* p, std::size_t n) { data.AppendRaw(p, n); }))
      return false;
  }
  return true;
}

bool WritePipeFarewell(ByteChannel& channel) {
  unsigned char b[8];
  PutCount(b, PipeFarewell);
  return WriteAll(channel, b, sizeof b);
}

}  // namespace dz
