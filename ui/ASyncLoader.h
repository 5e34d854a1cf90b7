#pragma once
// The window's background loader: runs each load as a job on a worker pool and delivers
// the finished run, with its error text, to the window's handler on the user-interface
// thread.
//
// Create, use and destroy it on the user-interface thread. The handler is called from that
// thread's event loop. A failure raised by the handler is swallowed on the worker.
//
// Destroying the loader abandons a running load at once: its host calls are cut short, its
// result is freed without reaching the handler, and the destructor waits only for the
// worker to notice (a join that cancelling keeps short: every wait of a run on the host
// ends when cancelled, the rest is the run's own computing).

#include <memory>
#include <string>

#include "ui/ImportWorker.h"
#include "ui/LoadRun.h"
#include "ui/WorkerThreadPool.h"

namespace dz {

class TASyncLoader {
 public:
  using TLoadDone = TImportWorker::TCompletion;

  // newRun makes the run of each load; onLoadDone takes over the run when it has ended.
  // `link` carries the completion into this thread's event loop.
  TASyncLoader(TLoadDone onLoadDone, TLoadRunFactory newRun, std::unique_ptr<TBaseThreadLink> link);
  // Abandons a running load (see above) and ends the pool.
  ~TASyncLoader();
  TASyncLoader(const TASyncLoader&) = delete;
  TASyncLoader& operator=(const TASyncLoader&) = delete;

  // True from StartLoad until the load's handler is called.
  bool IsBusy() const { return FBusy != 0; }

  // Queues one load. Raises what making the run raises; the loader is then not busy.
  void StartLoad();

 private:
  void LoadCompleted(TImportWorker& job, std::unique_ptr<TLoadRun> run,
                     const std::string& errorText);

  std::unique_ptr<TWorkerThreadPool> FPool;
  TLoadDone FOnLoadDone;
  int FBusy = 0;  // touched on the user-interface thread only
  TLoadRunFactory FNewRun;
  std::shared_ptr<THostCallCancel> FRunning;  // of the load under way, if any
  bool FAbandoned = false;
};

}  // namespace dz
