#include "platform/wave_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace harkwell::platform {
namespace {

constexpr std::uint64_t kRiffHeaderSize = 12;  // "RIFF", its size, "WAVE"
constexpr std::uint64_t kChunkHeaderSize = 8;  // id, size
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint32_t kPcmFormatSize = 16;       // the fields every format has
constexpr std::uint32_t kExtendedFormatSize = 18;  // ... and the size of what follows them
// The most of a format that means anything: its fields and 64 KiB of extra bytes.
constexpr std::uint32_t kMaxFormatBytes = kExtendedFormatSize + 0xFFFF;
// winmm plays in buffers of a third of a second, counted in whole blocks from
// the format's bytes per second; far above any real sound, this keeps that
// arithmetic clear of zero and of overflow.
constexpr std::uint32_t kMaxBytesPerSecond = 1u << 26;
// Far beyond any speaker layout; Wine's mixer hangs on about ninety.
constexpr std::uint16_t kMaxChannels = 32;
// Real files hold a handful of chunks; a file of nothing but empty chunks
// would otherwise cost a read for every eight bytes.
constexpr std::uint64_t kMaxChunks = 1024;

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

bool ReadExactly(const ReadAt& read, std::uint64_t offset, std::span<std::uint8_t> into) {
  return read(offset, into) == into.size();
}

// The format as winmm reads it, when winmm can open it without tripping over
// its own fields.
std::optional<std::vector<std::uint8_t>> UsableFormat(std::vector<std::uint8_t> format) {
  if (format.size() < kPcmFormatSize) return std::nullopt;
  const std::uint16_t tag = Read16(format, 0);
  const std::uint16_t channels = Read16(format, 2);
  const std::uint32_t bytesPerSecond = Read32(format, 8);
  const std::uint16_t blockSize = Read16(format, 12);
  // Any format but PCM is read with the size field of its extra bytes; a
  // chunk that stops before it has none.
  if (tag != kFormatPcm) {
    if (format.size() == kPcmFormatSize) {
      format.insert(format.end(), {0, 0});
    } else if (format.size() < kExtendedFormatSize ||
               kExtendedFormatSize + Read16(format, 16) > format.size()) {
      return std::nullopt;
    }
  }
  if (channels < 1 || channels > kMaxChannels || blockSize < 1 || bytesPerSecond < 3 ||
      bytesPerSecond > kMaxBytesPerSecond) {
    return std::nullopt;
  }
  return format;
}

void PutChunkHeader(std::vector<std::uint8_t>& out, std::size_t at, const char (&id)[5], std::uint32_t size) {
  std::memcpy(&out[at], id, 4);
  for (int byte = 0; byte < 4; ++byte) out[at + 4 + byte] = static_cast<std::uint8_t>(size >> (8 * byte));
}

}  // namespace

std::optional<WaveChunks> FindWaveChunks(std::uint64_t fileSize, const ReadAt& read) {
  std::array<std::uint8_t, kRiffHeaderSize> riff{};
  if (fileSize < kRiffHeaderSize || !ReadExactly(read, 0, riff) || !HasId(riff, 0, "RIFF") ||
      !HasId(riff, 8, "WAVE")) {
    return std::nullopt;
  }
  // Chunks beyond the end the RIFF chunk claims are not part of the sound. The
  // sum is 64-bit: streaming writers leave the size at its largest.
  const std::uint64_t end = std::min<std::uint64_t>(fileSize, kChunkHeaderSize + Read32(riff, 4));
  WaveChunks found;
  bool haveFormat = false;
  // Every step moves at least one chunk header on, so the walk ends.
  for (std::uint64_t offset = kRiffHeaderSize, chunk = 0;
       offset + kChunkHeaderSize <= end && chunk < kMaxChunks; ++chunk) {
    std::array<std::uint8_t, kChunkHeaderSize> header{};
    if (!ReadExactly(read, offset, header)) return std::nullopt;
    const std::uint32_t size = Read32(header, 4);
    const std::uint64_t body = offset + kChunkHeaderSize;
    if (!haveFormat && HasId(header, 0, "fmt ")) {
      if (body + size > end) return std::nullopt;
      std::vector<std::uint8_t> format(std::min(size, kMaxFormatBytes));
      if (!ReadExactly(read, body, format)) return std::nullopt;
      std::optional<std::vector<std::uint8_t>> usable = UsableFormat(std::move(format));
      if (!usable) return std::nullopt;
      found.format = std::move(*usable);
      found.formatChanged = found.format.size() != size;
      haveFormat = true;
    } else if (haveFormat && HasId(header, 0, "data")) {
      // winmm looks for the data after the format, as here.
      found.dataOffset = body;
      found.dataSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, end - body));
      return found;
    }
    // A chunk of odd size is followed by a pad byte.
    offset = std::min(end, body + size + (size & 1));
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> BuildPlayableWave(const WaveChunks& chunks, const ReadAt& read) {
  if (chunks.dataSize > kMaxInMemorySoundBytes) return std::nullopt;
  // A chunk of odd size is followed by a pad byte.
  const std::size_t formatSize = chunks.format.size();
  const std::size_t dataHeader = kRiffHeaderSize + kChunkHeaderSize + formatSize + formatSize % 2;
  const std::size_t samples = dataHeader + kChunkHeaderSize;
  std::vector<std::uint8_t> wave(samples + chunks.dataSize + chunks.dataSize % 2);
  PutChunkHeader(wave, 0, "RIFF", static_cast<std::uint32_t>(wave.size() - kChunkHeaderSize));
  std::memcpy(&wave[8], "WAVE", 4);
  PutChunkHeader(wave, kRiffHeaderSize, "fmt ", static_cast<std::uint32_t>(formatSize));
  std::copy(chunks.format.begin(), chunks.format.end(), wave.begin() + kRiffHeaderSize + kChunkHeaderSize);
  PutChunkHeader(wave, dataHeader, "data", chunks.dataSize);
  if (!ReadExactly(read, chunks.dataOffset, std::span(wave).subspan(samples, chunks.dataSize))) {
    return std::nullopt;
  }
  return wave;
}

}  // namespace harkwell::platform
