#include "docdata/BlobInflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace dz {

struct BlobInflater {
  static void Grow(TBlobBytes& b, size_t& capacity, size_t step) {
    size_t want = capacity + step;
    char* p = static_cast<char*>(std::realloc(b.data_.get(), want));
    if (!p) throw std::bad_alloc();
    b.data_.release();
    b.data_.reset(p);
    capacity = want;
  }

  static InflateResult Run(std::string_view in, size_t limit) {
    InflateResult result;
    if (in.empty()) return result;
    TBlobBytes& out = result.bytes;
    // One byte beyond the limit tells a stream that ends exactly there from a longer one.
    const size_t most = limit < SIZE_MAX ? limit + 1 : limit;
    size_t capacity = 0;
    Grow(out, capacity, std::min(in.size() + 2048, most));
    const size_t step = (in.size() + 255) / 256 * 256;

    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) throw std::bad_alloc();
    size_t consumed = 0;
    bool complete = false;
    while (true) {
      if (zs.avail_in == 0 && consumed < in.size()) {
        size_t n = std::min<size_t>(in.size() - consumed, UINT_MAX);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + consumed));
        zs.avail_in = static_cast<uInt>(n);
        consumed += n;
      }
      if (out.size_ == capacity) {
        if (capacity >= most) {
          result.tooLarge = true;
          break;
        }
        Grow(out, capacity, std::min(step, most - capacity));
      }
      size_t room = std::min<size_t>(capacity - out.size_, UINT_MAX);
      zs.next_out = reinterpret_cast<Bytef*>(out.data_.get() + out.size_);
      zs.avail_out = static_cast<uInt>(room);
      int ret = inflate(&zs, Z_NO_FLUSH);
      out.size_ += room - zs.avail_out;
      if (ret == Z_STREAM_END) {
        complete = out.size_ <= limit;
        result.tooLarge = !complete;
        break;
      }
      if (ret == Z_OK || ret == Z_BUF_ERROR) {
        if (zs.avail_out == 0) continue;                         // needs more room
        if (zs.avail_in == 0 && consumed < in.size()) continue;  // more input to give
        break;  // the input ended before the end of the stream
      }
      break;  // data error, dictionary needed, out of memory
    }
    inflateEnd(&zs);
    result.damaged = !complete;
    return result;
  }
};

InflateResult InflateBlob(std::string_view compressed, size_t limit) {
  return BlobInflater::Run(compressed, limit);
}

}  // namespace dz
