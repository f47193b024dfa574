#include <gtest/gtest.h>
#include <stdlib.h>

#include "registry/Environment.h"

namespace telvinor::registry {
namespace {

TEST(Environment, ExpandsReferencesAsWindowsDoes) {
  auto lookup = [](std::u16string_view name) -> std::optional<std::u16string> {
    if (name == u"TEMP") return u"/tmp";
    if (name == u"PATH") return u"/bin";
    if (name == u"EMPTY") return u"";
    return std::nullopt;
  };
  struct Case {
    std::u16string_view in, out;
  };
  const Case cases[] = {
      {u"%TEMP%\\agent", u"/tmp\\agent"},
      {u"%TEMP%%PATH%", u"/tmp/bin"},
      {u"no references", u"no references"},
      {u"%NOPE%", u"%NOPE%"},
      {u"%NOPE%PATH%", u"%NOPE/bin"},  // the unknown name's closing % opens the next reference
      {u"100%", u"100%"},
      {u"%%", u"%%"},
      {u"a%EMPTY%b", u"ab"},
      {u"%TEMP", u"%TEMP"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandEnvironmentText(c.in, lookup), c.out) << std::string(c.in.begin(), c.in.end());
}

TEST(Environment, AnsiCallReportsTheSizeAndFillsTheBuffer) {
  setenv("TELVINOR_TEST_AGENT", "D:\\agent", 1);
  const char* src = "%telvinor_test_agent%\\bin";  // names match without regard to case
  DWORD needed = ExpandEnvironmentStringsA(src, nullptr, 0);
  EXPECT_EQ(needed, sizeof "D:\\agent\\bin");
  char small[4] = "xyz";
  EXPECT_EQ(ExpandEnvironmentStringsA(src, small, sizeof small), needed);
  EXPECT_STREQ(small, "xyz");
  std::string buffer(needed, '\x7f');
  EXPECT_EQ(ExpandEnvironmentStringsA(src, buffer.data(), needed), needed);
  EXPECT_STREQ(buffer.c_str(), "D:\\agent\\bin");
  EXPECT_EQ(ExpandEnvironmentStringsA(nullptr, nullptr, 0), 0u);
  unsetenv("TELVINOR_TEST_AGENT");
}

}  // namespace
}  // namespace telvinor::registry
