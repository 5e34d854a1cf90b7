#pragma once
// The background job of one load: executes a TLoadRun on a worker thread and hands it,
// with the failure message of the run, to its completion handler on the user-interface
// thread.

#include <functional>
#include <memory>
#include <string>

#include "hostlink/HostCallCancel.h"
#include "ui/LoadRun.h"
#include "ui/WorkerThreadJob.h"

namespace dz {

class TImportWorker : public TWorkerThreadJob {
 public:
  // Receives the job, the run (ownership passes to the handler) and the error text (empty
  // when the run succeeded).
  using TCompletion = std::function<void(TImportWorker& job, std::unique_ptr<TLoadRun> run,
                                         const std::string& errorText)>;

  TImportWorker(std::unique_ptr<TLoadRun> run, TCompletion onCompleted);

  // Runs the load. Every failure becomes the error text, so that Completed always follows
  // and the loader never stays busy.
  void Execute() override;
  // Hands the run over; a job whose Completed never ran (pool destroyed first) frees it.
  void Completed() override;

  const std::string& ErrorText() const { return FErrorText; }

  // Cuts the run's host calls short (from any thread): it then ends soon with an error.
  const std::shared_ptr<THostCallCancel>& Cancel() const { return FCancel; }

 private:
  std::string FErrorText;
  std::shared_ptr<THostCallCancel> FCancel = std::make_shared<THostCallCancel>();
  std::unique_ptr<TLoadRun> FStack;
  TCompletion FOnCompleted;
};

}  // namespace dz
