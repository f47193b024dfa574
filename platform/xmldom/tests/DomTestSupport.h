#pragma once
// Shared helpers of the DOM tests: a scratch folder, files of given bytes, and UTF-16 text
// from UTF-8 literals.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "automation/Utf.h"

namespace telvinor::xmldom::testing {

// A fresh folder under the test temporary directory, removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "xmldom-XXXXXX";
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // Writes the bytes to a file in the folder and returns its path.
  std::filesystem::path Write(const std::string& name, std::string_view bytes) const {
    std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
};

inline std::u16string U(std::string_view utf8) {
  return automation::FromUtf8(utf8);
}
inline std::u16string U(const std::string& utf8) {
  return automation::FromUtf8(utf8);
}
inline std::u16string U(const char* utf8) {
  return automation::FromUtf8(utf8);
}
inline std::u16string U(const std::filesystem::path& path) {
  return automation::FromUtf8(path.string());
}

}  // namespace telvinor::xmldom::testing
