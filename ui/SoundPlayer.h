#pragma once
// Plays WAV files from memory through Qt Multimedia, one at a time: a new sound cuts off
// the one still playing. Playing returns at once. Where there is no audio output, or the
// data is no PCM WAV file Qt can play, nothing sounds and nothing is reported.
//
// Use it on the user-interface thread, with a QCoreApplication alive.

#include <QObject>
#include <cstddef>
#include <optional>
#include <string_view>

class QAudioSink;
class QBuffer;

namespace dz {

// The playable part of a WAV file.
struct TWavFormat {
  int Channels = 0;
  int SampleRate = 0;
  int BitsPerSample = 0;
  bool Float = false;     // IEEE float samples (format 3) rather than integer PCM (1)
  size_t DataOffset = 0;  // where the samples start in the file
  size_t DataSize = 0;    // bytes of samples (cut to what the file really holds)
};

// Reads the RIFF/WAVE header: the "fmt " chunk and the "data" chunk, in any order and with
// other chunks between. Only PCM (8, 16 or 32 bit) and 32-bit float qualify; anything
// else, or a header cut short, gives nothing.
std::optional<TWavFormat> ParseWav(std::string_view bytes);

class TSoundPlayer : public QObject {
 public:
  // The process's player, owned by the application object; null without one.
  static TSoundPlayer* Instance();

  // Starts the sound and returns; false when it cannot sound (that is not an error).
  bool Play(std::string_view wav);
  void Stop();
  bool IsPlaying() const { return FSink != nullptr; }

 private:
  explicit TSoundPlayer(QObject* parent);
  void Finished(QAudioSink* sink);

  QAudioSink* FSink = nullptr;
  QBuffer* FBuffer = nullptr;
};

}  // namespace dz
