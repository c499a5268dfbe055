// Feeds arbitrary bytes to the sound-file check. The sanitizers catch any read
// outside the input; after a file is accepted, its rebuilt copy must hold
// every chunk winmm reads, with sizes that end exactly where the copy ends.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/wave_file.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell::platform;
  const std::span<const std::uint8_t> file(data, size);
  const std::optional<WaveChunks> chunks = FindWaveChunks(file);
  if (!chunks) return 0;
  Require(chunks->formatOffset + chunks->formatSize <= size, "fmt inside the file");
  Require(chunks->dataOffset + chunks->dataSize <= size, "data inside the file");

  const std::vector<std::uint8_t> wave = BuildPlayableWave(file, *chunks);
  const std::size_t formatEnd = 20 + chunks->formatSize + (chunks->formatSize & 1);
  Require(wave.size() >= formatEnd + 8, "room for both chunks");
  Require(std::memcmp(wave.data(), "RIFF", 4) == 0 && std::memcmp(wave.data() + 8, "WAVEfmt ", 8) == 0,
          "RIFF, WAVE, fmt first");
  Require(Read32(wave, 4) == wave.size() - 8, "RIFF size ends at the end");
  Require(Read32(wave, 16) == chunks->formatSize && chunks->formatSize >= 16, "whole fmt chunk");
  Require(std::memcmp(wave.data() + formatEnd, "data", 4) == 0, "data after fmt");
  const std::uint32_t dataSize = Read32(wave, formatEnd + 4);
  Require(formatEnd + 8 + dataSize + (dataSize & 1) == wave.size(), "data ends at the end");
  Require(std::memcmp(wave.data() + formatEnd + 8, data + chunks->dataOffset, dataSize) == 0,
          "the file's own samples");
  return 0;
}
