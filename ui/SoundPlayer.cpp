#include "ui/SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>
#include <cstdint>

namespace dz {

namespace {

uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}

}  // namespace

std::optional<TWavFormat> ParseWav(std::string_view b) {
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return std::nullopt;
  TWavFormat f;
  bool haveFormat = false;
  size_t at = 12;
  while (b.size() - at >= 8) {
    const std::string_view id = b.substr(at, 4);
    const uint32_t size = Le32(b, at + 4);
    const size_t body = at + 8;
    const size_t available = b.size() - body;
    if (id == "fmt ") {
      if (size < 16 || available < 16) return std::nullopt;
      const uint16_t tag = Le16(b, body);
      f.Channels = Le16(b, body + 2);
      f.SampleRate = static_cast<int>(Le32(b, body + 4));
      f.BitsPerSample = Le16(b, body + 14);
      f.Float = tag == 3;
      if (tag != 1 && tag != 3) return std::nullopt;
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) return std::nullopt;
      f.DataOffset = body;
      f.DataSize = size < available ? size : available;
      const bool intOk =
          !f.Float && (f.BitsPerSample == 8 || f.BitsPerSample == 16 || f.BitsPerSample == 32);
      const bool floatOk = f.Float && f.BitsPerSample == 32;
      if ((!intOk && !floatOk) || f.Channels < 1 || f.SampleRate < 1) return std::nullopt;
      return f;
    }
    if (size > available) return std::nullopt;
    at = body + size + (size & 1);  // chunks are padded to even sizes
  }
  return std::nullopt;
}

TSoundPlayer::TSoundPlayer(QObject* parent) : QObject(parent) {}

TSoundPlayer* TSoundPlayer::Instance() {
  static QPointer<TSoundPlayer> player;
  if (!player && QCoreApplication::instance())
    player = new TSoundPlayer(QCoreApplication::instance());
  return player;
}

bool TSoundPlayer::Play(std::string_view wav) {
  Stop();
  const std::optional<TWavFormat> f = ParseWav(wav);
  if (!f || f->DataSize == 0) return false;
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return false;
  QAudioFormat format;
  format.setSampleRate(f->SampleRate);
  format.setChannelCount(f->Channels);
  format.setSampleFormat(f->Float                 ? QAudioFormat::Float
                         : f->BitsPerSample == 8  ? QAudioFormat::UInt8
                         : f->BitsPerSample == 16 ? QAudioFormat::Int16
                                                  : QAudioFormat::Int32);
  if (!device.isFormatSupported(format)) return false;

  // The samples are copied so that the caller's block may change or go while it sounds.
  FBuffer = new QBuffer(this);
  FBuffer->setData(wav.data() + f->DataOffset, static_cast<qsizetype>(f->DataSize));
  FBuffer->open(QIODevice::ReadOnly);
  auto* sink = new QAudioSink(device, format, this);
  FSink = sink;
  connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
    if (state == QAudio::IdleState || state == QAudio::StoppedState) Finished(sink);
  });
  sink->start(FBuffer);
  if (sink->error() != QAudio::NoError) {
    Stop();
    return false;
  }
  return true;
}

void TSoundPlayer::Finished(QAudioSink* sink) {
  // Only the sound that is current may end itself; an old one was already cut off.
  if (sink == FSink) Stop();
}

void TSoundPlayer::Stop() {
  QAudioSink* sink = FSink;
  QBuffer* buffer = FBuffer;
  FSink = nullptr;
  FBuffer = nullptr;
  if (sink) {
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
  }
  if (buffer) buffer->deleteLater();
}

}  // namespace dz
