#pragma once
// Objects kept between requests for reuse: buffers that would otherwise be handed back to
// the system and asked for again (a page fault per page), database connections whose page
// cache is already filled. The most recently returned object is handed out first, so that
// requests one after the other find warm memory whichever server thread takes them (the
// threads take connections in turn). At most `keep` objects wait; more are dropped.
//
// Safe from any thread.

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace dz::hostsim {

template <class T>
class ReusePool {
 public:
  explicit ReusePool(std::size_t keep) : keep_(keep) {}

  // The most recently returned object (taken out), or null.
  std::unique_ptr<T> Take() {
    std::lock_guard<std::mutex> lock(lock_);
    if (idle_.empty()) return nullptr;
    std::unique_ptr<T> item = std::move(idle_.back());
    idle_.pop_back();
    return item;
  }

  void Give(std::unique_ptr<T> item) {
    if (!item || keep_ == 0) return;
    std::lock_guard<std::mutex> lock(lock_);
    if (idle_.size() >= keep_) idle_.erase(idle_.begin());  // the coldest goes
    idle_.push_back(std::move(item));
  }

 private:
  std::mutex lock_;
  std::size_t keep_;
  std::vector<std::unique_ptr<T>> idle_;
};

}  // namespace dz::hostsim
