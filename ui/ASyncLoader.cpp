#include "ui/ASyncLoader.h"

namespace dz {

TASyncLoader::TASyncLoader(TLoadDone onLoadDone, TLoadRunFactory newRun)
    : FPool(std::make_unique<TWorkerThreadPool>(1, 5)),
      FOnLoadDone(std::move(onLoadDone)),
      FNewRun(std::move(newRun)) {}

TASyncLoader::~TASyncLoader() {
  FPool->WaitForJobs();
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
    FPool->AddJob(std::move(job));
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
  if (FOnLoadDone) FOnLoadDone(job, std::move(run), errorText);
}

}  // namespace dz
