#pragma once
// Channels that misbehave on purpose, wrapped around a real one, so that the host link
// is tried at every offset and piece size and not only on a well-behaved peer.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/ByteChannel.h"

namespace dz::test {

// Delivers at most `readLimit` bytes and accepts at most `writeLimit` bytes; after that
// every read and write fails (or, with `endInsteadOfFail`, reads report the end of the
// stream as if the peer had closed).
class CutChannel : public ByteChannel {
 public:
  static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
  CutChannel(std::unique_ptr<ByteChannel> inner, std::size_t readLimit,
             std::size_t writeLimit = kNoLimit, bool endInsteadOfFail = false);
  std::ptrdiff_t Read(void* buffer, std::size_t size) override;
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override { inner_->Close(); }

 private:
  std::unique_ptr<ByteChannel> inner_;
  std::size_t readLeft_, writeLeft_;
  bool end_;
};

// Reads and writes at most the given number of bytes per call (0 = no limit).
class ShortChannel : public ByteChannel {
 public:
  ShortChannel(std::unique_ptr<ByteChannel> inner, std::size_t maxRead, std::size_t maxWrite);
  std::ptrdiff_t Read(void* buffer, std::size_t size) override;
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override { inner_->Close(); }

 private:
  std::unique_ptr<ByteChannel> inner_;
  std::size_t maxRead_, maxWrite_;
};

// Passes everything through and records the size of every write call, so that tests can
// see how the bytes were cut into writes. The record is shared, so it outlives the
// channel when the channel is handed over.
class RecordingChannel : public ByteChannel {
 public:
  RecordingChannel(std::unique_ptr<ByteChannel> inner,
                   std::shared_ptr<std::vector<std::size_t>> writes);
  std::ptrdiff_t Read(void* buffer, std::size_t size) override {
    return inner_->Read(buffer, size);
  }
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override { inner_->Close(); }

 private:
  std::unique_ptr<ByteChannel> inner_;
  std::shared_ptr<std::vector<std::size_t>> writes_;
};

// A MemoryChannel whose written bytes stay readable after the channel was handed over
// and destroyed.
class SharedMemoryChannel : public ByteChannel {
 public:
  SharedMemoryChannel(std::string input, std::shared_ptr<std::string> written,
                      std::size_t maxPiece = 0);
  std::ptrdiff_t Read(void* buffer, std::size_t size) override { return mem_.Read(buffer, size); }
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override { mem_.Close(); }

 private:
  MemoryChannel mem_;
  std::shared_ptr<std::string> written_;
};

}  // namespace dz::test
