#pragma once
// One piece of background work for TWorkerThreadPool.

namespace dz {

// Execute runs on a worker thread. Completed then runs on the thread that created the
// pool (the user-interface thread) while the worker waits for it to return, so that the
// job can hand its result over there without any locking. The pool owns a job from
// AddJob on and destroys it on the worker once Completed has returned.
//
// A failure (exception) in Execute skips Completed; a failure in Completed is carried
// back to the worker. Either is swallowed there and the worker stays usable.
class TWorkerThreadJob {
 public:
  virtual ~TWorkerThreadJob() = default;
  virtual void Execute() = 0;
  virtual void Completed() = 0;
};

}  // namespace dz
