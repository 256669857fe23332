#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "input/WavFile.h"
#include "tests/input/Signals.h"

namespace auralis {
namespace {

using Bytes = std::vector<std::uint8_t>;

void append16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void append32(Bytes& out, std::uint32_t value) {
  append16(out, value & 0xFFFF);
  append16(out, value >> 16);
}

void appendId(Bytes& out, const char* id) {
  out.insert(out.end(), id, id + 4);
}

struct Format {
  std::uint32_t tag = 1;
  std::uint32_t channels = 1;
  std::uint32_t rate = 44100;
  std::uint32_t byteRate = 88200;
  std::uint32_t blockAlign = 2;
  std::uint32_t bits = 16;
};

Bytes fmtBody(const Format& f) {
  Bytes body;
  append16(body, f.tag);
  append16(body, f.channels);
  append32(body, f.rate);
  append32(body, f.byteRate);
  append16(body, f.blockAlign);
  append16(body, f.bits);
  return body;
}

const std::uint8_t kPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

Bytes extensibleBody(std::uint32_t validBits = 16, std::uint8_t subformat = 0x01) {
  Format f;
  f.tag = 0xFFFE;
  Bytes body = fmtBody(f);
  append16(body, 22);
  append16(body, validBits);
  append32(body, 0x4);  // front centre
  body.insert(body.end(), kPcmGuid, kPcmGuid + 16);
  body[24] = subformat;
  return body;
}

// A chunk with a declared size that may differ from its body; odd bodies get their pad byte.
Bytes chunk(const char* id, const Bytes& body, std::optional<std::uint32_t> declared = {}) {
  Bytes out;
  appendId(out, id);
  append32(out, declared.value_or(static_cast<std::uint32_t>(body.size())));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2) out.push_back(0);
  return out;
}

Bytes samplesBody(const std::vector<std::int16_t>& samples) {
  Bytes body;
  for (const std::int16_t s : samples) append16(body, static_cast<std::uint16_t>(s));
  return body;
}

Bytes riff(const std::vector<Bytes>& chunks, const char* form = "WAVE") {
  Bytes inner;
  appendId(inner, form);
  for (const Bytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
  Bytes out;
  appendId(out, "RIFF");
  append32(out, static_cast<std::uint32_t>(inner.size()));
  out.insert(out.end(), inner.begin(), inner.end());
  return out;
}

const std::vector<std::int16_t> kSamples = {0, 1, -1, 32767, -32768, 1234, -4321, 7};

class WavFileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("auralis-wav-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::filesystem::path folder;
};

TEST_F(WavFileTest, WrittenFileReadsBackTheSameSamples) {
  const std::vector<std::vector<std::int16_t>> cases = {
      {}, kSamples, signals::noise(30000, 44100, 3)};
  for (const auto& samples : cases) {
    const auto path = folder / "round.wav";
    ASSERT_EQ(writeWavFile(path, samples), "");
    EXPECT_EQ(std::filesystem::file_size(path), 44 + 2 * samples.size());
    const WavReadResult read = readWavFile(path);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.samples, samples);
  }
}

TEST_F(WavFileTest, FileProblemsNameThePath) {
  const auto missing = folder / "missing.wav";
  const WavReadResult notThere = readWavFile(missing);
  EXPECT_FALSE(notThere.ok());
  EXPECT_NE(notThere.error.find(missing.string()), std::string::npos) << notThere.error;
  EXPECT_NE(notThere.error.find("No such file"), std::string::npos) << notThere.error;

  EXPECT_FALSE(readWavFile(folder).ok());
  EXPECT_NE(writeWavFile(folder / "no" / "such" / "folder.wav", kSamples), "");

  const auto bad = folder / "bad.wav";
  std::ofstream(bad) << "RIFX and more bytes";
  const WavReadResult notWave = readWavFile(bad);
  EXPECT_NE(notWave.error.find(bad.string()), std::string::npos) << notWave.error;
  EXPECT_NE(notWave.error.find("not a RIFF file"), std::string::npos) << notWave.error;
}

TEST_F(WavFileTest, EveryTruncationIsAnError) {
  const Bytes whole = encodeWav(kSamples);
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const WavReadResult r = parseWav(std::span(whole.data(), length));
    EXPECT_FALSE(r.ok()) << length;
    EXPECT_TRUE(r.samples.empty());
  }
}

