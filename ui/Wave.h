#pragma once
// A sound component of a window: owns one WAV block and plays it on request.

#include <QObject>
#include <functional>

#include "ui/WaveData.h"

namespace dz {

class TWave : public QObject {
 public:
  explicit TWave(QObject* owner = nullptr) : QObject(owner) {}

  // Calls OnPlay, then starts the block playing and returns at once, cutting off any sound
  // still playing. An empty block, a block that cannot be played or a machine without
  // audio output gives silence, never a failure. User-interface thread only.
  void Play();

  TWaveData WaveData;
  std::function<void(TWave&)> OnPlay;
};

}  // namespace dz
