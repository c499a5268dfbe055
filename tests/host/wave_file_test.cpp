// The check a sound file passes before it is played: which files pass, what
// it reads of them, what the rebuilt copy holds, and that nothing outside the
// file is ever used.
#include "platform/wave_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/expected.h"
#include "tests/wav_writer.h"

namespace harkwell::platform {
namespace {

using namespace harkwell::test;

// A file of `size` bytes that begins with `head` and holds zeros after it,
// counting the bytes the check asks for.
struct FileReader {
  std::string head;
  std::uint64_t size = head.size();
  std::uint64_t bytesAsked = 0;

  ReadAt Reader() {
    return [this](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
      bytesAsked += into.size();
      if (offset >= size) return 0;
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), size - offset));
      for (std::size_t i = 0; i < count; ++i)
        into[i] = offset + i < head.size() ? static_cast<std::uint8_t>(head[offset + i]) : 0;
      return count;
    };
  }
};

std::optional<WaveChunks> Find(const std::string& file) {
  FileReader reader{file};
  return FindWaveChunks(reader.size, reader.Reader());
}

const std::string kSamples(1000, 0x5A);

// The samples a file plays, read back from its rebuilt copy; nothing when the
// check refuses it. The copy must be exactly RIFF, WAVE, fmt and data.
std::optional<std::string> Played(const std::string& file) {
  FileReader reader{file};
  const std::optional<WaveChunks> chunks = FindWaveChunks(reader.size, reader.Reader());
  if (!chunks) return std::nullopt;
  const std::optional<std::vector<std::uint8_t>> wave = BuildPlayableWave(*chunks, reader.Reader());
  if (!wave) return std::nullopt;
  const std::string data = file.substr(chunks->dataOffset, chunks->dataSize);
  EXPECT_FALSE(chunks->formatChanged);  // samples cut to the file's end leave the format as it is
  const std::string format(chunks->format.begin(), chunks->format.end());
  EXPECT_EQ(std::string(wave->begin(), wave->end()), Riff({Chunk("fmt ", format), Chunk("data", data)}));
  return data;
}

