// The voiceconv program as people and scripts run it.
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "voiceconv/Alaw.h"
#include "voiceconv/FileConversion.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testing::HasSubstr;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class VoiceconvTool : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "voiceconv-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  [[nodiscard]] std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    fs::create_directories(fs::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }
  [[nodiscard]] static Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  Outcome Voiceconv(const std::string& arguments) {
    const std::string out = Path("stdout.txt");
    const std::string err = Path("stderr.txt");
    const int raw = std::system(
        (std::string(VOICECONV_TOOL) + " " + arguments + " >" + out + " 2>" + err + " </dev/null")
            .c_str());
    const Bytes o = Read(out);
    const Bytes e = Read(err);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(o.begin(), o.end()),
            std::string(e.begin(), e.end())};
  }
  static Bytes RandomBytes(std::size_t n, unsigned key) {
    std::mt19937 random(key);
    Bytes v(n);
    for (auto& b : v) b = static_cast<uint8_t>(random());
    return v;
  }

  fs::path dir_;
};

// A WAVE file as other writers make them: 16-byte format chunk, optional chunks around it.
Bytes OrdinaryWave(const std::vector<int16_t>& samples, uint16_t channels = 1, uint32_t rate = 8000,
                   bool listChunk = false, bool streamed = false) {
  Bytes w;
  auto text = [&](const char* s) { w.insert(w.end(), s, s + 4); };
  auto le16 = [&](uint32_t v) {
    w.push_back(static_cast<uint8_t>(v));
    w.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto le32 = [&](uint32_t v) { le16(v & 0xFFFF), le16(v >> 16); };
  text("RIFF"), le32(0), text("WAVE");
  text("fmt "), le32(16), le16(1), le16(channels), le32(rate), le32(rate * 2 * channels),
      le16(2 * channels), le16(16);
  if (listChunk) {
    text("LIST"), le32(5);
    w.insert(w.end(), {'I', 'N', 'F', 'O', 'x', 0});  // odd length and its pad byte
  }
  text("data"), le32(streamed ? 0xFFFFFFFF : static_cast<uint32_t>(2 * samples.size()));
  for (int16_t s : samples) le16(static_cast<uint16_t>(s));
  return w;
}

TEST_F(VoiceconvTool, HelpShowsUsageAndExamples) {
  const Outcome r = Voiceconv("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("voiceconv CONVERSION SOURCE DESTINATION"));
  EXPECT_THAT(r.out, HasSubstr("Examples:"));
  EXPECT_THAT(r.out, HasSubstr("voiceconv info greeting.wav"));
}

TEST_F(VoiceconvTool, WrongUsageExitsWithTwo) {
  const char* cases[] = {
      "",     "mp3towave a b",       "pcm2wave onlyone", "pcm2wave -j x -o d f", "pcm2wave -o",
      "info", "pcm2wave --bogus a b"};
  for (const char* arguments : cases) {
    const Outcome r = Voiceconv(arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_THAT(r.err, HasSubstr("voiceconv: ")) << arguments;
  }
}

TEST_F(VoiceconvTool, ConvertsOneFileLikeTheLibrary) {
  const Bytes pcm = RandomBytes(4001, 1);
  const std::string src = Write("a.pcm", pcm);
  for (const auto& info : voiceconv::kConversions) {
    if (info.id == voiceconv::Conversion::WaveToPcm) continue;  // reads chunks, shown below
    const std::string dst = Path(std::string("a.") + std::string(info.command));
    const Outcome r = Voiceconv(std::string(info.command) + " " + src + " " + dst);
    ASSERT_EQ(r.status, 0) << info.command << r.err;
    EXPECT_TRUE(r.out.empty()) << info.command;  // no progress line from the tool
    const std::string expected = dst + ".expected";
    ASSERT_EQ(voiceconv::ConvertFile(info.id, src.c_str(), expected.c_str()).status,
              voiceconv::Status::Converted);
    EXPECT_EQ(Read(dst), Read(expected)) << info.command;
  }
}

TEST_F(VoiceconvTool, FailureNamesTheFileAndTheReason) {
  const Outcome r = Voiceconv("ad2pcm " + Path("missing.vox") + " " + Path("out.pcm"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "voiceconv: '" + Path("missing.vox") + "': cannot open: No such file or directory\n");
  EXPECT_FALSE(fs::exists(Path("out.pcm")));
}

// Any ordinary WAVE file gives exactly its samples: no header bytes taken for sound.
TEST_F(VoiceconvTool, Wave2pcmConvertsExactlyTheDataChunk) {
  std::vector<int16_t> samples;
  for (int i = 0; i < 1001; ++i) samples.push_back(static_cast<int16_t>((i * 97) % 20000 - 10000));
  Bytes expected;
  for (int16_t s : samples) expected.push_back(voiceconv::Linear16toAlaw(s));
  struct Case {
    const char* name;
    Bytes file;
  };
  Bytes trailing = OrdinaryWave(samples);
  trailing.insert(trailing.end(), {'L', 'I', 'S', 'T', 2, 0, 0, 0, 'a', 'b'});
  const Case cases[] = {
      {"44-byte header", OrdinaryWave(samples)},
      {"LIST chunk of odd length", OrdinaryWave(samples, 1, 8000, true)},
      {"streamed, length unknown", OrdinaryWave(samples, 1, 8000, false, true)},
      {"chunk after the data", trailing},
  };
  for (const Case& c : cases) {
    const std::string src = Write("in.wav", c.file);
    const Outcome r = Voiceconv("wave2pcm " + src + " " + Path("out.pcm"));
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(Read(Path("out.pcm")), expected) << c.name;
  }
  // The converter's own 58-byte files too.
  const std::string pcm = Write("own.pcm", RandomBytes(300, 2));
  ASSERT_EQ(Voiceconv("pcm2wave " + pcm + " " + Path("own.wav")).status, 0);
  ASSERT_EQ(Voiceconv("wave2pcm " + Path("own.wav") + " " + Path("own2.pcm")).status, 0);
  EXPECT_EQ(Read(Path("own2.pcm")).size(), 300u);
}

TEST_F(VoiceconvTool, Wave2pcmRefusesOtherFormatsAndSaysWhatItFound) {
  const std::string stereo = Write("stereo.wav", OrdinaryWave({1, 2, 3, 4}, 2, 44100));
  Outcome r = Voiceconv("wave2pcm " + stereo + " " + Path("out.pcm"));
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err,
              HasSubstr("is 16-bit stereo 44100 Hz PCM; wave2pcm needs 16-bit mono 8000 Hz PCM"));
  EXPECT_FALSE(fs::exists(Path("out.pcm")));

  r = Voiceconv("wave2pcm " + Write("raw.pcm", RandomBytes(100, 3)) + " " + Path("out.pcm"));
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("not a RIFF WAVE file"));
}

TEST_F(VoiceconvTool, BatchConvertsManyFilesInParallel) {
  std::vector<std::string> sources;
  std::string list;
  for (int i = 0; i < 40; ++i) {
    sources.push_back(
        Write("in/p" + std::to_string(i) + ".vox", RandomBytes(100 + 37 * i, 10 + i)));
    list += " " + sources.back();
  }
  const Outcome r = Voiceconv("ad6k2pcm -j 3 -o " + Path("out") + list);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("ad6k2pcm: 40 converted, 0 failed"));
  for (int i = 0; i < 40; ++i) {
    const std::string expected = Path("expected.pcm");
    ASSERT_EQ(voiceconv::ConvertFile(voiceconv::Conversion::Ad6kToPcm, sources[i].c_str(),
                                     expected.c_str())
                  .status,
              voiceconv::Status::Converted);
    EXPECT_EQ(Read(Path("out/p" + std::to_string(i) + ".pcm")), Read(expected)) << i;
  }
}

TEST_F(VoiceconvTool, BatchGoesOnPastAFailedFile) {
  const std::string good = Write("good.pcm", RandomBytes(500, 4));
  const Outcome r =
      Voiceconv("pcm2wave -q -o " + Path("out") + " " + Path("gone.pcm") + " " + good);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("gone.pcm': cannot open"));
  EXPECT_THAT(r.out, HasSubstr("1 converted, 1 failed"));
  EXPECT_EQ(Read(Path("out/good.wav")).size(), 58u + 1000u);
}

