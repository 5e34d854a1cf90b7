#pragma once
// How the worker pool reaches the thread that created it (its base thread): the one piece
// of the pool that depends on the toolkit. The window passes a link to the Qt event loop
// (QtThreadLink.h); tests can pass a plain queue, so that the pool's own thread logic is
// tried without Qt, under the thread sanitizer too.
//
// The pool owns its link and destroys it after its last worker has ended; calls still
// posted then are dropped unrun.

#include <functional>

namespace dz {

class TBaseThreadLink {
 public:
  virtual ~TBaseThreadLink() = default;

  // From any thread: has `call` run on the base thread, from its event loop, soon.
  virtual void Post(std::function<void()> call) = 0;

  // On the base thread: handles the pending events, waiting for one if there is none.
  // False when there is no event loop to serve now; the caller then waits on its own.
  virtual bool DispatchEvents() = 0;
};

}  // namespace dz
