#pragma once
// The window's load: a reconciliation run (TSuperStack) in the shape the background
// loader runs. The loader hands the finished TSuperStackRun to the window, which takes the
// TSuperStack out of it with TakeStack and keeps it as the current result.

#include <memory>

#include "engine/SuperStack.h"
#include "ui/LoadRun.h"

namespace dz {

class TSuperStackRun : public TLoadRun {
 public:
  TSuperStackRun() : FStack(std::make_unique<TSuperStack>()) {}

  void Run(bool rethrow) override { FStack->Run(rethrow); }

  // Null once taken.
  TSuperStack* Stack() const { return FStack.get(); }
  std::unique_ptr<TSuperStack> TakeStack() { return std::move(FStack); }

  // The loader's factory: a fresh run for every load.
  static TLoadRunFactory Factory() {
    return [] { return std::make_unique<TSuperStackRun>(); };
  }

 private:
  std::unique_ptr<TSuperStack> FStack;
};

}  // namespace dz
