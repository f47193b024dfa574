// The five exports of libPirrow.so, loaded as the board's software loads them: by name.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "voiceconv/Alaw.h"

namespace {

namespace fs = std::filesystem;
using Export = int32_t (*)(const char*, const char*);
using Bytes = std::vector<uint8_t>;

constexpr const char* kExportNames[] = {"Ad6ktoPcm", "AdtoPcm", "PcmtoAd", "PcmtoWave",
                                        "WavetoPcm"};

class Pirrow {
 public:
  Pirrow() : handle_(dlopen(PIRROW_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~Pirrow() {
    if (handle_) dlclose(handle_);
  }
  [[nodiscard]] bool Loaded() const { return handle_ != nullptr; }
  [[nodiscard]] Export Get(const char* name) const {
    return reinterpret_cast<Export>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

class ExportsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib_.Loaded()) << dlerror();
    std::string pattern = testing::TempDir() + "pirrow-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  [[nodiscard]] std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  [[nodiscard]] std::string Path(const char* stem, int number) const {
    std::string name = stem;
    name += std::to_string(number);
    return Path(name);
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }
  [[nodiscard]] Bytes Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  int32_t Call(const char* name, const std::string& src, const std::string& dst) {
    return lib_.Get(name)(src.c_str(), dst.c_str());
  }
  static Bytes RandomBytes(std::size_t n, unsigned key) {
    std::mt19937 random(key);
    Bytes v(n);
    for (auto& b : v) b = static_cast<uint8_t>(random());
    return v;
  }

  Pirrow lib_;
  fs::path dir_;
};

TEST_F(ExportsTest, LibraryExportsTheFiveConversionsAndNothingElse) {
  const std::string listing = RunCommand(std::string("nm -D --defined-only ") + PIRROW_LIBRARY);
  std::set<std::string> defined;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) defined.insert(name);
  }
  EXPECT_EQ(defined, std::set<std::string>(std::begin(kExportNames), std::end(kExportNames)))
      << listing;
}

TEST_F(ExportsTest, EmptySources) {
  const std::string empty = Write("empty", {});
  for (const char* name : kExportNames) {
    EXPECT_EQ(Call(name, empty, Path("out")), 1) << name;
    const Bytes out = Read(Path("out"));
    if (std::string(name) == "PcmtoWave") {
      ASSERT_EQ(out.size(), 58u);
      EXPECT_EQ(out[4], 50);  // RIFF length
      EXPECT_EQ(out[54], 0);  // data length
      EXPECT_EQ(out[46], 0);  // fact samples
    } else {
      EXPECT_TRUE(out.empty()) << name;
    }
  }
}

TEST_F(ExportsTest, DestinationLengthsFollowTheSourceLength) {
  struct Case {
    const char* name;
    std::size_t source;
    std::size_t destination;
  };
  const Case cases[] = {{"PcmtoWave", 1001, 58 + 2002}, {"WavetoPcm", 57, 0},
                        {"WavetoPcm", 58 + 2001, 1000}, {"PcmtoAd", 1, 0},
                        {"PcmtoAd", 321, 160},          {"AdtoPcm", 161, 322},
                        {"Ad6ktoPcm", 300, 800},        {"Ad6ktoPcm", 1001, 2669}};
  for (const Case& c : cases) {
    const std::string src = Write("src", RandomBytes(c.source, 1));
    ASSERT_EQ(Call(c.name, src, Path("dst")), 1) << c.name;
    EXPECT_EQ(Read(Path("dst")).size(), c.destination) << c.name << " of " << c.source;
  }
}

TEST_F(ExportsTest, SilenceStaysSilence) {
  const std::string pcm = Write("silence.pcm", Bytes(800, 0x55));
  ASSERT_EQ(Call("PcmtoAd", pcm, Path("silence.vox")), 1);
  EXPECT_EQ(Read(Path("silence.vox")), Bytes(400, 0x08));
  ASSERT_EQ(Call("PcmtoWave", pcm, Path("silence.wav")), 1);
  const Bytes wave = Read(Path("silence.wav"));
  EXPECT_EQ(Bytes(wave.begin() + 58, wave.end()), Bytes(1600, 0));
}

