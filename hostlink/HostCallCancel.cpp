#include "hostlink/HostCallCancel.h"

#include <algorithm>

#include "platform/ByteChannel.h"

namespace dz {

namespace {
thread_local std::shared_ptr<THostCallCancel> tCurrent;
}

void THostCallCancel::Cancel(const std::string& reason) {
  std::lock_guard<std::mutex> lock(FLock);
  if (!FCancelled) FReason = reason;
  FCancelled = true;
  // Under the lock: a channel is detached (under the same lock) before it is destroyed.
  for (ByteChannel* channel : FChannels) channel->Interrupt();
}

bool THostCallCancel::Cancelled() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FCancelled;
}

std::string THostCallCancel::Reason() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FReason;
}

void THostCallCancel::Attach(ByteChannel* channel) {
  std::lock_guard<std::mutex> lock(FLock);
  FChannels.push_back(channel);
  if (FCancelled) channel->Interrupt();
}

void THostCallCancel::Detach(ByteChannel* channel) {
  std::lock_guard<std::mutex> lock(FLock);
  FChannels.erase(std::remove(FChannels.begin(), FChannels.end(), channel), FChannels.end());
}

THostCallScope::THostCallScope(std::shared_ptr<THostCallCancel> cancel)
    : FPrevious(std::move(tCurrent)) {
  tCurrent = std::move(cancel);
}

THostCallScope::~THostCallScope() {
  tCurrent = std::move(FPrevious);
}

std::shared_ptr<THostCallCancel> CurrentHostCallCancel() {
  return tCurrent;
}

bool HostCallsCancelled() {
  return tCurrent && tCurrent->Cancelled();
}

}  // namespace dz
