// Feeds arbitrary bytes to the sound-file check. The sanitizers catch any read
// outside the input; after a file is accepted, its rebuilt copy must hold
// every chunk winmm reads, with sizes that end exactly where the copy ends.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/require.h"
#include "platform/wave_file.h"

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell::platform;
  using harkwell::fuzz::Require;
  const ReadAt read = [&](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
    if (offset >= size) return 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), size - offset));
    std::memcpy(into.data(), data + offset, count);
    return count;
  };
  const std::optional<WaveChunks> chunks = FindWaveChunks(size, read);
  if (!chunks) return 0;
  Require(chunks->dataOffset + chunks->dataSize <= size, "data inside the file");
  const std::size_t formatSize = chunks->format.size();

  const std::optional<std::vector<std::uint8_t>> copy = BuildPlayableWave(*chunks, read);
  Require(copy.has_value(), "the samples of an accepted file are read");
  const std::vector<std::uint8_t>& wave = *copy;
  const std::size_t formatEnd = 20 + formatSize + (formatSize & 1);
  Require(wave.size() >= formatEnd + 8, "room for both chunks");
  Require(std::memcmp(wave.data(), "RIFF", 4) == 0 && std::memcmp(wave.data() + 8, "WAVEfmt ", 8) == 0,
          "RIFF, WAVE, fmt first");
  Require(Read32(wave, 4) == wave.size() - 8, "RIFF size ends at the end");
  Require(Read32(wave, 16) == formatSize && formatSize >= 16, "whole fmt chunk");
  Require(std::memcmp(wave.data() + 20, chunks->format.data(), formatSize) == 0, "the format as read");
  Require(std::memcmp(wave.data() + formatEnd, "data", 4) == 0, "data after fmt");
  const std::uint32_t dataSize = Read32(wave, formatEnd + 4);
  Require(formatEnd + 8 + dataSize + (dataSize & 1) == wave.size(), "data ends at the end");
  Require(std::memcmp(wave.data() + formatEnd + 8, data + chunks->dataOffset, dataSize) == 0,
          "the file's own samples");
  return 0;
}
