#include "ui/ASyncLoader.h"

namespace dz {

namespace {
const char* const kAbandoned = "Das Laden wurde abgebrochen";
}

TASyncLoader::TASyncLoader(TLoadDone onLoadDone, TLoadRunFactory newRun,
                           std::unique_ptr<TBaseThreadLink> link)
    : FPool(std::make_unique<TWorkerThreadPool>(1, 5, std::move(link))),
      FOnLoadDone(std::move(onLoadDone)),
      FNewRun(std::move(newRun)) {}

TASyncLoader::~TASyncLoader() {
  // The owner is going: a host that stays silent must not hold it up for minutes, and a
  // result that arrives now has nobody to go to.
  FAbandoned = true;
  if (FRunning) FRunning->Cancel(kAbandoned);
  FPool.reset();
}

void TASyncLoader::StartLoad() {
  ++FBusy;
  try {
    auto job = std::make_unique<TImportWorker>(
        FNewRun ? FNewRun() : nullptr,
        [this](TImportWorker& j, std::unique_ptr<TLoadRun> run, const std::string& errorText) {
          LoadCompleted(j, std::move(run), errorText);
        });
    std::shared_ptr<THostCallCancel> cancel = job->Cancel();
    FPool->AddJob(std::move(job));
    FRunning = std::move(cancel);
  } catch (...) {
    // No job will complete, so nothing would ever take the count back down and every later
    // reload would be refused as "busy".
    --FBusy;
    throw;
  }
}

void TASyncLoader::LoadCompleted(TImportWorker& job, std::unique_ptr<TLoadRun> run,
                                 const std::string& errorText) {
  --FBusy;
  FRunning.reset();
  if (FOnLoadDone && !FAbandoned) FOnLoadDone(job, std::move(run), errorText);
}

}  // namespace dz
