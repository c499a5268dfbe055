// The check a sound file passes before it is played: which files pass, what
// the rebuilt copy holds, and that nothing outside the file is ever used.
#include "platform/wave_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace harkwell::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

// One chunk as a file holds it: id, the size it claims, its body and the pad
// byte that follows an odd size.
Bytes Chunk(const std::string& id, const Bytes& body, std::uint32_t claimed) {
  Bytes chunk(id.begin(), id.end());
  Put32(chunk, claimed);
  chunk.insert(chunk.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}
Bytes Chunk(const std::string& id, const Bytes& body) {
  return Chunk(id, body, static_cast<std::uint32_t>(body.size()));
}

// 16-bit mono PCM at 22.05 kHz, optionally with other field values.
Bytes Format(std::uint16_t channels = 1, std::uint16_t blockSize = 2) {
  Bytes format{1, 0, static_cast<std::uint8_t>(channels), static_cast<std::uint8_t>(channels >> 8)};
  Put32(format, 22050);
  Put32(format, 22050u * blockSize);
  format.insert(format.end(), {static_cast<std::uint8_t>(blockSize), 0, 16, 0});
  return format;
}

Bytes Riff(const std::vector<Bytes>& chunks, std::int64_t claimed = -1) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& chunk : chunks) body.insert(body.end(), chunk.begin(), chunk.end());
  Bytes file{'R', 'I', 'F', 'F'};
  Put32(file, claimed < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(claimed));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

const Bytes kSamples(1000, 0x5A);

// The data a file plays, read back from its rebuilt copy; nothing when the
// check refuses it. The copy must be exactly RIFF, WAVE, fmt and data.
std::optional<Bytes> Played(const Bytes& file) {
  const std::optional<WaveChunks> chunks = FindWaveChunks(file);
  if (!chunks) return std::nullopt;
  const Bytes wave = BuildPlayableWave(file, *chunks);
  const Bytes format(file.begin() + static_cast<std::ptrdiff_t>(chunks->formatOffset),
                     file.begin() + static_cast<std::ptrdiff_t>(chunks->formatOffset + chunks->formatSize));
  const Bytes data(file.begin() + static_cast<std::ptrdiff_t>(chunks->dataOffset),
                   file.begin() + static_cast<std::ptrdiff_t>(chunks->dataOffset + chunks->dataSize));
  EXPECT_EQ(wave, Riff({Chunk("fmt ", format), Chunk("data", data)}));
  return data;
}

TEST(WaveFile, PlaysTheSamplesTheFileHoldsWhateverItsHeaderClaims) {
  EXPECT_EQ(Played(Riff({Chunk("fmt ", Format()), Chunk("data", kSamples)})), kSamples);

  // A header that claims 64 MiB: only the bytes that are there.
  Bytes claims = Riff({Chunk("fmt ", Format()), Chunk("data", kSamples, 64u << 20)}, 64u << 20);
  EXPECT_EQ(Played(claims), kSamples);
  claims.resize(claims.size() - 1);
  EXPECT_EQ(Played(claims), Bytes(kSamples.begin(), kSamples.end() - 1));

  // Other chunks around them, and odd sizes with their pad bytes.
  const Bytes odd(999, 0x11);
  EXPECT_EQ(Played(Riff({Chunk("LIST", {1, 2, 3}), Chunk("fmt ", Format(1, 1)), Chunk("cue ", {7}),
                         Chunk("data", odd), Chunk("LIST", {4})})),
            odd);

  // The first fmt and data count, and nothing past the end the RIFF chunk claims.
  const Bytes file = Riff({Chunk("fmt ", Format()), Chunk("data", kSamples)});
  Bytes trailing = file;
  const Bytes extra = Chunk("data", {9, 9});
  trailing.insert(trailing.end(), extra.begin(), extra.end());
  EXPECT_EQ(Played(trailing), kSamples);
}

TEST(WaveFile, RefusesWhatWinmmCannotPlaySafely) {
  const Bytes data = Chunk("data", kSamples);
  const Bytes format = Chunk("fmt ", Format());
  Bytes cutInFormat = Riff({format, data});
  cutInFormat.resize(12 + 8 + 10);
  Bytes wideFormat = Format();
  wideFormat[0] = 3;  // not PCM: needs the size of its extra bytes, which is missing
  const std::vector<std::pair<const char*, Bytes>> refused{
      {"empty", {}},
      {"text", Bytes{'T', 'h', 'i', 's', ' ', 'i', 's', ' ', 'n', 'o', ' ', 'W', 'A', 'V', '.'}},
      {"RIFF of another kind",
       [&] {
         Bytes avi = Riff({format, data});
         avi[8] = 'A', avi[9] = 'V', avi[10] = 'I', avi[11] = ' ';
         return avi;
       }()},
      {"no fmt", Riff({data})},
      {"no data", Riff({format})},
      {"data only before fmt, where winmm does not look", Riff({data, format})},
      {"cut inside fmt", cutInFormat},
      {"fmt too short", Riff({Chunk("fmt ", Bytes(14, 1)), data})},
      {"fmt past the RIFF end", Riff({format, data}, 4 + 10)},
      {"no channels", Riff({Chunk("fmt ", Format(0)), data})},
      {"too many channels", Riff({Chunk("fmt ", Format(200)), data})},
      {"no block size", Riff({Chunk("fmt ", Format(1, 0)), data})},
      {"extended format without its size", Riff({Chunk("fmt ", wideFormat), data})},
  };
  for (const auto& [what, file] : refused) EXPECT_FALSE(FindWaveChunks(file)) << what;
}

}  // namespace
}  // namespace harkwell::platform
