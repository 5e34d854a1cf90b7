#pragma once
// Inflating the compressed binary columns of a stored document (zlib streams with header
// and Adler-32 trailer, in memory).
//
// The output buffer starts at the input length + 2048 bytes and grows by the input
// length rounded up to a multiple of 256 bytes each time zlib needs more room, so the
// memory taken stays proportional to what the input actually inflates to.
//
// Failure is a value, never an exception: a non-empty input that is not one complete
// zlib stream (a zlib error, or data ending before the end of the stream) gives the
// bytes produced up to that point with `damaged` set. The caller must not take such a
// result for a whole document. An empty input gives empty bytes and is not damaged.
//
// A stream that would inflate to more than `limit` bytes is stopped there and counts as
// damaged (with `tooLarge` set): a few kilobytes can otherwise ask for gigabytes. Running
// out of memory below the limit raises std::bad_alloc.

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace dz {

// Bytes in a buffer of its own (growable in place, which spares copying on growth).
class TBlobBytes {
 public:
  TBlobBytes() = default;
  std::string_view View() const { return {data_.get(), size_}; }
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  std::string ToString() const { return std::string(View()); }

 private:
  friend struct BlobInflater;
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> data_;
  size_t size_ = 0;
};

struct InflateResult {
  TBlobBytes bytes;
  bool damaged = false;
  bool tooLarge = false;  // stopped at the limit (damaged is then set too)
};

// Far above any real document's positions text (a few megabytes for thousands of
// positions), far below what a small hostile blob could make us allocate.
constexpr size_t kMaxInflatedBytes = size_t{256} << 20;

InflateResult InflateBlob(std::string_view compressed, size_t limit = kMaxInflatedBytes);

}  // namespace dz
