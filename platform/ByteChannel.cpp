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
