#pragma once
// What the background loader runs: one complete load of the window's data.

#include <functional>
#include <memory>

namespace dz {

// One load, created fresh for every StartLoad and executed once on a worker thread.
// Run(rethrow) performs the load; on failure it keeps the message (for later display) and,
// with rethrow true, raises it again as dz::Exception. The loader always calls it with
// rethrow true. The object must not touch user-interface objects.
class TLoadRun {
 public:
  virtual ~TLoadRun() = default;
  virtual void Run(bool rethrow) = 0;
};

// Makes the run for one load; called on the user-interface thread by StartLoad.
using TLoadRunFactory = std::function<std::unique_ptr<TLoadRun>()>;

}  // namespace dz
