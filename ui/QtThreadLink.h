#pragma once
// The worker pool's link to a thread with a Qt event loop: posted calls are queued Qt
// calls to a receiver that lives on the creating thread. Create it on the base thread.

#include "ui/BaseThreadLink.h"

class QObject;

namespace dz {

class TQtThreadLink : public TBaseThreadLink {
 public:
  TQtThreadLink();
  // Deleting the receiver drops the calls still posted to it.
  ~TQtThreadLink() override;
  TQtThreadLink(const TQtThreadLink&) = delete;
  TQtThreadLink& operator=(const TQtThreadLink&) = delete;

  void Post(std::function<void()> call) override;
  bool DispatchEvents() override;

 private:
  QObject* FReceiver;
};

}  // namespace dz
