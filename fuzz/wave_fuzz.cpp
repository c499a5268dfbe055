// Feeds arbitrary bytes to the sound-file check and holds it to a model of
// its own of the files winmm opens and plays: the check accepts exactly the
// files the model accepts, finds the same format and samples, and its rebuilt
// copy holds just those. The sanitizers catch any read outside the input.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz/require.h"
#include "platform/wave_file.h"
#include "tests/wav_writer.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

// Every RIFF number is little-endian.
std::uint32_t Number(Bytes bytes, std::uint64_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

bool Named(Bytes bytes, std::uint64_t at, const char* id) {
  return std::memcmp(bytes.data() + at, id, 4) == 0;
}

struct Sound {
  std::vector<std::uint8_t> format;
  std::uint64_t samplesAt = 0;
  std::uint32_t samples = 0;
};

// A format winmm opens: the 16 bytes of fields every format has, 1 to 32
// channels, blocks of a byte or more, 3 bytes a second (a byte in each third
// of a second it plays) up to 64 MiB. Any tag but PCM (1) also has a 2-byte
// count of extra bytes, all present; a 16-byte chunk that stops before that
// count is read as counting none. A chunk is read no further than 18 bytes
// and the most that count can say.
std::optional<std::vector<std::uint8_t>> Format(Bytes body) {
  std::vector<std::uint8_t> format(body.begin(),
                                   body.begin() + std::min<std::size_t>(body.size(), 18 + 0xFFFF));
  if (format.size() < 16) return std::nullopt;
  const bool pcm = Number(format, 0, 2) == 1;
  if (!pcm && format.size() == 16) format.resize(18);
  if (!pcm && (format.size() < 18 || format.size() < 18 + Number(format, 16, 2))) return std::nullopt;
  const std::uint32_t channels = Number(format, 2, 2);
  const std::uint32_t perSecond = Number(format, 8, 4);
  if (channels < 1 || channels > 32 || Number(format, 12, 2) < 1 || perSecond < 3 || perSecond > 1u << 26)
    return std::nullopt;
  return format;
}

// The RIFF chunk is a list of chunks, each an id, a 32-bit size, a body and,
// after an odd size, a pad byte. Only what lies both inside the size it claims
// (no wrap-around: streaming writers leave that size at its largest) and
// inside the file counts, and only its first 1024 chunks are looked at. The
// first "fmt " is the format: whole, and usable, or the file is refused. The
// first "data" after it holds the samples, as many as are there. A "data"
// before the format, or a later "fmt ", is just another chunk.
std::optional<Sound> Model(Bytes file) {
  if (file.size() < 12 || !Named(file, 0, "RIFF") || !Named(file, 8, "WAVE")) return std::nullopt;
  const std::uint64_t end = std::min<std::uint64_t>(file.size(), std::uint64_t{8} + Number(file, 4, 4));
  std::optional<std::vector<std::uint8_t>> format;
  std::uint64_t at = 12;
  for (int chunks = 0; chunks < 1024 && at + 8 <= end; ++chunks) {
    const std::uint64_t body = at + 8, size = Number(file, at + 4, 4);
    const std::uint64_t held = std::min(size, end - body);  // of the body, inside the end
    if (!format && Named(file, at, "fmt ")) {
      if (held < size || !(format = Format(file.subspan(body, size)))) return std::nullopt;
    } else if (format && Named(file, at, "data")) {
      return Sound{*format, body, static_cast<std::uint32_t>(held)};
    }
    at = std::min(end, body + size + size % 2);
  }
  return std::nullopt;
}

// The copy winmm reads from memory: RIFF, WAVE, the format, the samples, each
// odd-size chunk padded with a zero, every size exact.
std::string Copy(const Sound& sound, Bytes file) {
  using harkwell::test::Chunk;
  const Bytes samples = file.subspan(sound.samplesAt, sound.samples);
  return harkwell::test::Riff({Chunk("fmt ", std::string(sound.format.begin(), sound.format.end())),
                               Chunk("data", std::string(samples.begin(), samples.end()))});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace harkwell::platform;
  using harkwell::fuzz::Require;
  const ReadAt read = [&](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
    if (offset >= size) return 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), size - offset));
    std::copy_n(data + offset, count, into.begin());  // into may be empty, with no data()
    return count;
  };
  const Bytes file(data, size);
  const std::optional<Sound> sound = Model(file);
  const std::optional<WaveChunks> chunks = FindWaveChunks(size, read);
  if (!sound) {
    Require(!chunks, "a file winmm cannot play is refused");
    return 0;
  }
  Require(chunks.has_value(), "a file winmm plays is accepted");
  Require(chunks->format == sound->format, "the format winmm reads");
  Require(chunks->dataOffset == sound->samplesAt && chunks->dataSize == sound->samples,
          "the samples it plays");
  const std::optional<std::vector<std::uint8_t>> copy = BuildPlayableWave(*chunks, read);
  Require(copy && std::string(copy->begin(), copy->end()) == Copy(*sound, file),
          "the copy holds just that format and those samples");
  return 0;
}
