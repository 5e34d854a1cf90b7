#pragma once
// The window's background loader: runs each load as a job on a worker pool and delivers
// the finished run, with its error text, to the window's handler on the user-interface
// thread.
//
// Create, use and destroy it on the user-interface thread. The handler is called from that
// thread's event loop (or from the destructor, which waits for a running load and still
// delivers its result). A failure raised by the handler is swallowed on the worker.

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
  TASyncLoader(TLoadDone onLoadDone, TLoadRunFactory newRun);
  // Waits (dispatching events) until a running load has been delivered, then ends the pool.
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
};

}  // namespace dz