TEST_F(ExportsTest, WaveRoundTripLowersEachMagnitudeCodeByOne) {
  Bytes all(256);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<uint8_t>(b);
  ASSERT_EQ(Call("PcmtoWave", Write("all.pcm", all), Path("all.wav")), 1);
  ASSERT_EQ(Call("WavetoPcm", Path("all.wav"), Path("back.pcm")), 1);
  const Bytes back = Read(Path("back.pcm"));
  ASSERT_EQ(back.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(back[b], voiceconv::Linear16toAlaw(voiceconv::AlawtoLinear16(all[b]))) << b;
  }
}

// The export skips 58 bytes whatever the header says; a plain 44-byte header costs 7 samples.
TEST_F(ExportsTest, WavetoPcmSkipsFiftyEightBytesOfAnyHeader) {
  Bytes wave(44, 0);
  std::memcpy(wave.data(), "RIFF", 4);
  for (int i = 0; i < 100; ++i) {
    const auto s = static_cast<uint16_t>(i * 300);
    wave.push_back(static_cast<uint8_t>(s));
    wave.push_back(static_cast<uint8_t>(s >> 8));
  }
  ASSERT_EQ(Call("WavetoPcm", Write("plain.wav", wave), Path("plain.pcm")), 1);
  const Bytes pcm = Read(Path("plain.pcm"));
  ASSERT_EQ(pcm.size(), 93u);
  EXPECT_EQ(pcm[0], voiceconv::Linear16toAlaw(7 * 300));
}

TEST_F(ExportsTest, AdtoPcmPrintsItsProgressLine) {
  const std::string src = Write("320.vox", Bytes(320, 0x17));
  const std::string captured = Path("stdout.txt");
  std::fflush(stdout);
  const int saved = dup(1);
  const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  dup2(file, 1);
  const int32_t status = Call("AdtoPcm", src, Path("320.pcm"));
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(file);
  EXPECT_EQ(status, 1);
  const Bytes text = Read(captured);
  EXPECT_EQ(std::string(text.begin(), text.end()), "\r 1\r 51");
  EXPECT_EQ(Read(Path("320.pcm")).size(), 640u);
}

TEST_F(ExportsTest, Ad6ktoPcmBeginsAndEndsWithSilence) {
  ASSERT_EQ(Call("Ad6ktoPcm", Write("300.vox", RandomBytes(300, 3)), Path("300.pcm")), 1);
  const Bytes out = Read(Path("300.pcm"));
  ASSERT_EQ(out.size(), 800u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 38), Bytes(38, 0x55));
  EXPECT_EQ(Bytes(out.end() - 37, out.end()), Bytes(37, 0x55));
  EXPECT_NE(out[38], 0x55);
}

TEST_F(ExportsTest, MissingSourceCreatesNothing) {
  for (const char* name : kExportNames) {
    EXPECT_EQ(Call(name, Path("missing"), Path("never")), -1) << name;
    EXPECT_FALSE(fs::exists(Path("never"))) << name;
  }
  const std::string directory = Path("a-directory");
  fs::create_directory(directory);
  EXPECT_EQ(Call("PcmtoWave", directory, Path("never")), -1);
  EXPECT_FALSE(fs::exists(Path("never")));
}

TEST_F(ExportsTest, UncreatableDestination) {
  const std::string src = Write("src", Bytes(10, 0x55));
  for (const char* name : kExportNames) {
    EXPECT_EQ(Call(name, src, Path("no-such-dir/out")), -2) << name;
  }
}

TEST_F(ExportsTest, NullAndEmptyPaths) {
  const std::string src = Write("src", Bytes(10, 0x55));
  for (const char* name : kExportNames) {
    const Export f = lib_.Get(name);
    EXPECT_EQ(f(nullptr, Path("out").c_str()), -1) << name;
    EXPECT_EQ(f("", Path("out").c_str()), -1) << name;
    EXPECT_EQ(f(nullptr, nullptr), -1) << name;
    EXPECT_EQ(f(src.c_str(), nullptr), -2) << name;
    EXPECT_EQ(f(src.c_str(), ""), -2) << name;
  }
  EXPECT_FALSE(fs::exists(Path("out")));
}

// Converting a file onto itself would truncate the recording before reading it.
TEST_F(ExportsTest, DestinationThatIsTheSourceIsRefused) {
  const Bytes pcm = RandomBytes(500, 4);
  const std::string src = Write("self.pcm", pcm);
  EXPECT_EQ(Call("PcmtoAd", src, src), -2);
  EXPECT_EQ(Read(src), pcm);
}

