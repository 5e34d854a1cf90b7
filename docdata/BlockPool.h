#pragma once
// Blocks of memory of one size, kept after use for the next user: memory that was used
// once costs less than new memory, which the system hands out page by page. Safe to use
// from several threads.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace dz {

class BlockPool {
 public:
  // Blocks of `size` bytes, at most `keep` of them kept.
  BlockPool(size_t size, size_t keep) : size_(size), keep_(keep) {}
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  size_t BlockSize() const { return size_; }
  // A kept block or a new one, of BlockSize bytes; what it holds is undefined.
  std::unique_ptr<char[]> Take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!kept_.empty()) {
        std::unique_ptr<char[]> block = std::move(kept_.back());
        kept_.pop_back();
        return block;
      }
    }
    return std::make_unique_for_overwrite<char[]>(size_);
  }
  // Keeps `block`, one of BlockSize bytes, unless as many as may be are kept already: then
  // it is freed.
  void Give(std::unique_ptr<char[]> block) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (kept_.size() < keep_) kept_.push_back(std::move(block));
  }

 private:
  const size_t size_, keep_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<char[]>> kept_;
};

}  // namespace dz
