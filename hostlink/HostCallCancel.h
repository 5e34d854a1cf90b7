#pragma once
// Cutting short the host calls of one piece of work: a load that the window abandons, or
// a report that has run out of time. Host calls wait for the host for up to a minute each;
// cancelling makes every call of the work under way return at once unanswered (its open
// connection is interrupted) and every later one fail without connecting, so the work
// ends quickly with an error.
//
// A THostCallScope makes a cancel object the one that the host calls of the current
// thread obey. Cancel may be called from any thread, any number of times; the first
// reason stays. Ownership: shared between whoever may cancel and the thread doing the
// work. Nothing here raises.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dz {

class ByteChannel;

class THostCallCancel {
 public:
  void Cancel(const std::string& reason);
  bool Cancelled() const;
  // The reason given to the first Cancel; empty while not cancelled.
  std::string Reason() const;

  // Used by the pipe client: an open connection is registered while it is in use, so that
  // cancelling can interrupt it. Attaching after cancelling interrupts at once.
  void Attach(ByteChannel* channel);
  void Detach(ByteChannel* channel);

 private:
  mutable std::mutex FLock;
  bool FCancelled = false;
  std::string FReason;
  std::vector<ByteChannel*> FChannels;
};

class THostCallScope {
 public:
  explicit THostCallScope(std::shared_ptr<THostCallCancel> cancel);
  ~THostCallScope();
  THostCallScope(const THostCallScope&) = delete;
  THostCallScope& operator=(const THostCallScope&) = delete;

 private:
  std::shared_ptr<THostCallCancel> FPrevious;
};

// The cancel object of the current thread's scope; null outside any scope.
std::shared_ptr<THostCallCancel> CurrentHostCallCancel();

// True when the current thread's work has been cancelled.
bool HostCallsCancelled();

}  // namespace dz
