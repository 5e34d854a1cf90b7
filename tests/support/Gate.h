#pragma once
// A door that a background job waits at until the test opens it, so a test decides when
// work under way may end. A wait gives up after a minute, which only a broken test
// reaches; Pass() then returns false so the test can tell.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dz::test {

class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> g(m_);
      open_ = true;
    }
    cv_.notify_all();
  }
  bool Pass() {
    ++arrived_;
    std::unique_lock<std::mutex> l(m_);
    return cv_.wait_for(l, std::chrono::minutes(1), [this] { return open_; });
  }
  // How many jobs have come to the gate so far.
  int Arrived() const { return arrived_.load(); }

 private:
  std::atomic<int> arrived_{0};
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

}  // namespace dz::test
