#pragma once
// IMessageData / TMessageData: one message exchanged with the host, an identifier plus a
// store of named values (TStreamStorage). Messages are shared by reference count
// (MessageDataPtr); the store belongs to its message and dies with the last reference.
//
// Nothing here raises except the store's duplicate-name error on writing.

#include <memory>
#include <string>

#include "hostlink/StreamStorage.h"

namespace dz {

class IMessageData {
 public:
  virtual ~IMessageData() = default;
  // 8-bit text sent in front of the data; empty unless set.
  virtual const std::string& ID() const = 0;
  virtual TStreamStorage& Data() = 0;
  virtual void SetID(const std::string& id) = 0;
};

using MessageDataPtr = std::shared_ptr<IMessageData>;

class TMessageData : public IMessageData {
 public:
  TMessageData() : data_(std::make_unique<TStreamStorage>()) {}
  const std::string& ID() const override { return id_; }
  TStreamStorage& Data() override { return *data_; }
  void SetID(const std::string& id) override { id_ = id; }

 private:
  std::string id_;
  std::unique_ptr<TStreamStorage> data_;
};

// A new message with an empty identifier and an empty store.
inline MessageDataPtr CreateMessageData() {
  return std::make_shared<TMessageData>();
}

}  // namespace dz
