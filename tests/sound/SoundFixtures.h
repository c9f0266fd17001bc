// Small sound files made by the tests: WAV files from a tiny writer, Ogg
// Vorbis tones encoded with libvorbisenc, and a plain libvorbisfile decode
// to compare the engine's decoder with.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Audio.h"

using Bytes = std::vector<std::uint8_t>;

WAVEFORMATEX pcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);

// Bytes that differ from their neighbours (position-dependent), so a
// misplaced byte shows.
Bytes patternBytes(std::size_t count, std::uint32_t seed = 1);

// A RIFF WAVE file: a "fmt " chunk of `fmtSize` bytes (the record's first
// bytes, zeros past 18), the "data" chunk (padded to an even size), then
// `trailing` (whole chunks after the data, e.g. a "LIST").
Bytes wavFile(const WAVEFORMATEX& format, const Bytes& data, std::uint32_t fmtSize = 16, const Bytes& trailing = {});
// A chunk: id, little-endian size, data, pad byte.
Bytes riffChunk(const char* id, const Bytes& data);

// A sine tone encoded as Ogg Vorbis (quality 0.4); with `noise`, a chord of
// three tones over noise of that amplitude, closer to music to decode.
Bytes oggTone(std::uint32_t rate, int channels, double seconds, double frequency = 440.0, double noise = 0.0);
// The whole file decoded by libvorbisfile alone: 16-bit little-endian PCM.
Bytes plainOggDecode(const std::string& path);

// Root-mean-square and peak of interleaved samples.
double rms(const std::vector<std::int16_t>& samples);
int peak(const std::vector<std::int16_t>& samples);
