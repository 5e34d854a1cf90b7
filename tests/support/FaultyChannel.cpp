#include "tests/support/FaultyChannel.h"

#include <algorithm>

namespace dz::test {

CutChannel::CutChannel(std::unique_ptr<ByteChannel> inner, std::size_t readLimit,
                       std::size_t writeLimit, bool endInsteadOfFail)
    : inner_(std::move(inner)),
      readLeft_(readLimit),
      writeLeft_(writeLimit),
      end_(endInsteadOfFail) {}

std::ptrdiff_t CutChannel::Read(void* buffer, std::size_t size) {
  if (readLeft_ == 0) return end_ ? 0 : -1;
  std::ptrdiff_t n = inner_->Read(buffer, std::min(size, readLeft_));
  if (n > 0) readLeft_ -= static_cast<std::size_t>(n);
  return n;
}

std::ptrdiff_t CutChannel::Write(const void* buffer, std::size_t size) {
  if (writeLeft_ == 0) return -1;
  std::ptrdiff_t n = inner_->Write(buffer, std::min(size, writeLeft_));
  if (n > 0) writeLeft_ -= static_cast<std::size_t>(n);
  return n;
}

ShortChannel::ShortChannel(std::unique_ptr<ByteChannel> inner, std::size_t maxRead,
                           std::size_t maxWrite)
    : inner_(std::move(inner)), maxRead_(maxRead), maxWrite_(maxWrite) {}

std::ptrdiff_t ShortChannel::Read(void* buffer, std::size_t size) {
  return inner_->Read(buffer, maxRead_ ? std::min(size, maxRead_) : size);
}

std::ptrdiff_t ShortChannel::Write(const void* buffer, std::size_t size) {
  return inner_->Write(buffer, maxWrite_ ? std::min(size, maxWrite_) : size);
}

RecordingChannel::RecordingChannel(std::unique_ptr<ByteChannel> inner,
                                   std::shared_ptr<std::vector<std::size_t>> writes)
    : inner_(std::move(inner)), writes_(std::move(writes)) {}

std::ptrdiff_t RecordingChannel::Write(const void* buffer, std::size_t size) {
  writes_->push_back(size);
  return inner_->Write(buffer, size);
}

SharedMemoryChannel::SharedMemoryChannel(std::string input, std::shared_ptr<std::string> written,
                                         std::size_t maxPiece)
    : mem_(std::move(input), maxPiece), written_(std::move(written)) {}

std::ptrdiff_t SharedMemoryChannel::Write(const void* buffer, std::size_t size) {
  std::ptrdiff_t n = mem_.Write(buffer, size);
  if (n > 0) written_->append(static_cast<const char*>(buffer), static_cast<std::size_t>(n));
  return n;
}

}  // namespace dz::test
