// The runner on the example scripts in platform/vbscript/tests/scripts: each NAME.vbs runs
// with the arguments in NAME.args (if any) and must print NAME.out on standard output,
// NAME.err on standard error (if present, else nothing) and exit with NAME.status (else 0).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Result {
  std::string out, err;
  int status = -1;
};

Result RunVbs(const fs::path& vbs, const fs::path& dir, const std::vector<std::string>& args) {
  fs::path temp = fs::path(::testing::TempDir()) / ("vbs-run-" + std::to_string(::getpid()));
  fs::create_directories(temp);
  fs::path out = temp / "out", err = temp / "err";
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(120);
    ::setenv("TELVINOR_CODEPAGE", "936", 1);
    if (!::freopen(out.c_str(), "wb", stdout) || !::freopen(err.c_str(), "wb", stderr))
      ::_exit(121);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(vbs.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(vbs.c_str(), argv.data());
    ::_exit(122);
  }
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  fs::remove_all(temp);
  return r;
}

// The vbs program: TELVINOR_BINARY_DIR/bin/vbs, or beside this test's build tree (tests/..).
fs::path VbsProgram() {
  if (const char* binary = std::getenv("TELVINOR_BINARY_DIR")) return fs::path(binary) / "bin/vbs";
  return fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin/vbs";
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

TEST(VbsRunner, ExampleScriptsPrintWhatTheyShould) {
  const char* source = std::getenv("TELVINOR_SOURCE_DIR");
  ASSERT_TRUE(source);
  fs::path dir = fs::path(source) / "platform/vbscript/tests/scripts";
  fs::path vbs = VbsProgram();
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".vbs") continue;
    fs::path base = entry.path();
    base.replace_extension();
    SCOPED_TRACE(base.filename().string());
    std::vector<std::string> args{entry.path().filename().string()};
    if (fs::exists(base.string() + ".args")) {
      for (auto& w : Words(ReadAll(base.string() + ".args"))) args.push_back(w);
    }
    Result r = RunVbs(vbs, dir, args);
    EXPECT_EQ(r.out, ReadAll(base.string() + ".out"));
    std::string err = fs::exists(base.string() + ".err") ? ReadAll(base.string() + ".err") : "";
    EXPECT_EQ(r.err, err);
    int status =
        fs::exists(base.string() + ".status") ? std::stoi(ReadAll(base.string() + ".status")) : 0;
    EXPECT_EQ(r.status, status);
    ++count;
  }
  EXPECT_GE(count, 5);
}

TEST(VbsRunner, UsageAndUnreadableFile) {
  fs::path vbs = VbsProgram();
  Result none = RunVbs(vbs, ::testing::TempDir(), {});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("usage: vbs"), std::string::npos);
  Result missing = RunVbs(vbs, ::testing::TempDir(), {"no-such-file.vbs"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
}

}  // namespace
