#pragma once
// An event loop for the worker pool's base thread without any toolkit: calls posted from
// any thread wait in a queue until the test's thread runs them. Lets the pool and the
// loader be tried without Qt, under the thread sanitizer too.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "ui/BaseThreadLink.h"

namespace dz::test {

class CallQueue : public std::enable_shared_from_this<CallQueue> {
 public:
  void Post(std::function<void()> call) {
    {
      std::lock_guard<std::mutex> g(m_);
      calls_.push_back(std::move(call));
    }
    cv_.notify_all();
  }

  // Runs the calls posted so far, or waits up to `waitMs` for one. True when one ran.
  bool RunOnce(int waitMs) {
    std::deque<std::function<void()>> calls;
    {
      std::unique_lock<std::mutex> l(m_);
      cv_.wait_for(l, std::chrono::milliseconds(waitMs), [this] { return !calls_.empty(); });
      calls.swap(calls_);
    }
    for (auto& c : calls) c();
    return !calls.empty();
  }

  // Runs posted calls until `done` holds; false when a minute passed first.
  bool RunUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      RunOnce(20);
    }
    return true;
  }

  void Drop() {
    std::lock_guard<std::mutex> g(m_);
    calls_.clear();
  }

  // A link for a pool; when the pool destroys it, the calls still queued are dropped.
  std::unique_ptr<TBaseThreadLink> Link() {
    return std::make_unique<QueueLink>(shared_from_this());
  }

 private:
  class QueueLink : public TBaseThreadLink {
   public:
    explicit QueueLink(std::shared_ptr<CallQueue> queue) : queue_(std::move(queue)) {}
    ~QueueLink() override { queue_->Drop(); }
    void Post(std::function<void()> call) override { queue_->Post(std::move(call)); }
    bool DispatchEvents() override {
      queue_->RunOnce(100);
      return true;
    }

   private:
    std::shared_ptr<CallQueue> queue_;
  };

  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> calls_;
};

}  // namespace dz::test
