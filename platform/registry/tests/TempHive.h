#pragma once
// A registry hive of its own for one test: a fresh folder under the test temporary directory,
// named by TELVINOR_REGISTRY while the object lives (the previous value comes back after).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace telvinor::testing {

class TempHive {
 public:
  TempHive() {
    std::string pattern = ::testing::TempDir() + "telvinor-hive-XXXXXX";
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
    folder_ = pattern;
    path_ = folder_ + "/registry.reg";
    if (const char* old = std::getenv("TELVINOR_REGISTRY")) saved_ = old;
    setenv("TELVINOR_REGISTRY", path_.c_str(), 1);
  }
  ~TempHive() {
    if (saved_) {
      setenv("TELVINOR_REGISTRY", saved_->c_str(), 1);
    } else {
      unsetenv("TELVINOR_REGISTRY");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TempHive(const TempHive&) = delete;
  TempHive& operator=(const TempHive&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }
  [[nodiscard]] const std::string& Folder() const { return folder_; }

  // The hive file's bytes ("" when there is none yet).
  [[nodiscard]] std::string Text() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Replaces the hive file as another process would: a new file renamed over the old one.
  void Replace(const std::string& text) const {
    std::string temp = path_ + ".other";
    std::ofstream(temp, std::ios::binary) << text;
    std::filesystem::rename(temp, path_);
  }

 private:
  std::string folder_, path_;
  std::optional<std::string> saved_;
};

}  // namespace telvinor::testing
