#pragma once
// The background job of one load: executes a TLoadRun on a worker thread and hands it,
// with the failure message of the run, to its completion handler on the user-interface
// thread.

#include <functional>
#include <memory>
#include <string>

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

 private:
  std::string FErrorText;
  std::unique_ptr<TLoadRun> FStack;
  TCompletion FOnCompleted;
};

}  // namespace dz
