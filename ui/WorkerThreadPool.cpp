#include "ui/WorkerThreadPool.h"

#include <exception>

namespace dz {

// Carries calls from the workers into the base thread. A worker queues its call, posts a
// call through the link to the base thread's event loop, and waits; whoever runs on the
// base thread next (its event loop, WaitForJobs, the destructor) executes the queued
// calls. A failure is stored with the call and raised again on the worker.
class TWorkerThreadPool::TclThreadSynchronizer {
 public:
  explicit TclThreadSynchronizer(std::unique_ptr<TBaseThreadLink> link)
      : FLink(std::move(link)), FBaseThread(std::this_thread::get_id()) {}
  // Destroying the link drops calls still posted through it; by then no worker is left.
  ~TclThreadSynchronizer() = default;

  // Worker side: runs the job's Completed on the base thread and waits for it.
  void Synchronize(TWorkerThreadJob& job) {
    Call call{&job, nullptr, false};
    {
      std::lock_guard<std::mutex> g(FMutex);
      FCalls.push_back(&call);
    }
    Wake();
    std::unique_lock<std::mutex> l(FMutex);
    FChanged.wait(l, [&] { return call.done; });
    if (call.failure) std::rethrow_exception(call.failure);
  }

  // Tells the base thread that something changed (a call waits, a job ended, a worker
  // ended), whether it sits in its event loop or in one of the pool's waits.
  void Wake() {
    { std::lock_guard<std::mutex> g(FMutex); }
    FChanged.notify_all();
    if (FLink) FLink->Post([this] { RunPending(); });
  }

  // Base side: serves the base thread's event loop once, if it has one.
  bool DispatchEvents() { return FLink && FLink->DispatchEvents(); }

  // Base side: executes every queued call.
  void RunPending() {
    for (;;) {
      Call* call;
      {
        std::lock_guard<std::mutex> g(FMutex);
        if (FCalls.empty()) return;
        call = FCalls.front();
        FCalls.pop_front();
      }
      try {
        call->job->Completed();
      } catch (...) {
        call->failure = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> g(FMutex);
        call->done = true;
      }
      FChanged.notify_all();
    }
  }

  // Sleeps, without dispatching events, until keepWaiting turns false or (when the caller
  // can run them) a call is queued.
  void WaitForChange(const std::function<bool()>& keepWaiting, bool wakeOnCall) {
    std::unique_lock<std::mutex> l(FMutex);
    FChanged.wait(l, [&] { return (wakeOnCall && !FCalls.empty()) || !keepWaiting(); });
  }

  bool OnBaseThread() const { return std::this_thread::get_id() == FBaseThread; }

 private:
  struct Call {
    TWorkerThreadJob* job;
    std::exception_ptr failure;
    bool done;
  };
  std::unique_ptr<TBaseThreadLink> FLink;
  const std::thread::id FBaseThread;
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<Call*> FCalls;
};

class TWorkerThreadPool::TclWorkerThread {
 public:
  explicit TclWorkerThread(TWorkerThreadPool& pool) : FPool(pool), FThread([this] { Loop(); }) {}
  // Tells the thread to end and waits for it; a job it still holds is destroyed unrun.
  ~TclWorkerThread() {
    Terminate();
    if (FThread.joinable()) FThread.join();
  }

  void SignalJob() {
    {
      std::lock_guard<std::mutex> g(FEventMutex);
      FJobEvent = true;
    }
    FEvent.notify_one();
  }
  void Terminate() {
    FTerminated = true;
    {
      std::lock_guard<std::mutex> g(FEventMutex);
      FStopEvent = true;
    }
    FEvent.notify_one();
  }
  bool Terminated() const { return FTerminated; }
  bool Finished() const { return FFinished; }

  // Guarded by the pool's lock.
  std::unique_ptr<TWorkerThreadJob> FJob;
  bool FBusy = false;

 private:
  void Loop() {
    for (;;) {
      {
        std::unique_lock<std::mutex> l(FEventMutex);
        FEvent.wait(l, [this] { return FStopEvent || FJobEvent; });
        if (FStopEvent) break;
        FJobEvent = false;
      }
      std::unique_ptr<TWorkerThreadJob> job;
      {
        std::lock_guard<std::mutex> g(FPool.FLock);
        job = std::move(FJob);
      }
      const bool hadJob = job != nullptr;
      if (job) {
        try {
          job->Execute();
          FPool.FSync->Synchronize(*job);
        } catch (...) {
          // A failing job must not take its worker down; the job had its chance to
          // report through Completed.
        }
        job.reset();
      }
      // Idle first, counted down second: once nothing is pending, every worker is idle.
      FPool.WorkerDone(this);
      if (hadJob) {
        --FPool.FPendingCount;
        FPool.FSync->Wake();
      }
      if (FTerminated) break;
    }
    FFinished = true;
    FPool.FSync->Wake();
  }

