#include "ui/ImportWorker.h"

#include <exception>

#include "docdata/Exception.h"

namespace dz {

TImportWorker::TImportWorker(std::unique_ptr<TLoadRun> run, TCompletion onCompleted)
    : FStack(std::move(run)), FOnCompleted(std::move(onCompleted)) {}

void TImportWorker::Execute() {
  if (!FStack) return;
  try {
    FStack->Run(true);
  } catch (const Exception& e) {
    FErrorText = e.Message();
  } catch (const std::exception& e) {
    // Not the run's own failure kind (out of memory and the like); it still has to reach
    // the window as an error rather than vanish in the worker.
    FErrorText = e.what();
  } catch (...) {
    FErrorText = "Unbekannter Fehler";
  }
}

void TImportWorker::Completed() {
  if (FOnCompleted) FOnCompleted(*this, std::move(FStack), FErrorText);
}

}  // namespace dz
