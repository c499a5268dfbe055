// The check a sound file passes before winmm sees it. winmm trusts the sizes
// a WAV file claims: played from memory it reads past the end of a buffer
// whose header lies, and even played by name it divides by the format's
// block size and asserts on its channel count. So every file is checked
// first, with no Windows calls, and only a file that passes is played.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace harkwell::platform {

// Alert sounds are short; a larger file is not played.
inline constexpr std::size_t kMaxSoundFileBytes = std::size_t{32} << 20;

// Where the two chunks winmm reads lie in a file, as offsets into it.
struct WaveChunks {
  std::size_t formatOffset = 0;  // the "fmt " chunk's body
  std::uint32_t formatSize = 0;
  std::size_t dataOffset = 0;  // the "data" chunk's body
  std::uint32_t dataSize = 0;  // cut to the bytes the file holds
};

// A RIFF/WAVE file with a sound format winmm can open and a "data" chunk
// after it, other chunks anywhere, each found inside the RIFF chunk and
// inside `file`: the file winmm plays by name, found the way it finds it. A data
// chunk that claims more than the file holds is cut to what is there, as
// winmm playing the file by name would stop at its end. Nothing when the file
// is anything else, or larger than kMaxSoundFileBytes.
std::optional<WaveChunks> FindWaveChunks(std::span<const std::uint8_t> file);

// The file rebuilt as RIFF, WAVE, its "fmt " chunk and then its "data" chunk,
// every size exact, so that winmm reading it from memory stays inside it.
std::vector<std::uint8_t> BuildPlayableWave(std::span<const std::uint8_t> file, const WaveChunks& chunks);

}  // namespace harkwell::platform
