// WAV files for the tests, built chunk by chunk, sizes claimed as a test says.
// Portable: the host tests and the Windows rig write their files with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harkwell::test {

inline void Put16(std::string& bytes, std::uint16_t value) {
  bytes += static_cast<char>(value & 0xFF);
  bytes += static_cast<char>(value >> 8);
}
inline void Put32(std::string& bytes, std::uint32_t value) {
  Put16(bytes, static_cast<std::uint16_t>(value));
  Put16(bytes, static_cast<std::uint16_t>(value >> 16));
}

// A chunk as a file holds it: id, the size it claims, its body and the pad
// byte that follows an odd size.
inline std::string Chunk(const std::string& id, const std::string& body, std::int64_t claimed = -1) {
  std::string chunk = id;
  Put32(chunk, static_cast<std::uint32_t>(claimed < 0 ? body.size() : claimed));
  chunk += body;
  if (body.size() % 2 != 0) chunk += '\0';
  return chunk;
}

// A "fmt " body: the 16 bytes every format has, then `extra` as it stands
// (a size field and what it counts, for formats other than PCM). The block
// size is the frame's bytes unless given.
inline std::string Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                          const std::string& extra = "", int blockSize = -1) {
  if (blockSize < 0) blockSize = channels * ((bits + 7) / 8);
  std::string format;
  Put16(format, tag);
  Put16(format, channels);
  Put32(format, rate);
  Put32(format, rate * static_cast<std::uint32_t>(blockSize));
  Put16(format, static_cast<std::uint16_t>(blockSize));
  Put16(format, bits);
  return format + extra;
}

inline std::string Riff(const std::vector<std::string>& chunks, std::int64_t claimed = -1) {
  std::string body = "WAVE";
  for (const std::string& chunk : chunks) body += chunk;
  std::string file = "RIFF";
  Put32(file, static_cast<std::uint32_t>(claimed < 0 ? body.size() : claimed));
  return file + body;
}

// 16-bit mono PCM at 22.05 kHz whose every sample is `value`.
inline std::string PcmWave(std::uint16_t value, std::size_t sampleCount) {
  std::string samples;
  for (std::size_t i = 0; i < sampleCount; ++i) Put16(samples, value);
  return Riff({Chunk("fmt ", Format(1, 1, 22050, 16)), Chunk("data", samples)});
}

}  // namespace harkwell::test
