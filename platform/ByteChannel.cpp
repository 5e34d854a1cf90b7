#include "platform/ByteChannel.h"

#include <algorithm>
#include <cstring>

namespace dz {

bool ReadExact(ByteChannel& channel, void* buffer, std::size_t size, std::size_t* got) {
  auto* p = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::ptrdiff_t n = channel.Read(p + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (got) *got = done;
  return done == size;
}

bool WriteAll(ByteChannel& channel, const void* buffer, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::ptrdiff_t n = channel.Write(p + done, size - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::ptrdiff_t BufferedChannel::Read(void* buffer, std::size_t size) {
  if (pos_ == end_) {
    if (size >= capacity_) return inner_.Read(buffer, size);
    if (buffer_.size() < capacity_) buffer_.resize(capacity_);
    const std::ptrdiff_t n = inner_.Read(buffer_.data(), capacity_);
    if (n <= 0) return n;
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
  }
  const std::size_t n = std::min(size, end_ - pos_);
  std::memcpy(buffer, buffer_.data() + pos_, n);
  pos_ += n;
  return static_cast<std::ptrdiff_t>(n);
}

std::ptrdiff_t MemoryChannel::Read(void* buffer, std::size_t size) {
  if (closed_) return -1;
  std::size_t n = std::min(size, input_.size() - readPos_);
  if (maxPiece_ > 0) n = std::min(n, maxPiece_);
  if (n > 0) std::memcpy(buffer, input_.data() + readPos_, n);
  readPos_ += n;
  return static_cast<std::ptrdiff_t>(n);
}

std::ptrdiff_t MemoryChannel::Write(const void* buffer, std::size_t size) {
  if (closed_) return -1;
  written_.append(static_cast<const char*>(buffer), size);
  return static_cast<std::ptrdiff_t>(size);
}

}  // namespace dz