// Runs body in a child process and returns its exit status; the child may drop privileges or
// lower limits without touching the test process.
template <typename Body>
int InChild(Body body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST_F(ExportsTest, WavetoPcmRefusesASourceItCannotWrite) {
  const std::string src = Write("readonly.wav", Bytes(200, 0));
  const std::string dst = Path("readonly.pcm");
  chmod(src.c_str(), 0444);
  chmod(dir_.c_str(), 0777);
  const Export wavetoPcm = lib_.Get("WavetoPcm");
  const Export pcmtoWave = lib_.Get("PcmtoWave");
  const int result = InChild([&] {
    // Root may write anything; take the part of an ordinary user.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 200;
    const int32_t wave = wavetoPcm(src.c_str(), dst.c_str());
    const int32_t other = pcmtoWave(src.c_str(), (dst + ".wav").c_str());
    return (wave == -1 ? 0 : 10) + (other == 1 ? 0 : 20);
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(fs::exists(dst));
}

TEST_F(ExportsTest, WriteFailurePartWayIsReportedAndLeavesNoDestination) {
  const std::string src = Write("long.pcm", RandomBytes(600000, 5));
  for (const char* name : kExportNames) {
    const std::string dst = Path(std::string(name) + ".out");
    const Export f = lib_.Get(name);
    const int result = InChild([&] {
      // Files may grow to 100 kB; beyond that writes fail with EFBIG, as on a full disk.
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{100000, 100000};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 200;
      return f(src.c_str(), dst.c_str()) == -3 ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << name;
    EXPECT_FALSE(fs::exists(dst)) << name;
  }
}

TEST_F(ExportsTest, FullDeviceIsAFailureAndIsLeftAlone) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string src = Write("src.pcm", RandomBytes(10000, 6));
  EXPECT_EQ(Call("PcmtoWave", src, "/dev/full"), -3);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// Each conversion keeps its own codec state: many at once give what each gives alone.
TEST_F(ExportsTest, ConcurrentConversionsDoNotDisturbEachOther) {
  const char* names[] = {"PcmtoAd", "AdtoPcm", "Ad6ktoPcm", "PcmtoWave"};
  std::vector<std::string> sources;
  std::vector<Bytes> expected;
  for (int i = 0; i < 8; ++i) {
    sources.push_back(Write(Path("c", i), RandomBytes(30000 + 1000 * i, 10 + i)));
    ASSERT_EQ(Call(names[i % 4], sources[i], Path("alone", i)), 1);
    expected.push_back(Read(Path("alone", i)));
  }
  std::vector<std::thread> threads;
  std::vector<int32_t> statuses(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 3; ++round) {
        statuses[i] = Call(names[i % 4], sources[i], Path("together", i));
      }
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(statuses[i], 1);
    EXPECT_EQ(Read(Path("together", i)), expected[i]) << names[i % 4];
  }
}

// Other programs must take the WAVE file for what it is: 16-bit mono 8000 Hz, S samples.
TEST_F(ExportsTest, SoxAndLibsndfileAcceptTheWaveFile) {
  const std::string wav = Path("tone.wav");
  ASSERT_EQ(Call("PcmtoWave", Write("tone.pcm", RandomBytes(12345, 7)), wav), 1);

  const std::string soxi = RunCommand("soxi '" + wav + "' 2>&1");
  EXPECT_THAT(soxi, testing::ContainsRegex("Channels +: 1"));
  EXPECT_THAT(soxi, testing::ContainsRegex("Sample Rate +: 8000"));
  EXPECT_THAT(soxi, testing::ContainsRegex("Precision +: 16-bit"));
  EXPECT_THAT(soxi, testing::HasSubstr("= 12345 samples"));
  EXPECT_THAT(soxi, testing::HasSubstr("Signed Integer PCM"));
  EXPECT_EQ(RunCommand("soxi -s '" + wav + "' 2>&1"), "12345\n");

  const std::string info = RunCommand("sndfile-info '" + wav + "' 2>&1");
  EXPECT_THAT(info, testing::ContainsRegex("Channels +: 1"));
  EXPECT_THAT(info, testing::ContainsRegex("Sample Rate +: 8000"));
  EXPECT_THAT(info, testing::ContainsRegex("Frames +: 12345"));
  EXPECT_THAT(info, testing::ContainsRegex("Bit Width +: 16"));
  EXPECT_THAT(info, testing::ContainsRegex("Format +: 0x00010002"));  // WAV, 16-bit PCM
  EXPECT_THAT(info, testing::Not(testing::HasSubstr("Error")));
}

}  // namespace