TEST(WaveFile, OrdinaryFormatsAreFoundByReadingOnlyTheirHeaders) {
  const std::string adpcmExtra = std::string("\x20\x00\xF4\x01\x07\x00", 6) + std::string(28, '\x01');
  const std::string extensible = std::string("\x16\x00", 2) + std::string(22, '\x02');
  const struct {
    const char* what;
    std::string format;
    std::string expected;  // the format as read, when it differs from the chunk
    std::uint32_t dataSize = 4000;
  } cases[] = {
      {"8-bit PCM", Format(1, 1, 22050, 8), ""},
      {"16-bit PCM stereo", Format(1, 2, 44100, 16), ""},
      {"24-bit PCM, 6 channels", Format(1, 6, 48000, 24), ""},
      {"PCM, the most channels", Format(1, 32, 8000, 8), ""},
      {"PCM, the fewest bytes a second", Format(1, 1, 3, 8), ""},
      {"PCM, the most bytes a second", Format(1, 2, 1 << 24, 16), ""},
      {"32-bit PCM with a zero extra size", Format(1, 1, 8000, 32, std::string(2, '\0')), ""},
      {"float", Format(3, 2, 44100, 32, std::string(2, '\0')), ""},
      {"float in a 16-byte chunk", Format(3, 1, 44100, 32), Format(3, 1, 44100, 32, std::string(2, '\0'))},
      {"extensible, 6 channels", Format(0xFFFE, 6, 48000, 16, extensible), ""},
      {"MS ADPCM", Format(2, 1, 22050, 4, adpcmExtra, 512), ""},
      {"mu-law", Format(7, 1, 8000, 8, std::string(2, '\0')), ""},
      {"40 MiB of 16-bit PCM", Format(1, 2, 44100, 16), "", 40u << 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FileReader reader{
        Riff({Chunk("LIST", "INFOxxxx"), Chunk("fmt ", c.format), Chunk("data", "", c.dataSize)},
             4 + 16 + 8 + c.format.size() + c.format.size() % 2 + 8 + c.dataSize)};
    reader.size += c.dataSize + 10;  // and bytes past the end the RIFF chunk claims
    const std::optional<WaveChunks> chunks = FindWaveChunks(reader.size, reader.Reader());
    ASSERT_TRUE(chunks);
    const std::string& expected = c.expected.empty() ? c.format : c.expected;
    EXPECT_EQ(std::string(chunks->format.begin(), chunks->format.end()), expected);
    EXPECT_EQ(chunks->formatChanged, !c.expected.empty());
    EXPECT_EQ(chunks->dataOffset, reader.head.size());
    EXPECT_EQ(chunks->dataSize, c.dataSize);
    EXPECT_LE(reader.bytesAsked, 4096u);
  }

  // The largest extra size, and a byte beyond it that is not part of the format.
  const std::string largest =
      Format(2, 1, 22050, 4, std::string("\xFF\xFF", 2) + std::string(0x10000, 'x'), 512);
  const std::optional<WaveChunks> chunks = Find(Riff({Chunk("fmt ", largest), Chunk("data", kSamples)}));
  ASSERT_TRUE(chunks);
  EXPECT_EQ(std::string(chunks->format.begin(), chunks->format.end()), largest.substr(0, 18 + 0xFFFF));
  EXPECT_TRUE(chunks->formatChanged);
}

TEST(WaveFile, PlaysTheSamplesTheFileHoldsWhateverItsHeaderClaims) {
  const std::string format = Chunk("fmt ", Format(1, 1, 22050, 16));
  EXPECT_EQ(Played(Riff({format, Chunk("data", kSamples)})), kSamples);

  // A header that claims 64 MiB: only the bytes that are there.
  std::string claims = Riff({format, Chunk("data", kSamples, 64u << 20)}, 64u << 20);
  EXPECT_EQ(Played(claims), kSamples);
  claims.pop_back();
  EXPECT_EQ(Played(claims), kSamples.substr(1));
  claims.resize(claims.size() - 999);
  EXPECT_EQ(Played(claims), "");
  // A streaming writer's RIFF size, left at its largest.
  for (const std::uint32_t largest : {0xFFFFFFF8u, 0xFFFFFFFFu})
    EXPECT_EQ(Played(Riff({format, Chunk("data", kSamples)}, largest)), kSamples);

  // Other chunks around them, and odd sizes with their pad bytes.
  const std::string odd(999, 0x11);
  const std::string oddFormat = Format(2, 1, 22050, 4, std::string("\x01\x00\x07", 3), 512);
  EXPECT_EQ(Played(Riff({Chunk("LIST", "abc"), Chunk("fmt ", oddFormat), Chunk("cue ", "x"),
                         Chunk("data", odd), Chunk("LIST", "y")})),
            odd);

  // The first fmt and data count, and nothing past the end the RIFF chunk claims.
  std::string trailing = Riff({format, Chunk("data", kSamples, 2000)});
  trailing += Chunk("data", "zz");
  EXPECT_EQ(Played(trailing), kSamples);

  // As many samples as are copied into memory, every size whole to its top
  // byte; one more are too many, or gone by the time they are read.
  WaveChunks chunks{{}, 44, expected::kMaxInMemorySoundBytes};
  const std::optional<std::vector<std::uint8_t>> most =
      BuildPlayableWave(chunks, FileReader{"", 1u << 30}.Reader());
  ASSERT_TRUE(most);
  EXPECT_EQ(std::string(most->begin(), most->begin() + 28),
            Riff({Chunk("fmt ", ""), Chunk("data", "", expected::kMaxInMemorySoundBytes)}, most->size() - 8));
  chunks.dataSize = expected::kMaxInMemorySoundBytes + 1;
  EXPECT_FALSE(BuildPlayableWave(chunks, FileReader{"", 1u << 30}.Reader()));
  chunks.dataSize = 100;
  EXPECT_FALSE(BuildPlayableWave(chunks, FileReader{"", 50}.Reader()));
}

TEST(WaveFile, RefusesWhatWinmmCannotPlaySafely) {
  const std::string data = Chunk("data", kSamples);
  const std::string format = Chunk("fmt ", Format(1, 1, 22050, 16));
  std::string avi = Riff({format, data});
  avi.replace(8, 4, "AVI ");
  std::string rifx = Riff({format, data});
  rifx[3] = 'X';
  const auto afterEmptyChunks = [&](int count) {
    std::string chunks = format;
    for (int i = 0; i < count; ++i) chunks += Chunk("junk", "");
    return Riff({chunks, data});
  };
  const std::vector<std::pair<const char*, std::string>> refused{
      {"empty", ""},
      {"text", "This is no WAV."},
      {"RIFF of another kind", avi},
      {"big-endian RIFX", rifx},
      {"no fmt", Riff({data})},
      {"no data", Riff({format})},
      {"data only before fmt, where winmm does not look", Riff({data, format})},
      {"cut inside fmt", Riff({format, data}).substr(0, 12 + 8 + 10)},
      {"fmt too short", Riff({Chunk("fmt ", std::string(14, 1)), data})},
      {"fmt past the RIFF end", Riff({format, data}, 4 + 10)},
      {"no channels", Riff({Chunk("fmt ", Format(1, 0, 22050, 16, "", 2)), data})},
      {"too many channels", Riff({Chunk("fmt ", Format(1, 33, 22050, 16)), data})},
      {"no block size", Riff({Chunk("fmt ", Format(1, 1, 22050, 16).replace(12, 1, 1, '\0')), data})},
      {"too few bytes a second", Riff({Chunk("fmt ", Format(1, 1, 2, 8)), data})},
      {"too many bytes a second", Riff({Chunk("fmt ", Format(1, 1, (1 << 26) + 1, 8)), data})},
      {"not PCM, cut inside the extra size",
       Riff({Chunk("fmt ", Format(3, 1, 44100, 32, std::string(1, 0))), data})},
      {"not PCM, an extra byte missing",
       Riff({Chunk("fmt ", Format(2, 1, 22050, 4, std::string("\x20\0", 2) + std::string(31, 1), 512)),
             data})},
      {"data past the 1024th chunk", afterEmptyChunks(1023)},
  };
  for (const auto& [what, file] : refused) EXPECT_FALSE(Find(file)) << what;
  // Reads that come short, wherever they stop, refuse the file.
  for (const std::uint64_t left : {0, 12, 20})
    EXPECT_FALSE(FindWaveChunks(1000, FileReader{Riff({format, data}), left}.Reader())) << left;
  EXPECT_TRUE(Find(afterEmptyChunks(1022)));
}

}  // namespace
}  // namespace harkwell::platform
