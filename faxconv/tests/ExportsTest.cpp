// libTavorin.so as its callers see it: two undecorated C functions and nothing else.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "TestStreams.h"

namespace {

namespace fs = std::filesystem;
using namespace faxconv::testing;

// The build puts the library's path here (build/lib/libTavorin.so).
std::string LibraryPath() {
  return TAVORIN_LIBRARY;
}

TEST(TavorinLibrary, ExportsExactlyTheTwoConversions) {
  const std::string command = "nm -D --defined-only '" + LibraryPath() + "'";
  FILE* nm = popen(command.c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> symbols;
  char line[512];
  while (std::fgets(line, sizeof line, nm) != nullptr) {
    std::string s(line);
    s.erase(s.find_last_not_of("\n") + 1);
    symbols.insert(s.substr(s.rfind(' ') + 1));
  }
  ASSERT_EQ(pclose(nm), 0);
  EXPECT_EQ(symbols, (std::set<std::string>{"QvelCvt_Bfx2Tiff", "QvelCvt_Tiff2Bfx"}));
}

TEST(TavorinLibrary, ConvertsThroughTheExportedFunctions) {
  void* lib = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  using Export = int32_t (*)(const char*, const char*);
  auto bfx2tiff = reinterpret_cast<Export>(dlsym(lib, "QvelCvt_Bfx2Tiff"));
  auto tiff2bfx = reinterpret_cast<Export>(dlsym(lib, "QvelCvt_Tiff2Bfx"));
  ASSERT_NE(bfx2tiff, nullptr);
  ASSERT_NE(tiff2bfx, nullptr);

  const fs::path dir = FreshDir();
  // A page as the board writes it: the opening EOL, two white lines padded to 22 bytes and
  // ended by an aligned EOL, return-to-control.
  std::vector<uint8_t> line = StreamBuilder().WhiteLine().AlignToByte().Bytes();
  line.resize(22, 0);
  line.insert(line.end(), {0x00, 0x80});
  std::vector<uint8_t> page = {0x00, 0x80};
  page.insert(page.end(), line.begin(), line.end());
  page.insert(page.end(), line.begin(), line.end());
  page.insert(page.end(), faxconv::bfx::kReturnToControl.begin(),
              faxconv::bfx::kReturnToControl.end());
  const std::vector<uint8_t> original = MakeBfx({page}, true);
  WriteFile(dir / "in.bfx", original);
  const std::string in = (dir / "in.bfx").string();
  const std::string out = (dir / "out").string();
  EXPECT_EQ(bfx2tiff(in.c_str(), out.c_str()), 1);
  EXPECT_EQ(tiff2bfx((out + ".tif").c_str(), (dir / "again.x").string().c_str()), 1);
  // BFX to TIFF to BFX gives back the file the board wrote.
  EXPECT_EQ(ReadFile(dir / "again.bfx"), original);
  EXPECT_EQ(bfx2tiff((dir / "missing.bfx").string().c_str(), out.c_str()), -1);
  EXPECT_EQ(bfx2tiff(in.c_str(), ""), -2);
  EXPECT_EQ(bfx2tiff(nullptr, nullptr), -1);
  EXPECT_EQ(tiff2bfx(in.c_str(), out.c_str()), -1);  // a BFX is no TIFF
  fs::remove_all(dir);
  dlclose(lib);
}

}  // namespace
