#pragma once
// A two-way byte stream between this process and a peer: the socket to a host server in
// production, a buffer when the reply reading is fuzzed, a wrapper that fails on purpose
// in tests. Everything above it speaks only this interface, so the wire handling can be
// tried without a real peer.
//
// Failures are values: Read and Write return -1 (the channel is then unusable), Read
// returns 0 at the end of the stream. Nothing here throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dz {

class ByteChannel {
 public:
  virtual ~ByteChannel() = default;

  // Reads at most `size` bytes (size > 0). Returns the count read (> 0), 0 when the peer
  // has closed its end, -1 on failure or when the peer stayed silent too long.
  virtual std::ptrdiff_t Read(void* buffer, std::size_t size) = 0;

  // Writes at most `size` bytes; a short count is not a failure. -1 on failure.
  virtual std::ptrdiff_t Write(const void* buffer, std::size_t size) = 0;

  // Ends the connection; later reads and writes fail. Safe to call twice.
  virtual void Close() = 0;

  // Makes a read or write blocked in another thread return at once, and later ones fail,
  // without releasing anything (Close stays with the owner). Channels that never block
  // need not do anything.
  virtual void Interrupt() {}
};

// Reads exactly `size` bytes, looping over short reads. False when the stream ended or
// failed first; `got` (optional) tells how many bytes did arrive.
bool ReadExact(ByteChannel& channel, void* buffer, std::size_t size, std::size_t* got = nullptr);

// Writes all `size` bytes, looping over short writes; false on failure.
bool WriteAll(ByteChannel& channel, const void* buffer, std::size_t size);

// Reads through a buffer: one read of the underlying channel takes whatever has arrived,
// up to the buffer's size, so that a message sent in several small parts costs one system
// call instead of one per part. Reads at least as large as the buffer bypass it; writes go
// straight through. Bytes read ahead stay for the next Read. The underlying channel must
// outlive this one.
class BufferedChannel : public ByteChannel {
 public:
  explicit BufferedChannel(ByteChannel& inner, std::size_t capacity = 16384)
      : inner_(inner), capacity_(capacity) {}

  std::ptrdiff_t Read(void* buffer, std::size_t size) override;
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override {
    return inner_.Write(buffer, size);
  }
  void Close() override { inner_.Close(); }
  void Interrupt() override { inner_.Interrupt(); }

 private:
  ByteChannel& inner_;
  std::size_t capacity_;
  std::string buffer_;
  std::size_t pos_ = 0, end_ = 0;
};

// A channel over memory: reads come from the given bytes (at most `maxPiece` per call,
// so short reads can be simulated; 0 = no limit), writes are collected. Used to feed
// received bytes to the protocol code without a socket.
class MemoryChannel : public ByteChannel {
 public:
  explicit MemoryChannel(std::string input, std::size_t maxPiece = 0)
      : input_(std::move(input)), maxPiece_(maxPiece) {}

  std::ptrdiff_t Read(void* buffer, std::size_t size) override;
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override { closed_ = true; }

  const std::string& Written() const { return written_; }
  bool Closed() const { return closed_; }

 private:
  std::string input_;
  std::size_t maxPiece_;
  std::size_t readPos_ = 0;
  std::string written_;
  bool closed_ = false;
};

}  // namespace dz
