#pragma once
// The window's two sound cues, made by code when first asked for so that the program
// carries no sound files. Both are complete WAV files: PCM, 2 channels, 44100 Hz, 16 bit.

#include <cstdint>
#include <string>

namespace dz {

// A short rising chime (38380 bytes, about 0.2 s): a load has ended.
const std::string& WaveDownSound();
// Three low beeps (179500 bytes, about 1 s): a reload was asked for while a load runs.
const std::string& WaveBusySound();

// A 44-byte RIFF header for `dataBytes` bytes of PCM samples, followed by nothing.
std::string PcmWavHeader(int channels, int sampleRate, int bitsPerSample, uint32_t dataBytes);

}  // namespace dz
