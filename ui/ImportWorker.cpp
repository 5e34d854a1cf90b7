#include "ui/ImportWorker.h"

#include <exception>

#include "engine/SuperStack.h"

namespace dz {

TImportWorker::TImportWorker(std::unique_ptr<TLoadRun> run, TCompletion onCompleted)
    : FStack(std::move(run)), FOnCompleted(std::move(onCompleted)) {}

void TImportWorker::Execute() {
  if (!FStack) return;
  THostCallScope scope(FCancel);
  try {
    FStack->Run(true);
  } catch (...) {
    // Whatever kind of failure it was, it has to reach the window as a German message
    // rather than vanish in the worker.
    FErrorText = FailureMessage(std::current_exception());
  }
}

void TImportWorker::Completed() {
  if (FOnCompleted) FOnCompleted(*this, std::move(FStack), FErrorText);
}

}  // namespace dz