TEST_F(VoiceconvTool, BatchRefusesTwoSourcesForOneDestination) {
  const std::string a = Write("a/x.pcm", RandomBytes(10, 5));
  const std::string b = Write("b/x.pcm", RandomBytes(10, 6));
  const Outcome r = Voiceconv("pcm2ad -o " + Path("out") + " " + a + " " + b);
  EXPECT_EQ(r.status, 2);
  EXPECT_THAT(r.err, HasSubstr("would both become"));
}

TEST_F(VoiceconvTool, InfoTellsWhatAFileIs) {
  const std::string pcm = Write("one-second.pcm", RandomBytes(8000, 7));
  ASSERT_EQ(Voiceconv("pcm2wave " + pcm + " " + Path("one-second.wav")).status, 0);
  Outcome r = Voiceconv("info " + Path("one-second.wav"));
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("RIFF WAVE, 16-bit mono 8000 Hz PCM"));
  EXPECT_THAT(r.out, HasSubstr("fact: 8000 samples"));
  EXPECT_THAT(r.out, HasSubstr("data: 16000 bytes at offset 58, 8000 samples, 1.000 s"));
  EXPECT_THAT(r.out, HasSubstr("wave2pcm converts it"));

  r = Voiceconv("info -r 6000 " + pcm);
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("headerless, 8000 bytes"));
  EXPECT_THAT(r.out, HasSubstr("as 4-bit ADPCM at 6000 Hz: 16000 samples, 2.667 s"));

  r = Voiceconv("info " + Write("stereo.wav", OrdinaryWave({1, 2, 3, 4}, 2, 44100, false, true)));
  EXPECT_THAT(r.out, HasSubstr("unknown length"));
  EXPECT_THAT(r.out, HasSubstr("wave2pcm refuses it"));

  r = Voiceconv("info " + Path("nothing-here"));
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("cannot open"));
}

}  // namespace
