#include "ui/CueSounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace dz {

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kBits = 16;
constexpr int kFrameBytes = kChannels * kBits / 8;
constexpr int kHeaderBytes = 44;
constexpr double kPi = 3.14159265358979323846;

void PutLe16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void PutLe32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A whole file of `fileBytes` bytes whose samples come from wave(t), t in seconds, with
// values in -1 .. 1 (the same on both channels).
std::string Render(uint32_t fileBytes, const std::function<double(double)>& wave) {
  const uint32_t dataBytes = fileBytes - kHeaderBytes;
  std::string s = PcmWavHeader(kChannels, kRate, kBits, dataBytes);
  s.reserve(fileBytes);
  const uint32_t frames = dataBytes / kFrameBytes;
  for (uint32_t i = 0; i < frames; ++i) {
    double v = wave(static_cast<double>(i) / kRate);
    v = v > 1 ? 1 : v < -1 ? -1 : v;
    const auto sample = static_cast<int16_t>(std::lround(v * 32767));
    for (int c = 0; c < kChannels; ++c) PutLe16(s, static_cast<uint16_t>(sample));
  }
  return s;
}

// Rises over `attack` seconds and falls over `release` seconds, so the tone has no clicks.
double Envelope(double t, double length, double attack, double release) {
  if (t < 0 || t >= length) return 0;
  double e = 1;
  if (t < attack) e = t / attack;
  if (length - t < release) e = std::min(e, (length - t) / release);
  return e;
}

}  // namespace

std::string PcmWavHeader(int channels, int sampleRate, int bitsPerSample, uint32_t dataBytes) {
  const int blockAlign = channels * bitsPerSample / 8;
  std::string h;
  h += "RIFF";
  PutLe32(h, 36 + dataBytes);
  h += "WAVEfmt ";
  PutLe32(h, 16);
  PutLe16(h, 1);  // integer PCM
  PutLe16(h, static_cast<uint16_t>(channels));
  PutLe32(h, static_cast<uint32_t>(sampleRate));
  PutLe32(h, static_cast<uint32_t>(sampleRate * blockAlign));
  PutLe16(h, static_cast<uint16_t>(blockAlign));
  PutLe16(h, static_cast<uint16_t>(bitsPerSample));
  h += "data";
  PutLe32(h, dataBytes);
  return h;
}

const std::string& WaveDownSound() {
  // Two notes a fifth apart, each dying away like a struck bell.
  static const std::string sound = Render(38380, [](double t) {
    const double length = 9584.0 / kRate;
    auto note = [&](double start, double freq) {
      const double u = t - start;
      if (u < 0) return 0.0;
      return std::sin(2 * kPi * freq * u) * std::exp(-u * 18) *
             Envelope(u, length - start, 0.004, 0.02);
    };
    return 0.35 * (note(0, 880) + note(0.08, 1318.51));
  });
  return sound;
}

const std::string& WaveBusySound() {
  // Three low, slightly buzzing beeps: clearly "not now" rather than "done".
  static const std::string sound = Render(179500, [](double t) {
    constexpr double beep = 0.2, gap = 0.13;
    const int n = static_cast<int>(t / (beep + gap));
    const double u = t - n * (beep + gap);
    if (n > 2 || u >= beep) return 0.0;
    const double w = 2 * kPi * 330 * u;
    const double tone = std::sin(w) + std::sin(3 * w) / 3 + std::sin(5 * w) / 5;
    return 0.3 * tone * Envelope(u, beep, 0.01, 0.03);
  });
  return sound;
}

}  // namespace dz
