#include "platform/wave_file.h"

#include <algorithm>
#include <cstring>

namespace harkwell::platform {
namespace {

constexpr std::size_t kRiffHeaderSize = 12;  // "RIFF", its size, "WAVE"
constexpr std::size_t kChunkHeaderSize = 8;  // id, size
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint32_t kPcmFormatSize = 16;       // the fields every format has
constexpr std::uint32_t kExtendedFormatSize = 18;  // ... and the size of what follows them
// winmm plays in buffers of a third of a second, counted in whole blocks from
// the format's bytes per second; far above any real sound, this keeps that
// arithmetic clear of zero and of overflow.
constexpr std::uint32_t kMaxBytesPerSecond = 1u << 26;
// Far beyond any speaker layout; Wine's mixer hangs on about ninety.
constexpr std::uint16_t kMaxChannels = 32;

std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(Read16(bytes, offset)) |
         static_cast<std::uint32_t>(Read16(bytes, offset + 2)) << 16;
}

bool HasId(std::span<const std::uint8_t> bytes, std::size_t offset, const char (&id)[5]) {
  return std::memcmp(bytes.data() + offset, id, 4) == 0;
}

// A format winmm can open without tripping over its own fields.
bool FormatUsable(std::span<const std::uint8_t> format) {
  if (format.size() < kPcmFormatSize) return false;
  const std::uint16_t tag = Read16(format, 0);
  const std::uint16_t channels = Read16(format, 2);
  const std::uint32_t bytesPerSecond = Read32(format, 8);
  const std::uint16_t blockSize = Read16(format, 12);
  // Any format but PCM is read with the size field of its extra bytes.
  if (tag != kFormatPcm &&
      (format.size() < kExtendedFormatSize || kExtendedFormatSize + Read16(format, 16) > format.size())) {
    return false;
  }
  return channels >= 1 && channels <= kMaxChannels && blockSize >= 1 && bytesPerSecond >= 3 &&
         bytesPerSecond <= kMaxBytesPerSecond;
}

void Append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendId(std::vector<std::uint8_t>& out, const char (&id)[5]) {
  Append(out, std::span(reinterpret_cast<const std::uint8_t*>(id), 4));
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendChunk(std::vector<std::uint8_t>& out, const char (&id)[5], std::span<const std::uint8_t> body) {
  AppendId(out, id);
  Append32(out, static_cast<std::uint32_t>(body.size()));
  Append(out, body);
  if (body.size() % 2 != 0) out.push_back(0);  // the pad byte after an odd size
}

}  // namespace

std::optional<WaveChunks> FindWaveChunks(std::span<const std::uint8_t> file) {
  if (file.size() < kRiffHeaderSize || file.size() > kMaxSoundFileBytes || !HasId(file, 0, "RIFF") ||
      !HasId(file, 8, "WAVE")) {
    return std::nullopt;
  }
  // Chunks beyond the end the RIFF chunk claims are not part of the sound.
  const std::size_t end =
      static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), 8ull + Read32(file, 4)));
  WaveChunks found;
  bool haveFormat = false, haveData = false;
  // Every step moves at least one chunk header on, so the walk ends.
  for (std::size_t offset = kRiffHeaderSize; offset + kChunkHeaderSize <= end && !(haveFormat && haveData);) {
    const std::uint32_t size = Read32(file, offset + 4);
    const std::size_t body = offset + kChunkHeaderSize;
    const std::size_t present = std::min<std::size_t>(size, end - body);
    if (!haveFormat && HasId(file, offset, "fmt ")) {
      if (present < size || !FormatUsable(file.subspan(body, size))) return std::nullopt;
      found.formatOffset = body;
      found.formatSize = size;
      haveFormat = true;
    } else if (haveFormat && HasId(file, offset, "data")) {
      // winmm looks for the data after the format, as here.
      found.dataOffset = body;
      found.dataSize = static_cast<std::uint32_t>(present);
      haveData = true;
    }
    // A chunk of odd size is followed by a pad byte.
    offset = static_cast<std::size_t>(std::min<std::uint64_t>(end, std::uint64_t{body} + size + (size & 1)));
  }
  if (!haveFormat || !haveData) return std::nullopt;
  return found;
}

std::vector<std::uint8_t> BuildPlayableWave(std::span<const std::uint8_t> file, const WaveChunks& chunks) {
  const auto format = file.subspan(chunks.formatOffset, chunks.formatSize);
  const auto data = file.subspan(chunks.dataOffset, chunks.dataSize);
  std::vector<std::uint8_t> body;
  body.reserve(4 + 2 * kChunkHeaderSize + format.size() + data.size() + 2);
  AppendId(body, "WAVE");
  AppendChunk(body, "fmt ", format);
  AppendChunk(body, "data", data);
  std::vector<std::uint8_t> wave;
  wave.reserve(kChunkHeaderSize + body.size());
  AppendChunk(wave, "RIFF", body);
  return wave;
}

}  // namespace harkwell::platform
