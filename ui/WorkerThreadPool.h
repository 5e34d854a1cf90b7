#pragma once
// A small pool of worker threads that runs TWorkerThreadJob objects in the order they
// were added and calls their Completed on the thread that created the pool.
//
// The pool is created, fed and destroyed on one thread (the "base thread", normally the
// user-interface thread). Workers are made on demand up to the greatest number; a job
// that finds every worker busy waits in a first-in first-out queue. Each AddJob lets go
// of the workers that are idle at that moment, so after a burst the pool shrinks back.
//
// The calls into the base thread go through its link (BaseThreadLink.h), which the worker
// waits for. The base thread therefore has to dispatch events while jobs run: its event
// loop does that, and so do WaitForJobs and the destructor while they wait.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/BaseThreadLink.h"
#include "ui/WorkerThreadJob.h"

namespace dz {

class TWorkerThreadPool {
 public:
  // `link` (owned) carries the calls into the creating thread; without one they run only
  // while that thread waits in WaitForJobs or the destructor.
  TWorkerThreadPool(int minWorkers, int maxWorkers, std::unique_ptr<TBaseThreadLink> link);
  // Drops the queued jobs unrun, lets running jobs finish (their Completed still runs,
  // on this thread, while the destructor waits) and ends every worker.
  ~TWorkerThreadPool();
  TWorkerThreadPool(const TWorkerThreadPool&) = delete;
  TWorkerThreadPool& operator=(const TWorkerThreadPool&) = delete;

  // Takes ownership of the job and hands it to the first idle worker, a new worker, or the
  // queue, in that order of preference.
  void AddJob(std::unique_ptr<TWorkerThreadJob> job);

  // Returns once no job is pending, dispatching the base thread's events meanwhile (a quit
  // request that arrives is left in force for the event loop). Meant for shutting down:
  // only the first call waits; later calls return at once.
  void WaitForJobs();

  // Jobs added and not yet finished (queued or running).
  int PendingCount() const { return FPendingCount.load(); }
  int WorkerCount() const;
  int QueuedCount() const;

 private:
  class TclWorkerThread;
  class TclThreadSynchronizer;
  friend class TclWorkerThread;

  TclWorkerThread* NewWorker();                                                  // FLock held
  TclWorkerThread* FirstIdleWorker() const;                                      // FLock held
  void GiveJob(TclWorkerThread* worker, std::unique_ptr<TWorkerThreadJob> job);  // FLock held
  void WorkerDone(TclWorkerThread* worker);
  void DispatchWhile(const std::function<bool()>& keepWaiting, bool allEvents);

  std::vector<std::unique_ptr<TclWorkerThread>> FWorkers;
  std::deque<std::unique_ptr<TWorkerThreadJob>> FQueue;
  const int FMinWorkers;
  const int FMaxWorkers;
  mutable std::mutex FLock;  // over FWorkers, FQueue and each worker's job and busy flag
  std::atomic<int> FPendingCount{0};
  bool FStopping = false;
  std::unique_ptr<TclThreadSynchronizer> FSync;
};

}  // namespace dz