  TWorkerThreadPool& FPool;
  std::mutex FEventMutex;
  std::condition_variable FEvent;
  bool FJobEvent = false;
  bool FStopEvent = false;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::thread FThread;  // last: it starts running in the constructor
};

TWorkerThreadPool::TWorkerThreadPool(int minWorkers, int maxWorkers,
                                     std::unique_ptr<TBaseThreadLink> link)
    : FMinWorkers(minWorkers < 1 ? 1 : minWorkers),
      FMaxWorkers(maxWorkers < FMinWorkers ? FMinWorkers : maxWorkers),
      FSync(std::make_unique<TclThreadSynchronizer>(std::move(link))) {}

TWorkerThreadPool::~TWorkerThreadPool() {
  std::vector<TclWorkerThread*> workers;
  {
    std::lock_guard<std::mutex> g(FLock);
    FPendingCount -= static_cast<int>(FQueue.size());
    FQueue.clear();
    for (auto& w : FWorkers) {
      w->Terminate();
      workers.push_back(w.get());
    }
  }
  // A running job still delivers its result; serve its call into this thread rather than
  // block on a worker that is waiting for us. Only the pool's own calls run here, so the
  // destructor does not re-enter arbitrary event handlers.
  DispatchWhile(
      [&] {
        for (auto* w : workers)
          if (!w->Finished()) return true;
        return false;
      },
      false);
  FWorkers.clear();
  FSync.reset();
}

TWorkerThreadPool::TclWorkerThread* TWorkerThreadPool::NewWorker() {
  FWorkers.push_back(std::make_unique<TclWorkerThread>(*this));
  return FWorkers.back().get();
}

TWorkerThreadPool::TclWorkerThread* TWorkerThreadPool::FirstIdleWorker() const {
  for (auto& w : FWorkers)
    if (!w->FBusy && !w->Terminated()) return w.get();
  return nullptr;
}

void TWorkerThreadPool::GiveJob(TclWorkerThread* worker, std::unique_ptr<TWorkerThreadJob> job) {
  worker->FJob = std::move(job);
  worker->FBusy = true;
  worker->SignalJob();
}

void TWorkerThreadPool::AddJob(std::unique_ptr<TWorkerThreadJob> job) {
  if (!job) return;
  ++FPendingCount;
  std::lock_guard<std::mutex> g(FLock);
  TclWorkerThread* worker = FirstIdleWorker();
  if (!worker && static_cast<int>(FWorkers.size()) < FMaxWorkers) worker = NewWorker();
  if (worker)
    GiveJob(worker, std::move(job));
  else
    FQueue.push_back(std::move(job));
  while (static_cast<int>(FWorkers.size()) < FMinWorkers) NewWorker();
  // Let go of the workers that sit idle now. An idle worker only waits for its events, so
  // ending it here cannot wait on anything that needs this lock.
  for (int i = static_cast<int>(FWorkers.size()) - 1; i >= FMinWorkers - 1; --i)
    if (!FWorkers[i]->FBusy) FWorkers.erase(FWorkers.begin() + i);
}

// Runs on the worker that has just finished. It marks itself idle in the same locked step
// in which it hands the oldest queued job out, and counts itself among the idle workers:
// otherwise two workers finishing together could each see the other still busy and leave
// the job in the queue with everybody idle.
void TWorkerThreadPool::WorkerDone(TclWorkerThread* worker) {
  std::lock_guard<std::mutex> g(FLock);
  worker->FBusy = false;
  if (worker->Terminated() || FQueue.empty()) return;
  TclWorkerThread* next = FirstIdleWorker();
  if (!next && static_cast<int>(FWorkers.size()) < FMaxWorkers) next = NewWorker();
  if (!next) return;
  std::unique_ptr<TWorkerThreadJob> job = std::move(FQueue.front());
  FQueue.pop_front();
  GiveJob(next, std::move(job));
}

void TWorkerThreadPool::WaitForJobs() {
  if (FStopping) return;
  FStopping = true;
  DispatchWhile([this] { return FPendingCount.load() > 0; }, true);
}

// A quit request met while dispatching here is not lost: the event loop that is asked to
// quit ends as soon as control returns to it.
void TWorkerThreadPool::DispatchWhile(const std::function<bool()>& keepWaiting, bool allEvents) {
  const bool onBase = FSync->OnBaseThread();
  while (keepWaiting()) {
    if (onBase) FSync->RunPending();
    if (!keepWaiting()) break;
    if (!(onBase && allEvents && FSync->DispatchEvents()))
      FSync->WaitForChange(keepWaiting, onBase);
  }
}

int TWorkerThreadPool::WorkerCount() const {
  std::lock_guard<std::mutex> g(FLock);
  return static_cast<int>(FWorkers.size());
}

int TWorkerThreadPool::QueuedCount() const {
  std::lock_guard<std::mutex> g(FLock);
  return static_cast<int>(FQueue.size());
}

}  // namespace dz
