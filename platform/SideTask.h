#pragma once
// Work done beside the caller's: on a thread of its own, or, where no thread can be had,
// at once on the caller's. Wait() waits for it and raises what it raised; the destructor
// waits too and raises nothing (the caller is on its way out with a failure of its own).

#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace dz {

class SideTask {
 public:
  explicit SideTask(std::function<void()> work) : work_(std::move(work)) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      Run();
    }
  }
  ~SideTask() {
    if (thread_.joinable()) thread_.join();
  }
  SideTask(const SideTask&) = delete;
  SideTask& operator=(const SideTask&) = delete;

  void Wait() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  void Run() {
    try {
      work_();
    } catch (...) {
      failure_ = std::current_exception();
    }
  }

  std::function<void()> work_;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts in the constructor
};

}  // namespace dz
