#include "ui/Wave.h"

#include "ui/SoundPlayer.h"

namespace dz {

void TWave::Play() {
  if (OnPlay) OnPlay(*this);
  if (WaveData.Empty()) return;
  if (TSoundPlayer* player = TSoundPlayer::Instance()) player->Play(WaveData.Bytes());
}

}  // namespace dz
