// The check a sound file passes before winmm sees it. winmm trusts the sizes
// a WAV file claims: played from memory it reads past the end of a buffer
// whose header lies, and even played by name it divides by the format's
// block size and asserts on its channel count. So every file is checked
// first, with no Windows calls, and only a file that passes is played.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace harkwell::platform {

// Reads up to `into.size()` bytes of a file from `offset` into `into`;
// returns how many it read, fewer at the file's end or on a failure.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> into)>;

// A sound played from memory is copied there whole; a larger one is not
// played that way. Played by name, a file of any size plays.
inline constexpr std::uint32_t kMaxInMemorySoundBytes = std::uint32_t{32} << 20;

// What winmm reads of a file: its format, and where its samples lie.
struct WaveChunks {
  // The "fmt " chunk's body as winmm reads it: a format other than PCM whose
  // 16-byte chunk leaves out the size of its extra bytes gets that size, 0.
  std::vector<std::uint8_t> format;
  std::uint64_t dataOffset = 0;  // the "data" chunk's body
  std::uint32_t dataSize = 0;    // cut to the bytes the file holds
  // The format differs from the file's chunk (mended, or cut to what means
  // anything): only the rebuilt copy holds it. winmm given the file itself
  // would read a 16-byte chunk's missing size from past its own copy.
  bool formatChanged = false;
};

// A RIFF/WAVE file of `fileSize` bytes with a sound format winmm can open and
// a "data" chunk after it, other chunks anywhere, each found inside the RIFF
// chunk and inside the file: the file winmm plays by name, found the way it
// finds it. A data chunk that claims more than the file holds is cut to what
// is there, as winmm playing the file by name stops at its end. Reads only the
// headers and the format, never the samples. Nothing when the file is anything
// else.
std::optional<WaveChunks> FindWaveChunks(std::uint64_t fileSize, const ReadAt& read);

// The file rebuilt as RIFF, WAVE, its format and then its samples, every size
// exact, so that winmm reading it from memory stays inside it. Nothing when
// the samples are more than kMaxInMemorySoundBytes or cannot all be read.
std::optional<std::vector<std::uint8_t>> BuildPlayableWave(const WaveChunks& chunks, const ReadAt& read);

}  // namespace harkwell::platform