TEST_F(WavFileTest, MalformedFilesSayWhatIsWrong) {
  const Bytes fmt = chunk("fmt ", fmtBody({}));
  const Bytes data = chunk("data", samplesBody(kSamples));
  auto withFormat = [&](auto change) {
    Format f;
    change(f);
    return riff({chunk("fmt ", fmtBody(f)), data});
  };
  Bytes lyingRiff = riff({fmt, data});
  lyingRiff[4] = lyingRiff[5] = lyingRiff[6] = lyingRiff[7] = 0xFF;
  Bytes tinyRiff = riff({fmt, data});
  std::memset(&tinyRiff[4], 0, 4);
  Bytes notRiff = riff({fmt, data});
  notRiff[3] = 'X';
  // An odd chunk without its pad byte puts the next chunk header one byte early.
  Bytes unpadded = riff({fmt, chunk("LIST", Bytes{1, 2, 3}), data});
  unpadded.erase(unpadded.begin() + 12 + 24 + 8 + 3);
  unpadded[4] = static_cast<std::uint8_t>(unpadded[4] - 1);
  const Bytes extensible = extensibleBody();
  const Bytes shortExtensible(extensible.begin(), extensible.begin() + 30);

  struct Row {
    const char* what;
    Bytes bytes;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"empty", {}, "too short"},
      {"not RIFF", notRiff, "not a RIFF file"},
      {"other form", riff({fmt, data}, "AVI "), "not a WAVE file"},
      {"RIFF size past the end", lyingRiff, "truncated"},
      {"RIFF size too small", tinyRiff, "too small"},
      {"data size past the end", riff({fmt, chunk("data", samplesBody(kSamples), 0x7FFFFFF0)}),
       "'data' chunk at byte 36 declares"},
      {"fmt size past the end", riff({chunk("fmt ", fmtBody({}), 0xFFFFFFFF)}), "'fmt ' chunk"},
      {"half a chunk header", riff({fmt, data, Bytes{'L', 'I', 'S'}}), "truncated chunk header"},
      {"no fmt", riff({data}), "no fmt chunk"},
      {"no data", riff({fmt}), "no data chunk"},
      {"two data chunks", riff({fmt, data, data}), "more than one data chunk"},
      {"two fmt chunks", riff({fmt, fmt, data}), "more than one fmt chunk"},
      {"short fmt", riff({chunk("fmt ", Bytes(14, 0)), data}), "too short (needs 16)"},
      {"float samples", withFormat([](Format& f) { f.tag = 3; }), "format tag 3"},
      {"stereo", withFormat([](Format& f) { f.channels = 2; }), "2 channels"},
      {"48 kHz", withFormat([](Format& f) { f.rate = 48000; }), "sample rate 48000"},
      {"8-bit", withFormat([](Format& f) { f.bits = 8; }), "8 bits per sample"},
      {"block align", withFormat([](Format& f) { f.blockAlign = 4; }), "block align 4"},
      {"byte rate", withFormat([](Format& f) { f.byteRate = 44100; }), "byte rate 44100"},
      {"odd data", riff({fmt, chunk("data", Bytes{1, 2, 3})}), "not a whole number"},
      {"missing pad byte", unpadded, nullptr},
      {"extensible, float", riff({chunk("fmt ", extensibleBody(16, 0x03)), data}), "not PCM"},
      {"extensible, 12 valid bits", riff({chunk("fmt ", extensibleBody(12)), data}),
       "12 valid bits"},
      {"extensible, short", riff({chunk("fmt ", shortExtensible), data}), "too short (needs 40)"},
  };
  for (const Row& row : rows) {
    const WavReadResult r = parseWav(row.bytes);
    EXPECT_FALSE(r.ok()) << row.what;
    EXPECT_TRUE(r.samples.empty()) << row.what;
    if (row.message) {
      EXPECT_NE(r.error.find(row.message), std::string::npos) << r.error;
    }
  }
}

TEST_F(WavFileTest, AcceptsWhatWellFormedFilesMayHold) {
  const Bytes fmt = chunk("fmt ", fmtBody({}));
  const Bytes data = chunk("data", samplesBody(kSamples));
  Bytes fmtWithExtraSize = fmtBody({});
  append16(fmtWithExtraSize, 0);
  Bytes trailing = riff({fmt, data});
  trailing.insert(trailing.end(), {0, 0, 0});
  struct Row {
    const char* what;
    Bytes bytes;
  };
  const std::vector<Row> rows = {
      {"odd chunk with its pad byte", riff({fmt, chunk("LIST", Bytes{1, 2, 3}), data})},
      {"data before fmt", riff({data, fmt})},
      {"18-byte fmt", riff({chunk("fmt ", fmtWithExtraSize), data})},
      {"extensible PCM", riff({chunk("fmt ", extensibleBody()), data})},
      {"bytes after the RIFF form", trailing},
      {"odd last chunk without its pad",
       [&] {
         Bytes b = riff({fmt, data, chunk("note", Bytes{9})});
         b.pop_back();
         b[4] = static_cast<std::uint8_t>(b[4] - 1);
         return b;
       }()},
  };
  for (const Row& row : rows) {
    const WavReadResult r = parseWav(row.bytes);
    ASSERT_TRUE(r.ok()) << row.what << ": " << r.error;
    EXPECT_EQ(r.samples, kSamples) << row.what;
  }
}

}  // namespace
}  // namespace auralis
